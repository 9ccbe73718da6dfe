#pragma once
// Turning a query into search terms, and deciding whether a record holds all of them.
#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "encoding/text_encoding.h"
#include "search/folded_term.h"
#include "search/scan_sizes.h"
#include "search/term_twins.h"

namespace tolvane {

// The terms of one search, every one the query holds: a record lacking any of them is never
// reported. A query the window or the command sends is at most 299 bytes, so at most 150 terms.
// The terms are in the records file's encoding, and matched on its characters.
struct TermTable {
  TextEncoding encoding = TextEncoding::kShiftJis;
  std::vector<std::string> terms;
  // The twin characters of each term (term_twins.h), found once by SplitTerms; Shift-JIS only.
  std::vector<TermTwins> twins;
  // Each term that is matched a folded character at a time (folded_term.h), else nothing.
  std::vector<std::optional<FoldedTerm>> folded;
  // A character of the query that the encoding cannot hold: then there is nothing to search for.
  std::optional<char32_t> unconvertible;

  // The terms that count: those before the first empty term. Empty when the first term is empty,
  // in which case every record matches.
  std::span<const std::string> Active() const;
  // The twins of `term`, which must be one of `terms`.
  const TermTwins& TwinsOf(const std::string* term) const { return twins[term - terms.data()]; }
};

// Splits the Shift-JIS `query` on ASCII blanks after turning full-width blanks (on character
// boundaries) into ASCII ones and dropping trailing ASCII blanks. Blanks are not collapsed: two in
// a row make an empty term, and the terms after it do not count. Each term is then written in
// `encoding`; in UTF-8 and EUC-JP a term holding a character of two Unicode forms is matched
// folded. With the loose folding every term is matched folded, and a character the encoding lacks
// is written as another of its class that it holds.
TermTable SplitTerms(std::string_view query, TextEncoding encoding = TextEncoding::kShiftJis,
                     Folding folding = Folding::kUnicodeForms);

// The same for a query typed in Unicode (UTF-8), as the window and the command take it: U+3000 is
// the full-width blank, and each character is written in `encoding` as encoding/query_text.h
// says. A character the encoding lacks makes `unconvertible`, except in the loose search when
// the encoding holds another way of writing it (鷗 as 鴎 in Shift-JIS).
TermTable SplitQuery(std::string_view query, TextEncoding encoding,
                     Folding folding = Folding::kUnicodeForms);

// True when every active term occurs in `record` in one of its spellings, each starting on a
// character boundary of the record walked from its start. Order does not matter and occurrences may
// overlap.
bool MatchesAllTerms(std::string_view record, const TermTable& terms);

// Where a term stands in a record: its first byte and the byte after its last.
struct TermSpan {
  std::size_t at = 0;
  std::size_t end = 0;
  bool operator==(const TermSpan&) const = default;
};

// Every place each active term stands in `record`, ordered by where they start, found as
// MatchesAllTerms finds them: what the results box marks. Occurrences may overlap; a term found in
// another length than its own (ヴァイオリン for バイオリン) spans what the record holds.
std::vector<TermSpan> TermSpans(std::string_view record, const TermTable& table);

// Where the scan's filter saw a term in a record: `term` (one of the table's) may start at `at`,
// which is where its first spelling in the record starts if it starts there at all. `confirmed`
// when the filter compared the whole term there; else only one character of it.
struct FoundTerm {
  const std::string* term = nullptr;
  std::size_t at = 0;
  bool confirmed = false;
};

// The same over `order` (terms of `table`) in the order given, rarest first so that a record fails
// early. The found term is checked where the filter saw it; only when it does not stand there on a
// character boundary is the record searched for it.
bool MatchesAllTerms(std::string_view record, const TermTable& table,
                     std::span<const std::string* const> order, const FoundTerm& found);

}  // namespace tolvane
