#include "app/display_check.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <QCoreApplication>
#include <QDir>
#include <QJsonArray>
#include <QJsonObject>
#include <QPluginLoader>
#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

#include "posix/files.h"
#include "screen/screen_text.h"
#include "texts/texts.h"

namespace tolvane {
namespace {

// The interface every platform plugin declares, whatever its minor version.
constexpr char kPlatformPluginInterface[] =
    "org.qt-project.Qt.QPA.QPlatformIntegrationFactoryInterface";
// The compositor libwayland connects to when WAYLAND_DISPLAY is not set.
constexpr char kDefaultWaylandDisplay[] = "wayland-0";

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

// Qt takes "-name value" and "--name value" alike.
bool IsQtOption(std::string_view word, std::string_view name) {
  if (word.starts_with("--")) word.remove_prefix(1);
  return word.size() == name.size() + 1 && word[0] == '-' && word.substr(1) == name;
}

// A platform entry may carry arguments after a colon: "vnc:size=800x600".
std::string PlatformName(const std::string& entry) { return entry.substr(0, entry.find(':')); }

std::vector<std::string> SplitPlatforms(const std::string& list) {
  std::vector<std::string> entries;
  std::size_t begin = 0;
  while (begin <= list.size()) {
    const std::size_t end = std::min(list.find(';', begin), list.size());
    if (end > begin) entries.push_back(list.substr(begin, end - begin));
    begin = end + 1;
  }
  return entries;
}

bool IsWayland(const std::string& name) { return name.starts_with("wayland"); }

bool ContainsGnome(std::string desktops) {
  for (char& c : desktops) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return desktops.find("gnome") != std::string::npos;
}

// Why the platform `entry` will not start; nothing when it will, as far as can be known before.
std::optional<QString> PlatformProblem(const std::string& entry, const DisplaySetting& setting,
                                       const DisplayProbes& probes) {
  const std::string name = PlatformName(entry);
  if (name == "xcb") {
    if (!probes.has_plugin(name)) return FromSjis(kXcbPluginMissingMessage);
    const std::string display = setting.display_argument.value_or(setting.x_display);
    if (display.empty()) {
      return FromSjis(setting.wayland_display.empty() ? kNoDisplayMessage : kNoXDisplayMessage);
    }
    if (!probes.x_answers(display)) {
      return FromSjis(kXDisplayGoneMessage).arg(QString::fromLocal8Bit(display));
    }
    return std::nullopt;
  }
  if (IsWayland(name)) {
    if (!probes.has_plugin(name)) return FromSjis(kWaylandPluginMissingMessage);
    const std::string display =
        setting.wayland_display.empty() ? kDefaultWaylandDisplay : setting.wayland_display;
    if (!probes.wayland_answers(display)) {
      return FromSjis(kWaylandDisplayGoneMessage).arg(QString::fromLocal8Bit(display));
    }
    return std::nullopt;
  }
  // Any other platform (offscreen, vnc ...) has nothing to ask beforehand.
  if (!probes.has_plugin(name)) {
    return FromSjis(kPlatformPluginMissingMessage).arg(QString::fromLocal8Bit(name));
  }
  return std::nullopt;
}

bool PluginDeclaresKey(const QString& file, const QString& key) {
  const QJsonObject meta = QPluginLoader(file).metaData();
  const QString interface = meta.value(QStringLiteral("IID")).toString();
  if (!interface.startsWith(QLatin1String(kPlatformPluginInterface))) return false;
  const QJsonArray keys =
      meta.value(QStringLiteral("MetaData")).toObject().value(QStringLiteral("Keys")).toArray();
  for (const QJsonValue& declared : keys) {
    if (declared.toString().compare(key, Qt::CaseInsensitive) == 0) return true;
  }
  return false;
}

// Looks where Qt looks: the extra folder named by QT_QPA_PLATFORM_PLUGIN_PATH, then "platforms"
// below each library path (Qt's own plugin folder and QT_PLUGIN_PATH).
bool HasPlatformPlugin(const std::string& platform, const std::string& extra_folder) {
  QStringList folders;
  if (!extra_folder.empty()) folders << QString::fromLocal8Bit(extra_folder);
  for (const QString& path : QCoreApplication::libraryPaths()) {
    folders << path + QStringLiteral("/platforms");
  }
  const QString key = QString::fromLocal8Bit(platform);
  for (const QString& folder : folders) {
    const QDir dir(folder);
    for (const QString& file : dir.entryList(QDir::Files)) {
      if (PluginDeclaresKey(dir.filePath(file), key)) return true;
    }
  }
  return false;
}

// A display left over from an ended ssh or sudo session is set but gone.
bool XServerAnswers(const std::string& display) {
  xcb_connection_t* connection = xcb_connect(display.c_str(), nullptr);
  const bool answers = xcb_connection_has_error(connection) == 0;
  xcb_disconnect(connection);
  return answers;
}

// Connects to the compositor's socket as libwayland would, and leaves again.
bool CompositorAnswers(const std::string& display) {
  // A compositor that started this process hands it a connected socket instead.
  if (!Environment("WAYLAND_SOCKET").empty()) return true;
  std::string path = display;
  if (!path.starts_with('/')) {
    const std::string runtime_dir = Environment("XDG_RUNTIME_DIR");
    if (runtime_dir.empty()) return false;
    path = JoinPath(runtime_dir, display);
  }
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof(address.sun_path)) return false;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  const bool answers =
      ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
  ::close(fd);
  return answers;
}

}  // namespace

