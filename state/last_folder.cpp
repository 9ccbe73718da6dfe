#include "state/last_folder.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>

#include "posix/files.h"
#include "posix/io.h"

namespace tolvane {
namespace {

constexpr std::string_view kConfigUnderHome = "/.config";
constexpr std::string_view kProgramFolder = "/tolvane/";
constexpr std::string_view kLastFolderName = "last-folder";
constexpr char kLineFeed = '\n';
// Folders made on the way to the file are the user's own, as the XDG base directories ask.
constexpr mode_t kFolderMode = 0700;

bool IsAbsolute(const char* path) { return path != nullptr && path[0] == '/'; }

// One absolute folder that the file can hold and give back unchanged.
bool IsRememberable(std::string_view folder) {
  return !folder.empty() && folder.size() <= kLastFolderBytes && folder.front() == '/' &&
         folder.find_first_of(std::string_view("\n\0", 2)) == std::string_view::npos;
}

std::string WithoutTrailingSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

// Makes each missing folder on the way to `folder`; a failure shows when the file is written.
void MakeFolders(const std::string& folder) {
  struct stat info {};
  if (::stat(folder.c_str(), &info) == 0) return;
  std::size_t slash = 0;
  do {
    slash = folder.find('/', slash + 1);
    ::mkdir(folder.substr(0, slash).c_str(), kFolderMode);
  } while (slash != std::string::npos);
}

}  // namespace

std::optional<std::string> ConfigFile(const char* xdg_config_home, const char* home,
                                      std::string_view name) {
  std::string config;
  if (IsAbsolute(xdg_config_home)) {
    config = xdg_config_home;
  } else if (IsAbsolute(home)) {
    config = WithoutTrailingSlashes(home);
    config += kConfigUnderHome;
  } else {
    return std::nullopt;
  }
  config = WithoutTrailingSlashes(std::move(config));
  if (config == "/") config.clear();
  config += kProgramFolder;
  config += name;
  return config;
}

std::optional<std::string> LastFolderFile(const char* xdg_config_home, const char* home) {
  return ConfigFile(xdg_config_home, home, kLastFolderName);
}

std::optional<std::string> LastFolderFileOfEnvironment() {
  return LastFolderFile(::getenv("XDG_CONFIG_HOME"), ::getenv("HOME"));
}

std::optional<std::string> ReadConfigFile(const std::string& file, std::size_t max_bytes) {
  // A regular file only, never waiting for a FIFO, never through another user's link.
  const OpenedFile opened = OpenPathForReading(file);
  if (opened.problem) return std::nullopt;
  std::string content(max_bytes + 1, '\0');
  std::size_t size = 0;
  while (size < content.size()) {
    const ssize_t n = ReadRetry(opened.fd.get(), content.data() + size, content.size() - size);
    if (n < 0) return std::nullopt;
    if (n == 0) break;
    size += static_cast<std::size_t>(n);
  }
  content.resize(size);
  return content;
}

bool WriteConfigFile(const std::string& file, std::string_view content) {
  const std::size_t slash = file.rfind('/');
  if (slash != std::string::npos && slash > 0) MakeFolders(file.substr(0, slash));
  return ReplaceFileWhole(file, content);
}

std::optional<std::string> LoadLastFolder(const std::string& file) {
  // The folder and its line feed; one byte more shows a file that is too long.
  std::optional<std::string> content = ReadConfigFile(file, kLastFolderBytes + 1);
  if (!content) return std::nullopt;
  if (!content->empty() && content->back() == kLineFeed) content->pop_back();
  if (!IsRememberable(*content)) return std::nullopt;
  return content;
}

bool SaveLastFolder(const std::string& file, std::string_view folder) {
  if (!IsRememberable(folder)) return false;
  if (LoadLastFolder(file) == folder) return true;
  std::string content(folder);
  content += kLineFeed;
  return WriteConfigFile(file, content);
}

std::optional<std::string> ChooseStartFolder(
    const StartFolderCandidates& candidates,
    const std::function<bool(const std::string&)>& holds_records) {
  if (candidates.argument) return candidates.argument;
  if (candidates.working && holds_records(*candidates.working)) return candidates.working;
  if (candidates.remembered && holds_records(*candidates.remembered)) return candidates.remembered;
  return candidates.working;
}

}  // namespace tolvane
