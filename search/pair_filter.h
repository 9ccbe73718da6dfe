#pragma once
// Finding a term fast: compare two of its bytes, the two rarest in the text at hand, at 16 or 32
// positions at once, and check the whole term only where both agree. The same pass watches for the
// Ctrl+Z that ends a text-mode file, so that the text is read only once.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "search/term_twins.h"

namespace tolvane {

// How often each byte value occurs in a sample of the text being searched.
using ByteCounts = std::array<std::uint64_t, 256>;
ByteCounts CountBytes(std::string_view sample);

// Find uses AVX2 where the processor has it. Turning it off lets the tests check the SSE2 loop on
// any x86-64 machine; a build without the vector loops ignores it.
void AllowAvx2(bool allowed);

class PairFilter {
 public:
  // `term` must outlive the filter and must not be empty. With `twins` (which must outlive the
  // filter too, and leave some byte of the term fixed: !CoverAll) the compared bytes are chosen
  // among those the same in every spelling, and a hit is any spelling.
  PairFilter(std::string_view term, const ByteCounts& counts, const TermTwins* twins = nullptr);

  // The first position in text[from, text.size()) where the term (a spelling of it) occurs or a
  // Ctrl+Z stands, or npos. Plain bytes: the caller decides about character boundaries. The term
  // must not hold a Ctrl+Z itself.
  std::size_t Find(std::string_view text, std::size_t from) const;

  // False when the compared bytes stand together nowhere in `text` where the term would fit, so the
  // term is not in it. Meant for a record's few bytes: no Ctrl+Z stop, no confirmation.
  bool MayOccurIn(std::string_view text) const;

  // How many candidates the pair lets through in the sampled text, roughly; lower is better.
  double Cost() const { return cost_; }
  std::string_view term() const { return term_; }

 private:
  template <class Confirm>
  std::size_t FindWith(std::string_view text, std::size_t from, Confirm confirm) const;

  std::string_view term_;
  const TermTwins* twins_ = nullptr;  // none: the term has one spelling
  std::size_t first_ = 0;   // offsets of the two bytes compared
  std::size_t second_ = 0;
  double cost_ = 0;
};

}  // namespace tolvane
