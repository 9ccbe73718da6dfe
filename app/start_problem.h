#pragma once
// A start that cannot go ahead because of its command line. The message goes to standard error
// and into a message box: a program started from a file manager or the desktop menu has no
// terminal to read.
#include <QString>

namespace tolvane {

// Prints `message` (UTF-8) to standard error and shows it in a modal box captioned with the
// application's name. Returns once the box is closed, or once a quit signal (a logout) ends the
// program. It runs the application's event loop meanwhile: a quit signal reaches a running loop
// only. Call it before the event loop runs.
void ReportStartProblem(const QString& message);

}  // namespace tolvane
