#pragma once
// A screen that records what a search shows it, in the order it is shown, and nothing more: the
// order and the choice of what to show are the session's (SearchAndShow), as in the window.
#include <string>
#include <string_view>
#include <vector>

#include "session/run.h"
#include "session/search_screen.h"
#include "texts/texts.h"

namespace tolvane::testing {

struct FakeScreen final : SearchScreen {
  std::vector<std::string> errors;
  std::vector<std::string> boxes;
  std::vector<std::string> captions;
  ShownResults shown;  // what the box holds between searches

  void ShowProblem(const RunProblem& problem, RunStatus) override {
    errors.emplace_back(problem.message);
  }
  void ShowResults(const ShownResults& now) override { boxes.push_back(now.text); }
  void ShowCaption(std::string_view caption) override { captions.emplace_back(caption); }

  SearchResult Search(std::string_view query, const std::string& dir,
                      const RunOptions& options = {}) {
    return SearchAndShow(query, dir, shown, options, *this);
  }
};

}  // namespace tolvane::testing
