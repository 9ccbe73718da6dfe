#pragma once
// What the window would show: every call of a run's three display operations, recorded.
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
  DisplayOps ops() {
    return {[this](std::string_view m) { errors.emplace_back(m); },
            [this](std::string_view t) { boxes.emplace_back(t); },
            [this](std::string_view c) { captions.emplace_back(c); }};
  }
};

}  // namespace tolvane::testing
