// Tolvane: search a Shift-JIS bibliography ("tolvaneken.txt" in the start folder). Qt takes its
// own arguments first; the rest name the file or the folder to start with. Where the window is
// to be shown is settled before Qt starts, so that nowhere to show it is told in one line. Qt's
// own texts come in Japanese, and the ending signals leave through the event loop, so that the
// view saves the history on the way out.
#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "app/display_check.h"
#include "app/qt_translations.h"
#include "app/quit_on_signals.h"
#include "app/start_options.h"
#include "app/start_problem.h"
#include "app/tolvane_app.h"
#include "screen/screen_text.h"
#include "texts/texts.h"

namespace {

// A command line the program cannot start with, nowhere to show the window, or help text that
// could not be written.
constexpr int kExitError = 2;
constexpr char kPlatformVariable[] = "QT_QPA_PLATFORM";

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

QtMessageHandler previous_message_handler = nullptr;

// Qt ends the process with an abort when the platform it was to start fails after all (a
// compositor that went away a moment ago, a frame buffer without a screen): until the window is
// up, that is told as a start problem instead, in one line.
void EndOnQtFatal(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (type != QtFatalMsg) {
    previous_message_handler(type, context, message);
    return;
  }
  const QString first_line = message.section(u'\n', 0, 0);
  tolvane::PrintStartProblem(tolvane::FromSjis(tolvane::kPlatformFailedMessage).arg(first_line));
  std::_Exit(kExitError);
}

}  // namespace

int main(int argc, char** argv) {
  // Answered before Qt looks for a display, so that they work in any terminal; a line that also
  // holds Qt's own arguments is answered once Qt has taken them out.
  const tolvane::StartOptions plain = ParseArguments(argc, argv);
  if (AsksForTextOnly(plain)) return PrintText(plain);
  const int end_of_qt_words = QtWords(argc, argv);
  const tolvane::DisplaySetting display_setting =
      tolvane::ReadDisplaySetting(end_of_qt_words, argv);
  const tolvane::DisplayChoice display =
      tolvane::ChooseDisplay(display_setting, tolvane::SystemDisplayProbes(display_setting));
  if (display.problem) {
    // Without a window, a line that could not start anyway is told in its place: it is what the
    // user typed last.
    const auto problem = tolvane::StartProblem(plain, tolvane::KindOfGivenPath(plain));
    tolvane::PrintStartProblem(problem.value_or(*display.problem));
    return kExitError;
  }
  // Qt is told the platform chosen for this process only; an editor started later chooses its own.
  const std::optional<QByteArray> platform_before = qEnvironmentVariableIsSet(kPlatformVariable)
                                                        ? std::optional(qgetenv(kPlatformVariable))
                                                        : std::nullopt;
  if (!display.platform.empty()) {
    qputenv(kPlatformVariable, QByteArray::fromStdString(display.platform));
  }
  previous_message_handler = qInstallMessageHandler(EndOnQtFatal);
  int qt_argc = end_of_qt_words;
  QApplication application(qt_argc, argv);
  if (platform_before) {
    qputenv(kPlatformVariable, *platform_before);
  } else {
    qunsetenv(kPlatformVariable);
  }
  // What Qt left of its part (it moves those words together at the front), then the rest.
  std::vector<std::string> words(argv + 1, argv + qt_argc);
  words.insert(words.end(), argv + end_of_qt_words, argv + argc);
  const tolvane::StartOptions options = tolvane::ParseStartOptions(words);
  if (AsksForTextOnly(options)) return PrintText(options);
  (void)tolvane::InstallQtTranslations(application);
  const tolvane::QuitOnSignals quit_on_signals;
  tolvane::CTolvaneApp app;
  const bool started = app.Start(options);
  // The window exists now, and the platform has shown it.
  qInstallMessageHandler(previous_message_handler);
  if (!started) return kExitError;
  return QApplication::exec();
}
