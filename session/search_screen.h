#pragma once
// A search's outcome shown in the order the window shows it: the message of what went wrong
// first, then on a match the box's new text and the caption. The window is one such screen; the
// tests record what reaches theirs.
#include <string>
#include <string_view>

#include "session/run.h"

namespace tolvane {

class SearchScreen {
 public:
  virtual ~SearchScreen() = default;
  // What stopped the run (its status tells which message goes with it).
  virtual void ShowProblem(const RunProblem& problem, RunStatus status) = 0;
  // The box's whole text after a match, the newest block first.
  virtual void ShowResults(const ShownResults& shown) = 0;
  virtual void ShowCaption(std::string_view caption) = 0;
};

// Runs one search (RunSearch) over what the box shows, `shown`, and shows its outcome on `screen`.
// On a match `shown` becomes the box's new text; the result returned no longer holds it.
SearchResult SearchAndShow(std::string_view query, const std::string& start_dir,
                           ShownResults& shown, const RunOptions& options, SearchScreen& screen);

}  // namespace tolvane
