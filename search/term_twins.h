#pragma once
// The spellings of one search term under CP932's twin codes (cp932_twins.h): a term matches
// wherever any of its spellings starts on a character boundary. All spellings have the term's
// length, since only double-byte codes are twins of each other, so positions stay fixed.
//
// A term is kept as it was typed plus the places of its twin characters: per place, the group of
// codes allowed there. Nothing is expanded, however many twin characters the term holds.
#include <bitset>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "encoding/cp932_twins.h"

namespace tolvane {

// The lead bytes of every twin code in glibc's CP932 (a test holds it to the derived table): a
// term none of whose characters starts with one has no twins, and its search never waits for the
// table.
inline constexpr std::string_view kTwinLeadBytes = "\x81\x87\xed\xee\xfa\xfb\xfc";

class TermTwins {
 public:
  // An empty set: the term has one spelling only.
  TermTwins() = default;
  // The twin characters of `term`, walked from its start on character boundaries.
  static TermTwins Of(std::string_view term);

  bool empty() const { return places_.empty(); }
  // True when every character of `term` has twins: no byte is the same in all spellings.
  bool CoverAll(std::string_view term) const { return places_.size() * 2 == term.size(); }
  // True when the byte at `offset` of the term is the same in every spelling.
  bool IsFixed(std::size_t offset) const;
  // The twin characters of the term, in order, and the codes each may stand in.
  std::size_t PlaceCount() const { return places_.size(); }
  std::size_t OffsetOfPlace(std::size_t index) const { return places_[index].offset; }
  std::vector<std::string> SpellingsOfPlace(std::size_t index) const;

  // True when the term.size() bytes at `p` are one of the spellings of `term` (of which this is
  // the set). Plain bytes: the caller decides about character boundaries.
  bool SpellingAt(const char* p, std::string_view term) const;
  // Offset of the first spelling of `term` in `text` that starts on a character boundary of
  // `text` walked from its start. `term` must not be empty.
  std::optional<std::size_t> FindOnBoundary(std::string_view text, std::string_view term) const;

 private:
  struct Place {
    std::size_t offset;  // of the twin character's lead byte in the term
    TwinGroup group;
  };
  std::vector<Place> places_;     // ascending offsets
  std::bitset<256> first_bytes_;  // the bytes any spelling can start with
};

}  // namespace tolvane
