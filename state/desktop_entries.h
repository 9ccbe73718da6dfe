#pragma once
// The desktop's applications as its entries describe them (the ".desktop" files under each data
// folder's "applications"): which of them open a MIME type, and the command line that opens a
// given file with one. Shift+Enter needs this where the desktop's own choice for text would start
// this program again, or where there is no choice at all. Plain C++, no Qt.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tolvane {

// The package's own entry, and its program's name on PATH.
inline constexpr char kOwnDesktopId[] = "org.tolvane.Tolvane.desktop";
inline constexpr char kOwnProgramName[] = "tolvane";
// An entry is a few hundred bytes, with every translation a few dozen KiB; what lies beyond is
// not read.
inline constexpr std::size_t kDesktopEntryBytes = 256 * 1024;
// Subfolders of "applications" give ids with '-' for '/'; deeper ones are not looked into.
inline constexpr int kApplicationsFolderDepth = 3;
// At most this many entries are read in one look for an application.
inline constexpr std::size_t kDesktopEntriesRead = 8192;

struct DesktopEntry {
  std::string id{};    // "org.gnome.gedit.desktop"; set by the finding, not the parsing
  std::string exec{};  // the Exec value, its string escapes undone, its quoting kept
  std::string try_exec{};
  std::vector<std::string> mime_types{};
  bool application = false;  // Type=Application
  bool hidden = false;       // Hidden=true: as good as deleted
  bool HandlesMimeType(std::string_view mime_type) const;
};

// The [Desktop Entry] group of `text`; nothing when it has none as its first group.
std::optional<DesktopEntry> ParseDesktopEntry(std::string_view text);

// The program and its arguments that open `file` by `exec`: quoting undone, the file field code
// (%f %F %u %U) replaced by `file`, the other field codes left out, %% made %. Nothing when the
// quoting is broken, when the command is empty, or when it takes no file.
std::optional<std::vector<std::string>> ExecArguments(std::string_view exec, std::string_view file);

// The "applications" folders, most important first: $XDG_DATA_HOME (else ~/.local/share), then each
// of $XDG_DATA_DIRS (else /usr/local/share and /usr/share). Unset and empty variables are alike.
std::vector<std::string> ApplicationsFolders(const char* xdg_data_home, const char* home,
                                             const char* xdg_data_dirs);

// The application entries that open `mime_type`, each id once as its most important folder has it
// (a hidden one there hides it everywhere), in folder order and then by id.
std::vector<DesktopEntry> EntriesForMimeType(const std::vector<std::string>& folders,
                                             std::string_view mime_type);

// The entry `id` as its most important folder has it; nothing when no folder has it.
std::optional<DesktopEntry> FindDesktopEntry(const std::vector<std::string>& folders,
                                             std::string_view id);

// True when `entry` starts this program: the package's own id, or an Exec whose program is named
// like it (an entry a file manager made for "Open With", say).
bool IsOwnEntry(const DesktopEntry& entry);

}  // namespace tolvane
