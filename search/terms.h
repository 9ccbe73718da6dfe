#pragma once
// Turning a query into search terms, and deciding whether a record holds all of them.
#include <array>
#include <cstddef>
#include <span>
#include <string>
#include <string_view>

#include "search/limits.h"
#include "search/term_twins.h"

namespace tolvane {

// The term table of one search. Slots after the last stored term are empty, so the list always ends
// with an empty slot, even when all 45 terms are used.
struct TermTable {
  std::array<std::string, kTermSlots> slots;
  // The twin characters of each slot's term (term_twins.h), found once by SplitTerms.
  std::array<TermTwins, kTermSlots> twins;

  // The terms that count: those before the first empty slot. Empty when the first term is empty,
  // in which case every record matches.
  std::span<const std::string> Active() const;
  // The twins of `term`, which must be one of `slots`.
  const TermTwins& TwinsOf(const std::string* term) const { return twins[term - slots.data()]; }
};

// Splits on ASCII blanks after turning full-width blanks (on character boundaries) into ASCII ones
// and dropping trailing ASCII blanks. Blanks are not collapsed: two in a row make an empty term.
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
