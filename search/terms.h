#pragma once
// Turning a query into search terms, and deciding whether a record holds all of them.
#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "search/scan_sizes.h"
#include "search/term_twins.h"

namespace tolvane {

// The terms of one search, every one the query holds: a record lacking any of them is never
// reported. A query the window or the command sends is at most 299 bytes, so at most 150 terms.
struct TermTable {
  std::vector<std::string> terms;
  // The twin characters of each term (term_twins.h), found once by SplitTerms.
  std::vector<TermTwins> twins;

  // The terms that count: those before the first empty term. Empty when the first term is empty,
  // in which case every record matches.
  std::span<const std::string> Active() const;
  // The twins of `term`, which must be one of `terms`.
  const TermTwins& TwinsOf(const std::string* term) const { return twins[term - terms.data()]; }
};

// Splits on ASCII blanks after turning full-width blanks (on character boundaries) into ASCII ones
// and dropping trailing ASCII blanks. Blanks are not collapsed: two in a row make an empty term,
// and the terms after it do not count.
TermTable SplitTerms(std::string_view query);

// True when every active term occurs in `record` in one of its spellings, each starting on a
// character boundary of the record walked from its start. Order does not matter and occurrences may
// overlap.
bool MatchesAllTerms(std::string_view record, const TermTable& terms);

// The same over `order` (terms of `table`) in the order given, rarest first so that a record fails
// early. When the scan already knows that a spelling of `found_term` first occurs in `record` at
// `found_at`, that occurrence is checked where it stands instead of searched again.
bool MatchesAllTerms(std::string_view record, const TermTable& table,
                     std::span<const std::string* const> order, const std::string* found_term,
                     std::size_t found_at);

}  // namespace tolvane
