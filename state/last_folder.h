#pragma once
// The remembered folder: the start folder of the last session whose folder held a records file,
// kept outside every start folder in "$XDG_CONFIG_HOME/tolvane/last-folder" as the folder's bytes
// and one line feed. A convenience only: every failure to read or write it is silent, and a file
// that does not hold exactly one absolute folder is as good as none. Plain C++, no Qt.
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace tolvane {

// Longer folders are neither saved nor read back.
inline constexpr std::size_t kLastFolderBytes = 4096;

// Where the program's file `name` is in the user's configuration folder,
// "$XDG_CONFIG_HOME/tolvane", for these values of XDG_CONFIG_HOME and HOME (null when unset). An
// XDG_CONFIG_HOME that is empty or relative is ignored for "$HOME/.config"; with no absolute HOME
// either, there is none.
std::optional<std::string> ConfigFile(const char* xdg_config_home, const char* home,
                                      std::string_view name);

// Up to `max_bytes` of the configuration file `file` (one byte more shows a file that is too long);
// nothing when it is missing, no regular file, another user's link, or unreadable.
std::optional<std::string> ReadConfigFile(const std::string& file, std::size_t max_bytes);

// Replaces `file` whole with `content`, making its missing folders (0700) on the way, so that a
// failure leaves the old file as it was. True when the file holds `content` afterwards.
bool WriteConfigFile(const std::string& file, std::string_view content);

// Where the remembered folder's file is (ConfigFile "last-folder").
std::optional<std::string> LastFolderFile(const char* xdg_config_home, const char* home);
// The same for this process's environment.
std::optional<std::string> LastFolderFileOfEnvironment();

// The folder the file names; nothing when it is missing, not a regular file, empty, longer than
// kLastFolderBytes, not absolute, or holds a NUL or a second line.
std::optional<std::string> LoadLastFolder(const std::string& file);

// Makes the file name `folder` unless it already does, in which case nothing is written. Creates
// the missing folders above it (0700) and replaces the file whole, so that a failure leaves the old
// one as it was. True when the file names `folder` afterwards; false for a folder the file cannot
// hold (see LoadLastFolder) and for any failure of the file system.
bool SaveLastFolder(const std::string& file, std::string_view folder);

// What the start folder is: the argument's folder when one was given; else the working directory
// when it holds a records file; else the remembered folder when it still holds one; else the
// working directory all the same. Nothing only when there is neither argument nor working
// directory and the remembered folder is missing or holds no records file.
struct StartFolderCandidates {
  std::optional<std::string> argument;
  std::optional<std::string> working;
  std::optional<std::string> remembered;
};
std::optional<std::string> ChooseStartFolder(
    const StartFolderCandidates& candidates,
    const std::function<bool(const std::string&)>& holds_records);

}  // namespace tolvane
