#pragma once
// Choosing the external editor and starting it on the results file.
#include <string>

class QWidget;

namespace tolvane {

class HistoryTable;

// The open-file dialog; OK stores the chosen path as the editor command, anything else "notepad".
void OnChangeEditor(QWidget* owner, HistoryTable& history);

// Starts the editor command on "kekka.txt" with `start_dir` as its working directory (the
// process's own stays as it is); never waits, never reports a failure.
void OpenResultsInEditor(const HistoryTable& history, const std::string& start_dir);

}  // namespace tolvane
