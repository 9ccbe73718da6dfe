#include "search/terms.h"

#include "encoding/code_points.h"
#include "encoding/primitives.h"
#include "encoding/sjis.h"

namespace tolvane {

std::span<const std::string> TermTable::Active() const {
  std::size_t n = 0;
  while (n < terms.size() && !terms[n].empty()) ++n;
  return {terms.data(), n};
}

namespace {

// True when a term holds a character of two Unicode forms, which only a folded match finds in
// both: in UTF-8 either form may have been written; in EUC-JP the wave dash is JIS X 0208's 〜 as
// most converters write it, or JIS X 0212's ～ as glibc's iconv from CP932 writes it.
bool HoldsTwoFormCharacter(TextEncoding encoding, std::string_view term) {
  const CodePointTable& table = CodePointTable::Get(encoding);
  for (std::size_t at = 0; at < term.size();) {
    std::size_t end = at;
    const char32_t c = table.Decode(term, at, end);
    if (JisFormOf(c) || Cp932FormOf(c)) return true;
    at = end;
  }
  return false;
}

}  // namespace

TermTable SplitTerms(std::string_view query, TextEncoding encoding) {
  std::string text(query);
  ReplaceAll(text, kFullWidthBlank, kAsciiBlank);
  while (!text.empty() && text.back() == ' ') text.pop_back();

  // Every term is kept, and kept whole, however long: dropping a term or cutting one short would
  // report records that do not hold it.
  TermTable table;
  table.encoding = encoding;
  std::string_view rest = text;
  while (true) {
    const std::size_t blank = rest.find(' ');
    Reencoded term = FromCp932(encoding, rest.substr(0, blank));
    if (term.unconvertible && !table.unconvertible) table.unconvertible = term.unconvertible;
    table.terms.push_back(std::move(term.bytes));
    const std::string& bytes = table.terms.back();
    table.twins.push_back(encoding == TextEncoding::kShiftJis ? TermTwins::Of(bytes) : TermTwins());
    if (encoding != TextEncoding::kShiftJis && !bytes.empty() && HoldsTwoFormCharacter(encoding, bytes)) {
      table.folded.emplace_back(std::in_place, encoding, bytes, Folding::kUnicodeForms);
    } else {
      table.folded.emplace_back();
    }
    if (blank == std::string_view::npos) break;
    rest.remove_prefix(blank + 1);
  }
  return table;
}

namespace {

bool Holds(std::string_view record, const TermTable& table, std::size_t index) {
  const std::string& term = table.terms[index];
  if (table.folded[index]) return table.folded[index]->FindOnBoundary(record).has_value();
  if (!table.twins[index].empty()) return table.twins[index].FindOnBoundary(record, term).has_value();
  return CharBoundaryFind(table.encoding, record, term).has_value();
}

}  // namespace

bool MatchesAllTerms(std::string_view record, const TermTable& terms) {
  const std::span<const std::string> active = terms.Active();
  for (std::size_t i = 0; i < active.size(); ++i) {
    if (!Holds(record, terms, i)) return false;
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
      known = spelled && IsCharBoundary(table.encoding, record, found.at);
    }
    if (!known && !Holds(record, table, static_cast<std::size_t>(term - table.terms.data()))) {
      return false;
    }
  }
  return true;
}

}  // namespace tolvane
