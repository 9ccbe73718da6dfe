#include "state/settings.h"

#include <stdlib.h>
#include <sys/stat.h>

#include <string_view>

#include "posix/files.h"
#include "posix/io.h"
#include "state/last_folder.h"

namespace tolvane {
namespace {

constexpr std::string_view kSettingsName = "settings";
constexpr std::string_view kLooseSearchLine = "loose-search=";
constexpr std::string_view kOn = "on";
constexpr std::string_view kOff = "off";
// The file is a few lines; what lies beyond this is not read.
constexpr std::size_t kSettingsBytes = 4096;
constexpr mode_t kFolderMode = 0700;

}  // namespace

std::optional<std::string> SettingsFileOfEnvironment() {
  return ConfigFile(::getenv("XDG_CONFIG_HOME"), ::getenv("HOME"), kSettingsName);
}

Settings LoadSettings(const std::string& file) {
  Settings settings;
  // A regular file only, never waiting for a FIFO, never through another user's link.
  const OpenedFile opened = OpenPathForReading(file);
  if (opened.problem) return settings;
  std::string content(kSettingsBytes, '\0');
  std::size_t size = 0;
  while (size < content.size()) {
    const ssize_t n = ReadRetry(opened.fd.get(), content.data() + size, content.size() - size);
    if (n <= 0) break;
    size += static_cast<std::size_t>(n);
  }
  content.resize(size);
  std::string_view rest = content;
  while (!rest.empty()) {
    const std::size_t end = rest.find('\n');
    const std::string_view line = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    if (line.starts_with(kLooseSearchLine)) settings.loose_search = line.substr(kLooseSearchLine.size()) == kOn;
  }
  return settings;
}

bool SaveSettings(const std::string& file, const Settings& settings) {
  const std::size_t slash = file.rfind('/');
  if (slash == std::string::npos || slash == 0) return false;
  // Each missing folder on the way; a failure shows when the file is written.
  const std::string folder = file.substr(0, slash);
  for (std::size_t at = folder.find('/', 1);; at = folder.find('/', at + 1)) {
    ::mkdir(folder.substr(0, at).c_str(), kFolderMode);
    if (at == std::string::npos) break;
  }
  std::string content(kLooseSearchLine);
  content += settings.loose_search ? kOn : kOff;
  content += '\n';
  return ReplaceFileWhole(file, content);
}

}  // namespace tolvane