DisplaySetting ReadDisplaySetting(int qt_argc, char** argv) {
  DisplaySetting setting;
  for (int i = 1; i + 1 < qt_argc; ++i) {
    if (IsQtOption(argv[i], "platform")) {
      setting.platform_argument = argv[++i];
    } else if (IsQtOption(argv[i], "display")) {
      setting.display_argument = argv[++i];
    } else if (IsQtOption(argv[i], "platformpluginpath")) {
      setting.plugin_folder = argv[++i];
    }
  }
  if (!setting.plugin_folder) setting.plugin_folder = Environment("QT_QPA_PLATFORM_PLUGIN_PATH");
  setting.qpa_platform = Environment("QT_QPA_PLATFORM");
  setting.x_display = Environment("DISPLAY");
  setting.wayland_display = Environment("WAYLAND_DISPLAY");
  setting.session_type = Environment("XDG_SESSION_TYPE");
  setting.current_desktop = Environment("XDG_CURRENT_DESKTOP");
  return setting;
}

DisplayProbes SystemDisplayProbes(const DisplaySetting& setting) {
  return {
      [folder = setting.plugin_folder.value_or("")](const std::string& platform) {
        return HasPlatformPlugin(platform, folder);
      },
      XServerAnswers,
      CompositorAnswers,
  };
}

DisplayChoice ChooseDisplay(const DisplaySetting& setting, const DisplayProbes& probes) {
  const bool chosen_by_user = setting.platform_argument || !setting.qpa_platform.empty();
  std::vector<std::string> entries;
  if (setting.platform_argument) {
    entries = SplitPlatforms(*setting.platform_argument);
  } else if (!setting.qpa_platform.empty()) {
    entries = SplitPlatforms(setting.qpa_platform);
  } else if (!setting.wayland_display.empty() || setting.session_type == "wayland") {
    entries = {"wayland", "xcb"};
  } else {
    entries = {"xcb"};
  }

  std::vector<std::optional<QString>> problems;
  for (const std::string& entry : entries) {
    problems.push_back(PlatformProblem(entry, setting, probes));
  }

  DisplayChoice choice;
  std::vector<std::size_t> order(entries.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  if (!chosen_by_user && entries.size() > 1 && ContainsGnome(setting.current_desktop)) {
    std::swap(order[0], order[1]);  // XWayland first
  }
  for (const std::size_t i : order) {
    if (problems[i]) continue;
    // The argument already tells Qt, and wins over anything else.
    if (!setting.platform_argument) choice.platform = entries[i];
    return choice;
  }
  // The first platform's problem is the one the user's setting is about.
  if (!problems.empty()) {
    choice.problem = problems.front();
  } else {
    const std::string asked = setting.platform_argument.value_or(setting.qpa_platform);
    choice.problem = FromSjis(kPlatformPluginMissingMessage).arg(QString::fromLocal8Bit(asked));
  }
  return choice;
}

}  // namespace tolvane
