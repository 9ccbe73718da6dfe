#pragma once
// Choosing the external editor and starting it on the results file.
#include <optional>
#include <string>

#include "encoding/text_encoding.h"

class QWidget;

namespace tolvane {

class HistoryTable;

// Where Shift+Enter finds the last search's results.
struct ResultsToOpen {
  // The absolute path of results the start folder could not take; empty: its own kekka.txt.
  std::string elsewhere;
  // What the search that wrote them decided; without it the copy finds it from the file itself.
  std::optional<TextEncoding> encoding;
};

// The open-file dialog; OK stores the chosen path as the editor command, anything else "notepad".
// Its first filter lists executable files; it opens in the current editor's folder (a relative
// path taken from `start_dir`), or in /usr/bin while the editor is a bare program name.
// The dialog opens at a readable size, remembered in `settings_file`. Once a program is chosen the
// user is told that it gets kekka.txt in the records file's encoding; one the desktop lists as a
// text editor may be given the UTF-8 copy instead, which the settings file then remembers.
void ChooseEditor(QWidget* owner, HistoryTable& history, const std::string& start_dir,
                  const std::optional<std::string>& settings_file = std::nullopt);

// Starts the editor command on "kekka.txt" with `start_dir` as its working directory (the
// process's own stays as it is); never waits. The default command's desktop opener gets the UTF-8
// copy of the results instead (MakeUtf8CopyOfResults), or kekka.txt when no copy could be made,
// or nothing when kekka.txt is another user's link or no regular file. A program that is
// missing, not executable or does not start is named in a message box owned by `owner`; an empty
// or overlong command starts nothing and says nothing. `results` says where the last search's
// results are and in which encoding; by default the start folder's kekka.txt, its encoding found
// from the file.
// When the desktop's own choice for text would start this program again (or there is none), another
// installed text editor opens the copy, or the user is told how to choose one. A chosen editor that
// `settings_file` names for it gets the copy too.
void OpenResultsInEditor(QWidget* owner, const HistoryTable& history, const std::string& start_dir,
                         const ResultsToOpen& results = {},
                         const std::optional<std::string>& settings_file = std::nullopt);

}  // namespace tolvane
