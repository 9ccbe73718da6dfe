#pragma once
// What the window would show of each search: its messages, the box's texts and the captions, in
// the order a screen shows them, and what the box holds between searches.
#include <string>
#include <string_view>
#include <vector>

#include "session/run.h"
#include "texts/texts.h"

namespace tolvane::testing {

struct FakeScreen {
  std::vector<std::string> errors;
  std::vector<std::string> boxes;
  std::vector<std::string> captions;
  ShownResults shown;

  // Runs a search over what the box shows and shows its result.
  SearchResult Search(std::string_view query, const std::string& dir, const RunOptions& options = {}) {
    SearchResult result = RunSearch(query, dir, shown, options);
    if (result.problem) errors.emplace_back(result.problem->message);
    if (result.status == RunStatus::kMatched) {
      shown = result.shown;
      boxes.push_back(shown.text);
      captions.push_back(result.caption);
    }
    return result;
  }
};

}  // namespace tolvane::testing
