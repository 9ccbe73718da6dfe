#include "session/search_screen.h"

#include <utility>

namespace tolvane {

SearchResult SearchAndShow(std::string_view query, const std::string& start_dir,
                           ShownResults& shown, const RunOptions& options, SearchScreen& screen) {
  SearchResult result = RunSearch(query, start_dir, shown, options);
  if (result.problem) screen.ShowProblem(*result.problem, result.status);
  // Nothing else changes without a match: the box and the caption stay as they were.
  if (result.status == RunStatus::kMatched) {
    shown = std::move(result.shown);
    screen.ShowResults(shown);
    screen.ShowCaption(result.caption);
  }
  return result;
}

}  // namespace tolvane
