#pragma once
// The window's settings that outlive a session, kept outside every start folder in
// "$XDG_CONFIG_HOME/tolvane/settings" (not in history.txt, whose format stays): one line
// "name=value" each, LF or CR LF. A convenience only: a file missing or unreadable gives the
// defaults, an unknown line is passed over and kept by a save, and a failure to write is told by the
// return value alone. Plain C++, no Qt.
#include <optional>
#include <string>

namespace tolvane {

struct Settings {
  bool loose_search = false;  // the File menu's "表記ゆれを区別しない"
  bool operator==(const Settings&) const = default;
};

// The file for this process's environment; nothing when there is no configuration folder.
std::optional<std::string> SettingsFileOfEnvironment();

Settings LoadSettings(const std::string& file);

// Replaces the file whole with `settings` (its folders made 0700 where missing), so that a failure
// leaves the old one as it was. True when the file holds them afterwards.
bool SaveSettings(const std::string& file, const Settings& settings);

}  // namespace tolvane
