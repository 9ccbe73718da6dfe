#pragma once
// Turning a query into search terms, and deciding whether a record holds all of them.
#include <array>
#include <cstddef>
#include <span>
#include <string>
#include <string_view>

#include "search/limits.h"

namespace tolvane {

// The term table of one search. Slots after the last stored term are empty, so the list always ends
// with an empty slot, even when all 45 terms are used.
struct TermTable {
  std::array<std::string, kTermSlots> slots;

  // The terms that count: those before the first empty slot. Empty when the first term is empty,
  // in which case every record matches.
  std::span<const std::string> Active() const;
};

// Splits on ASCII blanks after turning full-width blanks (on character boundaries) into ASCII ones
// and dropping trailing ASCII blanks. Blanks are not collapsed: two in a row make an empty term.
TermTable SplitTerms(std::string_view query);

// True when every active term occurs in `record`, each starting on a character boundary of the
// record walked from its start. Order does not matter and occurrences may overlap.
bool MatchesAllTerms(std::string_view record, const TermTable& terms);

// The same over `terms` in the order given, rarest first so that a record fails early. When the
// scan already knows that `found_term` first occurs in `record` at `found_at`, that occurrence is
// checked where it stands instead of searched again.
bool MatchesAllTerms(std::string_view record, std::span<const std::string* const> terms,
                     const std::string* found_term, std::size_t found_at);

}  // namespace tolvane
