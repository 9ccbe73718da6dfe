#pragma once
// Choosing the external editor and starting it on the results file.
#include <optional>
#include <string>

#include "encoding/text_encoding.h"

class QWidget;

namespace tolvane {

class HistoryTable;

// The open-file dialog; OK stores the chosen path as the editor command, anything else "notepad".
// Its first filter lists executable files; it opens in the current editor's folder (a relative
// path taken from `start_dir`), or in /usr/bin while the editor is a bare program name.
void OnChangeEditor(QWidget* owner, HistoryTable& history, const std::string& start_dir);

// Starts the editor command on "kekka.txt" with `start_dir` as its working directory (the
// process's own stays as it is); never waits. The default command's desktop opener gets the UTF-8
// copy of the results instead (MakeUtf8CopyOfResults), or kekka.txt when no copy could be made,
// or nothing when kekka.txt is another user's link or no regular file. A program that is
// missing, not executable or does not start is named in a message box owned by `owner`; an empty
// or overlong command starts nothing and says nothing. `results_encoding` is what the search that
// wrote kekka.txt decided; without it the copy finds the encoding from kekka.txt itself.
void OpenResultsInEditor(QWidget* owner, const HistoryTable& history, const std::string& start_dir,
                         std::optional<TextEncoding> results_encoding = std::nullopt);

}  // namespace tolvane
