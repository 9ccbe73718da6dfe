#include "state/settings.h"

#include <stdlib.h>

#include <string_view>

#include "state/last_folder.h"

namespace tolvane {
namespace {

constexpr std::string_view kSettingsName = "settings";
constexpr std::string_view kLooseSearchLine = "loose-search=";
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

}  // namespace

std::optional<std::string> SettingsFileOfEnvironment() {
  return ConfigFile(::getenv("XDG_CONFIG_HOME"), ::getenv("HOME"), kSettingsName);
}

Settings LoadSettings(const std::string& file) {
  Settings settings;
  ForEachLine(ReadSettingsLines(file), [&settings](std::string_view line) {
    if (line.starts_with(kLooseSearchLine)) settings.loose_search = line.substr(kLooseSearchLine.size()) == kOn;
  });
  return settings;
}

bool SaveSettings(const std::string& file, const Settings& settings) {
  // The lines of other settings (a later version's, the user's own) stay as they were.
  std::string content;
  ForEachLine(ReadSettingsLines(file), [&content](std::string_view line) {
    if (line.starts_with(kLooseSearchLine)) return;
    content += line;
    content += '\n';
  });
  content += kLooseSearchLine;
  content += settings.loose_search ? kOn : kOff;
  content += '\n';
  return WriteConfigFile(file, content);
}

}  // namespace tolvane
