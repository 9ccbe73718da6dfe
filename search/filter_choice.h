#pragma once
// What the scan of one search looks for on the file's raw bytes, chosen once from a sample of the
// file's start and shared by every part of the scan: both halves read it, neither changes it.
//
// The filter is the term (or, for a term made only of characters of several spellings, the one
// character of it, or for a loose term a run of its characters) whose pair of compared bytes lets
// through the fewest real candidates in the sample: estimated from byte counts for every term,
// then counted for the most promising.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "search/pair_filter.h"
#include "search/terms.h"

namespace tolvane {

// How many of the filters that byte counts rank first are counted on the sample itself: every
// term's for most queries, and enough of a loose term's runs of characters (whose bytes are the
// least independent) that the best is among them. A count takes well under a millisecond.
inline constexpr std::size_t kCountedFilterOptions = 16;

struct FilterChoice {
  // None: every record is looked at (no term can be looked for on raw bytes).
  std::optional<PairFilter> filter;
  // The term the filter finds, and where in it the bytes it finds stand: 0 for the whole term,
  // else the offset of the one character of several spellings it looks for.
  const std::string* found_term = nullptr;
  std::size_t found_offset = 0;
  bool found_whole = false;  // the filter confirms the whole term, not one character
  // The active terms, rarest first, so that a record fails early.
  std::vector<const std::string*> check_order;
  // Filters of the other terms, rarest first, that turn a candidate's line away on its raw bytes.
  std::vector<PairFilter> quick_checks;
};

// `terms` must outlive the choice.
FilterChoice ChooseFilter(const TermTable& terms, std::string_view sample);

// Bytes that text-mode reading treats specially: a term holding one is never looked for on the raw
// bytes, only checked inside records (where a Ctrl+Z never is).
bool HasSpecialByte(std::string_view term);

}  // namespace tolvane
