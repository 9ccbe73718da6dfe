// Tolvane: search a Shift-JIS bibliography ("tolvaneken.txt" in the start folder). Qt takes its
// own arguments first; the rest name the file or the folder to start with. Qt's own texts come in
// Japanese, and the ending signals leave through the event loop, so that the view saves the
// history on the way out.
#include <xcb/xcb.h>

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

// Where "--" stands, or argc. Qt takes its own options (-platform, -reverse ...) from anywhere on
// the line, so it is shown only the words before it: after "--" a path like "-reverse" is ours.
int QtWords(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--") == 0) return i;
  }
  return argc;
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

// Whether Qt has anything to show a window on: an X display that answers, a Wayland display, or
// a platform chosen by environment or argument. Without one, Qt ends the process with an abort.
bool HasSomewhereToShow(int argc, char** argv) {
  if (IsSet("WAYLAND_DISPLAY") || IsSet("QT_QPA_PLATFORM")) return true;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--") == 0) break;
    if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "-display") == 0) return true;
  }
  if (!IsSet("DISPLAY")) return false;
  // A display left over from an ended ssh or sudo session is set but gone.
  xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
  const bool answers = xcb_connection_has_error(connection) == 0;
  xcb_disconnect(connection);
  return answers;
}

}  // namespace

int main(int argc, char** argv) {
  // Answered before Qt looks for a display, so that they work in any terminal; a line that also
  // holds Qt's own arguments is answered once Qt has taken them out.
  const tolvane::StartOptions plain = ParseArguments(argc, argv);
  if (AsksForTextOnly(plain)) return PrintText(plain);
  // From a terminal without a display a line that could not start anyway is told there, in
  // place of Qt's abort.
  if (const auto problem = tolvane::StartProblem(plain, tolvane::KindOfGivenPath(plain));
      problem && !HasSomewhereToShow(argc, argv)) {
    tolvane::PrintStartProblem(*problem);
    return kExitError;
  }
  const int end_of_qt_words = QtWords(argc, argv);
  int qt_argc = end_of_qt_words;
  QApplication application(qt_argc, argv);
  // What Qt left of its part (it moves those words together at the front), then the rest.
  std::vector<std::string> words(argv + 1, argv + qt_argc);
  words.insert(words.end(), argv + end_of_qt_words, argv + argc);
  const tolvane::StartOptions options = tolvane::ParseStartOptions(words);
  if (AsksForTextOnly(options)) return PrintText(options);
  (void)tolvane::InstallQtTranslations(application);
  const tolvane::QuitOnSignals quit_on_signals;
  tolvane::CTolvaneApp app;
  if (!app.InitInstance(options)) return kExitError;
  return QApplication::exec();
}
