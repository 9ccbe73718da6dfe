// SplitTerms and MatchesAllTerms. Input: query 0xFF record.
#include "fuzz_util.h"
#include "search/limits.h"
#include "search/terms.h"

namespace tolvane::fuzz {
namespace {

// The query as the split sees it: full-width blanks on boundaries made ASCII, trailing blanks gone.
std::string Normalized(std::string_view query) {
  std::string text = ModelReplaceAll(std::string(query), "\x81\x40", " ");
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

void CheckSplit(std::string_view query, const TermTable& table) {
  const std::string text = Normalized(query);
  std::size_t blanks = 0;
  for (const char c : text) blanks += c == ' ';

  // The stored terms joined by single blanks give the query back, up to the 45th blank.
  const std::size_t stored = std::min(blanks + 1, kMaxTerms);
  std::string joined;
  for (std::size_t i = 0; i < stored; ++i) {
    FUZZ_CHECK(table.slots[i].find(' ') == std::string::npos);
    if (i > 0) joined += ' ';
    joined += table.slots[i];
  }
  if (blanks < kMaxTerms) {
    FUZZ_CHECK(joined == text);
  } else {
    FUZZ_CHECK(text.compare(0, joined.size() + 1, joined + " ") == 0);
  }
  for (std::size_t i = stored; i < kTermSlots; ++i) FUZZ_CHECK(table.slots[i].empty());

  const std::span<const std::string> active = table.Active();
  FUZZ_CHECK(active.size() <= kMaxTerms);
  FUZZ_CHECK(table.slots[active.size()].empty());  // a full list is closed too
  for (const std::string& term : active) FUZZ_CHECK(!term.empty());
}

void CheckMatch(std::string_view record, const TermTable& table) {
  bool all = true;
  for (const std::string& term : table.Active()) {
    all = all && ModelFind(record, term) != std::string_view::npos;
  }
  FUZZ_CHECK(MatchesAllTerms(record, table) == all);
}

}  // namespace
}  // namespace tolvane::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tolvane::fuzz;
  const std::vector<std::string> f = Fields(AsText(data, size), 2);
  const tolvane::TermTable table = tolvane::SplitTerms(f[0]);
  CheckSplit(f[0], table);
  CheckMatch(f[1], table);
  return 0;
}
