// Tolvane: search a Shift-JIS bibliography ("tolvaneken.txt" in the start folder). Qt takes its
// own arguments first; the rest name the file or the folder to start with. Qt's own texts come in
// Japanese, and the ending signals leave through the event loop, so that the view saves the
// history on the way out.
#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/qt_translations.h"
#include "app/quit_on_signals.h"
#include "app/start_options.h"
#include "app/start_problem.h"
#include "app/tolvane_app.h"

namespace {

// A command line the program cannot start with, or help text that could not be written.
constexpr int kExitError = 2;

tolvane::StartOptions ParseArguments(int argc, char** argv) {
  return tolvane::ParseStartOptions(std::vector<std::string>(argv + 1, argv + argc));
}

bool AsksForTextOnly(const tolvane::StartOptions& options) {
  return options.problem == tolvane::StartOptionsProblem::kNone &&
         (options.help || options.version);
}

int PrintText(const tolvane::StartOptions& options) {
  if (options.help) {
    std::fputs(tolvane::kStartUsage, stdout);
  } else {
    std::printf("tolvane %s\n", TOLVANE_VERSION);
  }
  return std::fflush(stdout) == 0 ? 0 : kExitError;
}

bool IsSet(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0';
}

// Whether Qt has anything to show a window on: an X or Wayland display, or a platform chosen by
// environment or argument. Without one, Qt ends the process with an abort.
bool HasSomewhereToShow(int argc, char** argv) {
  if (IsSet("DISPLAY") || IsSet("WAYLAND_DISPLAY") || IsSet("QT_QPA_PLATFORM")) return true;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "-display") == 0) return true;
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  // Answered before Qt looks for a display, so that they work in any terminal; a line that also
  // holds Qt's own arguments is answered once Qt has taken them out.
  const tolvane::StartOptions plain = ParseArguments(argc, argv);
  if (AsksForTextOnly(plain)) return PrintText(plain);
  // From a terminal without a display a line that could not start anyway is told there, in
  // place of Qt's abort.
  if (!HasSomewhereToShow(argc, argv)) {
    if (const auto problem = tolvane::StartProblem(plain, tolvane::KindOfGivenPath(plain))) {
      tolvane::PrintStartProblem(*problem);
      return kExitError;
    }
  }
  QApplication application(argc, argv);
  const tolvane::StartOptions options = ParseArguments(argc, argv);
  if (AsksForTextOnly(options)) return PrintText(options);
  (void)tolvane::InstallQtTranslations(application);
  const tolvane::QuitOnSignals quit_on_signals;
  tolvane::CTolvaneApp app;
  if (!app.InitInstance(options)) return kExitError;
  return QApplication::exec();
}
