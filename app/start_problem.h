#pragma once
// A start that cannot go ahead because of its command line. The message goes to standard error
// and into a message box: a program started from a file manager or the desktop menu has no
// terminal to read.
#include <QString>
#include <optional>
#include <string>

#include "app/start_options.h"
#include "state/given_path.h"

namespace tolvane {

// The path argument's kind; nothing when the line names no path.
std::optional<GivenPathKind> KindOfGivenPath(const StartOptions& options);

// What is wrong with the command line, `path_kind` being what its path turned out to be; nothing
// when the program can start as it asks.
std::optional<QString> StartProblem(const StartOptions& options,
                                    std::optional<GivenPathKind> path_kind);

// Why `path` cannot be opened or entered, by what it turned out to be.
QString PathProblem(GivenPathKind kind, const QString& path);

// A path argument as the user typed it, for the messages: local bytes decoded.
QString FromLocal(const std::string& bytes);

// Prints `message` (UTF-8) to standard error, as "tolvane: message".
void PrintStartProblem(const QString& message);

// Prints `message` to standard error and shows it in a modal box captioned with the
// application's name. Returns once the box is closed, or once a quit signal (a logout) ends the
// program. It runs the application's event loop meanwhile: a quit signal reaches a running loop
// only. Call it before the event loop runs.
void ReportStartProblem(const QString& message);

}  // namespace tolvane
