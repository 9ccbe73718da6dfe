#pragma once
// Where the window can be shown, asked before Qt is: Qt ends the process with an abort when none
// of the platforms it tries will start. The platforms are taken in Qt's own order (the -platform
// argument, else QT_QPA_PLATFORM, else Wayland before X11 in a Wayland session, X11 elsewhere),
// except that a GNOME session stays on XWayland unless the user chose otherwise: there Qt's own
// title bar would replace GNOME's. Each platform is asked whether its plugin is installed and
// whether its display answers.
#include <QString>
#include <functional>
#include <optional>
#include <string>

namespace tolvane {

// What the choice reads from the command line (Qt's part of it) and the environment.
struct DisplaySetting {
  std::optional<std::string> platform_argument;  // -platform NAME
  std::optional<std::string> display_argument;   // -display NAME, for X11
  // A folder Qt looks in first: -platformpluginpath, else QT_QPA_PLATFORM_PLUGIN_PATH.
  std::optional<std::string> plugin_folder;
  std::string qpa_platform;     // QT_QPA_PLATFORM
  std::string x_display;        // DISPLAY
  std::string wayland_display;  // WAYLAND_DISPLAY
  std::string session_type;     // XDG_SESSION_TYPE
  std::string current_desktop;  // XDG_CURRENT_DESKTOP
};

// The setting of this process; only the words before `qt_argc` are Qt's.
DisplaySetting ReadDisplaySetting(int qt_argc, char** argv);

// What the choice asks the system.
struct DisplayProbes {
  // Whether Qt finds a platform plugin for `platform` ("xcb", "wayland" ...).
  std::function<bool(const std::string& platform)> has_plugin;
  // Whether the X server named `display` answers.
  std::function<bool(const std::string& display)> x_answers;
  // Whether the compositor named `display` answers (a name in XDG_RUNTIME_DIR, or a path).
  std::function<bool(const std::string& display)> wayland_answers;
};

// The probes that ask the real system, Qt's plugin folders as `setting` has them.
DisplayProbes SystemDisplayProbes(const DisplaySetting& setting);

struct DisplayChoice {
  // The platform Qt is to start: empty when none will, or when the -platform argument already
  // tells Qt.
  std::string platform;
  // Why no platform will start, for standard error.
  std::optional<QString> problem;
};

DisplayChoice ChooseDisplay(const DisplaySetting& setting, const DisplayProbes& probes);

}  // namespace tolvane
