#include "search/folded_term.h"

namespace tolvane {

FoldedTerm::FoldedTerm(TextEncoding encoding, std::string_view term, Folding folding)
    : encoding_(encoding), folding_(folding), table_(&CodePointTable::Get(encoding)) {
  for (std::size_t at = 0; at < term.size();) {
    std::size_t end = at;
    folded_.push_back(FoldCharacter(table_->Decode(term, at, end), folding_));
    at = end;
  }
  for (const std::string& spelling : SpellingsOf(0)) {
    first_bytes_.set(static_cast<unsigned char>(spelling.front()));
  }
}

std::vector<std::string> FoldedTerm::SpellingsOf(std::size_t character) const {
  std::vector<std::string> spellings;
  for (const char32_t member : FoldClass(folded_[character], folding_)) {
    for (std::string& spelling : table_->Spellings(member)) spellings.push_back(std::move(spelling));
  }
  return spellings;
}

bool FoldedTerm::MatchesAt(std::string_view record, std::size_t pos) const {
  for (const char32_t want : folded_) {
    if (pos >= record.size()) return false;
    std::size_t end = pos;
    if (FoldCharacter(table_->Decode(record, pos, end), folding_) != want) return false;
    pos = end;
  }
  return true;
}

std::optional<std::size_t> FoldedTerm::FindOnBoundary(std::string_view record) const {
  for (std::size_t at = 0; at < record.size(); at = NextCharEnd(encoding_, record, at)) {
    if (first_bytes_.test(static_cast<unsigned char>(record[at])) && MatchesAt(record, at)) return at;
  }
  return std::nullopt;
}

}  // namespace tolvane
