#pragma once
// The window's settings that outlive a session, kept outside every start folder in
// "$XDG_CONFIG_HOME/tolvane/settings" (not in history.txt, whose format stays): one line
// "name=value" each, LF or CR LF. A convenience only: a file missing or unreadable gives the
// defaults, an unknown line is passed over and kept by a save, and a failure to write is told by
// the return value alone. Plain C++, no Qt.
#include <optional>
#include <string>

namespace tolvane {

// A remembered dialog side longer than this is taken for a damaged line.
inline constexpr int kDialogSideMax = 16384;

struct Settings {
  bool loose_search = false;  // the File menu's "表記ゆれを区別しない"
  // The size the user last gave the file dialogs, in logical pixels; 0 x 0 while none was given.
  int dialog_width = 0;
  int dialog_height = 0;
  // The chosen editor (its command as history.txt holds it, in Shift-JIS) that the user wants
  // handed the results' UTF-8 copy instead of kekka.txt; empty for none. Another editor chosen
  // later gets kekka.txt until the user says otherwise for it.
  std::string utf8_copy_editor{};
  bool operator==(const Settings&) const = default;
};

// The file for this process's environment; nothing when there is no configuration folder.
std::optional<std::string> SettingsFileOfEnvironment();

Settings LoadSettings(const std::string& file);

// Replaces the file whole with `settings` (its folders made 0700 where missing), so that a failure
// leaves the old one as it was. True when the file holds them afterwards.
bool SaveSettings(const std::string& file, const Settings& settings);

}  // namespace tolvane
