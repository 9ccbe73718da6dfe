#include "search/term_twins.h"

#include <cstring>

#include "encoding/sjis.h"

namespace tolvane {

namespace {

// Judged on the lead bytes of the term's characters: 日本 holds 0xFA as a trail byte, and needs no
// table for it.
bool MayHoldTwins(std::string_view term) {
  for (std::size_t at = 0; at < term.size(); at = NextCharEnd(term, at)) {
    if (IsLeadByte(term[at]) && kTwinLeadBytes.find(term[at]) != std::string_view::npos)
      return true;
  }
  return false;
}

unsigned char Byte(std::string_view text, std::size_t at) {
  return static_cast<unsigned char>(text[at]);
}

}  // namespace

TermTwins TermTwins::Of(std::string_view term) {
  TermTwins twins;
  if (!MayHoldTwins(term)) return twins;
  const Cp932Twins& table = Cp932Twins::Get();
  for (std::size_t at = 0; at < term.size();) {
    const std::size_t end = NextCharEnd(term, at);
    if (end - at == 2) {
      const TwinGroup group = table.GroupOf(Byte(term, at), Byte(term, at + 1));
      if (group != kNoTwin) twins.places_.push_back({at, group});
    }
    at = end;
  }
  if (twins.places_.empty()) return twins;
  if (twins.places_.front().offset == 0) {
    for (const DoubleByteCode code : table.CodesOf(twins.places_.front().group)) {
      twins.first_bytes_.set(code >> 8);
    }
  } else {
    twins.first_bytes_.set(Byte(term, 0));
  }
  return twins;
}

std::vector<std::string> TermTwins::SpellingsOfPlace(std::size_t index) const {
  std::vector<std::string> spellings;
  for (const DoubleByteCode code : Cp932Twins::Get().CodesOf(places_[index].group)) {
    spellings.push_back({static_cast<char>(code >> 8), static_cast<char>(code & 0xff)});
  }
  return spellings;
}

bool TermTwins::IsFixed(std::size_t offset) const {
  for (const Place& place : places_) {
    if (offset == place.offset || offset == place.offset + 1) return false;
  }
  return true;
}

bool TermTwins::SpellingAt(const char* p, std::string_view term) const {
  const Cp932Twins& table = Cp932Twins::Get();
  std::size_t at = 0;
  for (const Place& place : places_) {
    if (std::memcmp(p + at, term.data() + at, place.offset - at) != 0) return false;
    const auto lead = static_cast<unsigned char>(p[place.offset]);
    const auto trail = static_cast<unsigned char>(p[place.offset + 1]);
    if (table.GroupOf(lead, trail) != place.group) return false;
    at = place.offset + 2;
  }
  return std::memcmp(p + at, term.data() + at, term.size() - at) == 0;
}

std::optional<std::size_t> TermTwins::FindOnBoundary(std::string_view text,
                                                     std::string_view term) const {
  if (term.size() > text.size()) return std::nullopt;
  // As in CharBoundaryFind: `known` is a boundary no later than the next hit, so the runs of lead
  // bytes looked back over never overlap.
  std::size_t known = 0;
  for (std::size_t q = 0; q + term.size() <= text.size(); ++q) {
    if (!first_bytes_.test(Byte(text, q)) || !SpellingAt(text.data() + q, term)) continue;
    if (IsCharBoundary(text, q, known)) return q;
    known = q + 1;  // the hit sat on a trail byte, so the next character starts after it
  }
  return std::nullopt;
}

}  // namespace tolvane
