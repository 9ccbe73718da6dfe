#pragma once
// Choosing the external editor and starting it on the results file.
#include <string>

class QWidget;

namespace tolvane {

class HistoryTable;

// The open-file dialog; OK stores the chosen path as the editor command, anything else "notepad".
// Makes `start_dir` the working directory again afterwards.
void OnChangeEditor(QWidget* owner, HistoryTable& history, const std::string& start_dir);

// Starts the editor command on "kekka.txt" with `start_dir` as its working directory; never waits,
// never reports a failure.
void OpenResultsInEditor(const HistoryTable& history, const std::string& start_dir);

}  // namespace tolvane
