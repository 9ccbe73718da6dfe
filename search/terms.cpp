#include "search/terms.h"

#include "encoding/primitives.h"
#include "encoding/sjis.h"

namespace tolvane {

std::span<const std::string> TermTable::Active() const {
  std::size_t n = 0;
  while (n < terms.size() && !terms[n].empty()) ++n;
  return {terms.data(), n};
}

TermTable SplitTerms(std::string_view query) {
  std::string text(query);
  ReplaceAll(text, kFullWidthBlank, kAsciiBlank);
  while (!text.empty() && text.back() == ' ') text.pop_back();

  // Every term is kept, and kept whole, however long: dropping a term or cutting one short would
  // report records that do not hold it.
  TermTable table;
  std::string_view rest = text;
  while (true) {
    const std::size_t blank = rest.find(' ');
    table.terms.emplace_back(rest.substr(0, blank));
    table.twins.push_back(TermTwins::Of(table.terms.back()));
    if (blank == std::string_view::npos) break;
    rest.remove_prefix(blank + 1);
  }
  return table;
}

namespace {

bool Holds(std::string_view record, const std::string& term, const TermTwins& twins) {
  return twins.empty() ? CharBoundaryFind(record, term).has_value()
                       : twins.FindOnBoundary(record, term).has_value();
}

}  // namespace

bool MatchesAllTerms(std::string_view record, const TermTable& terms) {
  const std::span<const std::string> active = terms.Active();
  for (std::size_t i = 0; i < active.size(); ++i) {
    if (!Holds(record, active[i], terms.twins[i])) return false;
  }
  return true;
}

bool MatchesAllTerms(std::string_view record, const TermTable& table,
                     std::span<const std::string* const> order, const FoundTerm& found) {
  for (const std::string* term : order) {
    bool known = false;
    if (term == found.term && found.at + term->size() <= record.size()) {
      const TermTwins& twins = table.TwinsOf(term);
      const bool spelled = found.confirmed || (twins.empty()
                                                   ? record.substr(found.at, term->size()) == *term
                                                   : twins.SpellingAt(record.data() + found.at, *term));
      known = spelled && IsCharBoundary(record, found.at);
    }
    if (!known && !Holds(record, *term, table.TwinsOf(term))) return false;
  }
  return true;
}

}  // namespace tolvane
