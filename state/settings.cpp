#include "state/settings.h"

#include <stdlib.h>

#include <string>
#include <string_view>

#include "state/last_folder.h"

namespace tolvane {
namespace {

constexpr std::string_view kSettingsName = "settings";
constexpr std::string_view kLooseSearchLine = "loose-search=";
constexpr std::string_view kDialogSizeLine = "file-dialog-size=";
constexpr std::string_view kUtf8CopyEditorLine = "utf8-copy-editor=";
constexpr std::string_view kOn = "on";
constexpr std::string_view kOff = "off";
// The file is a few lines; what lies beyond this is not read, and not kept by a save.
constexpr std::size_t kSettingsBytes = 4096;

// Calls `each` with every line of `content`, without its LF or the CR of a CR LF.
template <typename Each>
void ForEachLine(std::string_view content, Each&& each) {
  while (!content.empty()) {
    const std::size_t end = content.find('\n');
    std::string_view line = content.substr(0, end);
    content = end == std::string_view::npos ? std::string_view() : content.substr(end + 1);
    if (line.ends_with('\r')) line.remove_suffix(1);
    each(line);
  }
}

// The file's lines within kSettingsBytes: of a longer file, those that end before it.
std::string ReadSettingsLines(const std::string& file) {
  std::string content = ReadConfigFile(file, kSettingsBytes).value_or(std::string());
  if (content.size() > kSettingsBytes) {
    const std::size_t last_lf = content.rfind('\n', kSettingsBytes - 1);
    content.resize(last_lf == std::string::npos ? 0 : last_lf + 1);
  }
  return content;
}

// "800x520": both sides from 1 to kDialogSideMax, digits only.
bool ParseDialogSize(std::string_view text, int& width, int& height) {
  const auto side = [](std::string_view digits, int& out) {
    if (digits.empty() || digits.size() > 5) return false;
    int value = 0;
    for (const char c : digits) {
      if (c < '0' || c > '9') return false;
      value = value * 10 + (c - '0');
    }
    if (value < 1 || value > kDialogSideMax) return false;
    out = value;
    return true;
  };
  const std::size_t x = text.find('x');
  int w = 0;
  int h = 0;
  if (x == std::string_view::npos || !side(text.substr(0, x), w) || !side(text.substr(x + 1), h))
    return false;
  width = w;
  height = h;
  return true;
}

bool IsKnownLine(std::string_view line) {
  return line.starts_with(kLooseSearchLine) || line.starts_with(kDialogSizeLine) ||
         line.starts_with(kUtf8CopyEditorLine);
}

}  // namespace

std::optional<std::string> SettingsFileOfEnvironment() {
  return ConfigFile(::getenv("XDG_CONFIG_HOME"), ::getenv("HOME"), kSettingsName);
}

Settings LoadSettings(const std::string& file) {
  Settings settings;
  ForEachLine(ReadSettingsLines(file), [&settings](std::string_view line) {
    if (line.starts_with(kLooseSearchLine))
      settings.loose_search = line.substr(kLooseSearchLine.size()) == kOn;
    if (line.starts_with(kDialogSizeLine)) {
      (void)ParseDialogSize(line.substr(kDialogSizeLine.size()), settings.dialog_width,
                            settings.dialog_height);
    }
    if (line.starts_with(kUtf8CopyEditorLine))
      settings.utf8_copy_editor = line.substr(kUtf8CopyEditorLine.size());
  });
  return settings;
}

bool SaveSettings(const std::string& file, const Settings& settings) {
  // The lines of other settings (a later version's, the user's own) stay as they were.
  std::string content;
  ForEachLine(ReadSettingsLines(file), [&content](std::string_view line) {
    if (IsKnownLine(line)) return;
    content += line;
    content += '\n';
  });
  content += kLooseSearchLine;
  content += settings.loose_search ? kOn : kOff;
  content += '\n';
  if (settings.dialog_width > 0 && settings.dialog_height > 0 &&
      settings.dialog_width <= kDialogSideMax && settings.dialog_height <= kDialogSideMax) {
    content += kDialogSizeLine;
    content += std::to_string(settings.dialog_width) + 'x' + std::to_string(settings.dialog_height);
    content += '\n';
  }
  // A line break in it would make a line of its own; such a command is not kept.
  if (!settings.utf8_copy_editor.empty() &&
      settings.utf8_copy_editor.find_first_of("\r\n") == std::string::npos) {
    content += kUtf8CopyEditorLine;
    content += settings.utf8_copy_editor;
    content += '\n';
  }
  return WriteConfigFile(file, content);
}

}  // namespace tolvane
