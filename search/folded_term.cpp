#include "search/folded_term.h"

namespace tolvane {
namespace {

// Every one of `heads` followed by every one of `tails`.
std::vector<std::string> EachFollowedByEach(const std::vector<std::string>& heads,
                                            const std::vector<std::string>& tails) {
  std::vector<std::string> joined;
  joined.reserve(heads.size() * tails.size());
  for (const std::string& head : heads) {
    for (const std::string& tail : tails) joined.push_back(head + tail);
  }
  return joined;
}

}  // namespace

FoldedTerm::FoldedTerm(TextEncoding encoding, std::string_view term, Folding folding)
    : encoding_(encoding), folding_(folding), table_(&CodePointTable::Get(encoding)) {
  if (folding_ == Folding::kLoose) {
    for (const char32_t mark : kJoiningMarks) {
      for (std::string& spelling : table_->Spellings(mark)) {
        mark_bytes_.set(static_cast<unsigned char>(spelling.front()));
        mark_spellings_.push_back(std::move(spelling));
      }
    }
  }
  for (std::size_t at = 0; at < term.size();) {
    std::size_t end = at;
    folded_.push_back(DecodeFolded(term, at, end));
    undecodable_.emplace_back(folded_.back() == kReplacementCodePoint ? term.substr(at, end - at) : "");
    at = end;
  }
  for (std::size_t k = 0; k < folded_.size(); ++k) {
    std::vector<std::string>& spellings = spellings_.emplace_back();
    if (!undecodable_[k].empty()) {
      spellings.push_back(undecodable_[k]);
      continue;
    }
    for (const std::u32string& member : FoldClass(folded_[k], folding_)) {
      // A member of two code points (a kana and its mark) is each of their spellings in a row.
      std::vector<std::string> written{std::string()};
      for (const char32_t c : member) written = EachFollowedByEach(written, table_->Spellings(c));
      spellings.insert(spellings.end(), written.begin(), written.end());
    }
  }
  for (const std::string& spelling : spellings_.front()) {
    first_bytes_.set(static_cast<unsigned char>(spelling.front()));
  }
}

std::vector<std::string> FoldedTerm::SpellingsOf(std::size_t first, std::size_t count,
                                                 std::size_t most) const {
  std::vector<std::string> written{std::string()};
  for (std::size_t character = first; character < first + count && !written.empty(); ++character) {
    written = FollowedBySpellingsOf(written, character, most);
  }
  return written;
}

std::vector<std::string> FoldedTerm::FollowedBySpellingsOf(const std::vector<std::string>& written,
                                                           std::size_t character, std::size_t most) const {
  const std::vector<std::string>& tails = spellings_[character];
  if (tails.empty() || written.size() * tails.size() > most) return {};
  return EachFollowedByEach(written, tails);
}

char32_t FoldedTerm::DecodeFolded(std::string_view text, std::size_t pos, std::size_t& end) const {
  const char32_t c = table_->Decode(text, pos, end);
  if (end < text.size() && mark_bytes_.test(static_cast<unsigned char>(text[end]))) {
    std::size_t mark_end = end;
    const char32_t mark = table_->Decode(text, end, mark_end);
    if (const std::optional<char32_t> composed = ComposeKana(c, mark)) {
      end = mark_end;
      return *composed;
    }
  }
  return FoldCharacter(c, folding_);
}

std::optional<std::size_t> FoldedTerm::MatchEnd(std::string_view record, std::size_t pos) const {
  for (std::size_t k = 0; k < folded_.size(); ++k) {
    if (pos >= record.size()) return std::nullopt;
    std::size_t end = pos;
    if (DecodeFolded(record, pos, end) != folded_[k]) return std::nullopt;
    if (!undecodable_[k].empty() && record.substr(pos, end - pos) != undecodable_[k]) return std::nullopt;
    pos = end;
  }
  return pos;
}

bool FoldedTerm::StandsAt(std::string_view record, std::size_t at) const {
  if (at >= record.size() || !IsCharBoundary(encoding_, record, at)) return false;
  // A mark here may belong to the kana before it, which only a walk from the start can tell: the
  // caller then searches the record.
  for (const std::string& mark : mark_spellings_) {
    if (record.substr(at).starts_with(mark)) return false;
  }
  return MatchEnd(record, at).has_value();
}

std::optional<FoldedTerm::Match> FoldedTerm::Find(std::string_view record, std::size_t from) const {
  for (std::size_t at = from; at < record.size();) {
    if (first_bytes_.test(static_cast<unsigned char>(record[at]))) {
      if (const std::optional<std::size_t> end = MatchEnd(record, at)) return Match{at, *end};
    }
    at = NextPlace(record, at);
  }
  return std::nullopt;
}

std::size_t FoldedTerm::NextPlace(std::string_view record, std::size_t at) const {
  std::size_t next = NextCharEnd(encoding_, record, at);
  // A kana's mark is part of it: no match starts there.
  if (next < record.size() && mark_bytes_.test(static_cast<unsigned char>(record[next]))) {
    DecodeFolded(record, at, next);
  }
  return next;
}

}  // namespace tolvane
