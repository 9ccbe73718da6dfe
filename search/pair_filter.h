#pragma once
// Finding a term fast: compare two of its bytes, the two rarest in the text at hand, at 16 or 32
// positions at once, and check the whole term only where both agree. The same pass watches for the
// Ctrl+Z that ends a text-mode file, so that the text is read only once.
//
// A character of several spellings (a CP932 twin, a notational variant) is found the same way:
// one pair per spelling, the compares ORed, so that a hit is where any spelling starts.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "search/term_twins.h"

namespace tolvane {

// How often each byte value occurs in a sample of the text being searched.
using ByteCounts = std::array<std::uint64_t, 256>;
ByteCounts CountBytes(std::string_view sample);

// Find uses AVX2 where the processor has it. Turning it off lets the tests check the SSE2 loop on
// any x86-64 machine; a build without the vector loops ignores it.
void AllowAvx2(bool allowed);

// The most spellings one filter ORs; a character with more is not filtered on.
inline constexpr std::size_t kMaxFilterSpellings = 16;

// One spelling a filter looks for, and the offsets of the two bytes it compares of it.
struct FilterSpelling {
  std::string bytes;
  std::size_t first = 0;
  std::size_t second = 0;
};

class PairFilter {
 public:
  // Finds `term` by its two rarest bytes. With `twins` (which must outlive the filter and leave
  // some byte of the term fixed: !CoverAll) the compared bytes are chosen among those the same in
  // every spelling, and a hit is any spelling. `term` must not be empty.
  PairFilter(std::string_view term, const ByteCounts& counts, const TermTwins* twins = nullptr);
  // Finds where any of `spellings` starts: between 1 and kMaxFilterSpellings of them, none empty.
  // Each is compared by its first and its last byte.
  explicit PairFilter(std::vector<std::string> spellings);

  // The first position in text[from, text.size()) where a spelling starts or a Ctrl+Z stands, or
  // npos. Plain bytes: the caller decides about character boundaries. No spelling may hold a
  // Ctrl+Z itself.
  std::size_t Find(std::string_view text, std::size_t from) const;

  // False when no spelling's compared bytes stand together in `text` where it would fit, so that
  // none is in it. Meant for a record's few bytes: no Ctrl+Z stop, no confirmation.
  bool MayOccurIn(std::string_view text) const;

  // How many positions of `sample` the compared bytes let through (each then confirmed), and how
  // many of them a spelling really starts at; what the filter costs on text like the sample.
  struct Candidates {
    std::size_t compared = 0;
    std::size_t confirmed = 0;
  };
  Candidates CountCandidates(std::string_view sample) const;
  // How many spellings each position is compared against.
  std::size_t SpellingCount() const { return spellings_.size(); }

 private:
  template <class Confirm>
  std::size_t FindWith(std::string_view text, std::size_t from, Confirm confirm) const;
  template <class Confirm>
  std::size_t FindAny(std::string_view text, std::size_t from, Confirm confirm) const;
  // True when some spelling that fits at `at` has its pair there.
  bool PairAgreesAt(std::string_view text, std::size_t at) const;

  std::vector<FilterSpelling> spellings_;  // one, unless a character of several spellings
  const TermTwins* twins_ = nullptr;       // a term whose twin characters vary
};

}  // namespace tolvane
