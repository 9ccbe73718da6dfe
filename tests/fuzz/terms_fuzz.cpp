// SplitTerms and MatchesAllTerms. Input: query 0xFF record.
#include "encoding/cp932.h"
#include "fuzz_util.h"
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

  // Every term is stored: joined by single blanks they give the query back whole.
  FUZZ_CHECK(table.terms.size() == blanks + 1);
  FUZZ_CHECK(table.twins.size() == table.terms.size());
  std::string joined;
  for (std::size_t i = 0; i < table.terms.size(); ++i) {
    FUZZ_CHECK(table.terms[i].find(' ') == std::string::npos);
    if (i > 0) joined += ' ';
    joined += table.terms[i];
  }
  FUZZ_CHECK(joined == text);

  // The active terms are those before the first empty one.
  const std::span<const std::string> active = table.Active();
  FUZZ_CHECK(active.size() == table.terms.size() || table.terms[active.size()].empty());
  for (const std::string& term : active) FUZZ_CHECK(!term.empty());
}

// Two double-byte codes are one character to the search when glibc shows them as one.
bool ModelSameCharacter(std::string_view a, std::string_view b) {
  if (a == b) return true;
  const std::string shown = Cp932ToUtf8(a);
  return shown.find("\xef\xbf\xbd") == std::string::npos && shown == Cp932ToUtf8(b);
}

// ModelFind where each double-byte character of the term may stand in any of its codes.
bool ModelFindAnySpelling(std::string_view record, std::string_view term) {
  const std::vector<bool> is_boundary = ModelBoundaries(record);
  for (std::size_t p = 0; p + term.size() <= record.size(); ++p) {
    if (!is_boundary[p]) continue;
    bool same = true;
    for (std::size_t at = 0; same && at < term.size();) {
      const std::size_t length = ModelLeadByte(term[at]) && at + 1 < term.size() ? 2 : 1;
      const std::string_view want = term.substr(at, length);
      const std::string_view have = record.substr(p + at, length);
      same = length == 2 && ModelLeadByte(have[0]) ? ModelSameCharacter(want, have) : want == have;
      at += length;
    }
    if (same) return true;
  }
  return false;
}

void CheckMatch(std::string_view record, const TermTable& table) {
  bool all = true;
  for (const std::string& term : table.Active()) {
    all = all && ModelFindAnySpelling(record, term);
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
