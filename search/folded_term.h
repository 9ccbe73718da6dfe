#pragma once
// A term matched one character at a time: each character of the record is decoded and folded
// (encoding/fold.h), and the record holds the term where its characters, so folded, are the
// term's. For the characters a search takes for one whatever their bytes, in any encoding.
#include <bitset>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "encoding/code_points.h"
#include "encoding/fold.h"
#include "encoding/text_encoding.h"

namespace tolvane {

class FoldedTerm {
 public:
  // `term` in `encoding`, not empty.
  FoldedTerm(TextEncoding encoding, std::string_view term, Folding folding);

  // Offset of the first place, on a character boundary of `record`, where the term stands.
  std::optional<std::size_t> FindOnBoundary(std::string_view record) const;
  // The term's characters, and every way the encoding writes each: what a filter looks for.
  std::size_t CharacterCount() const { return folded_.size(); }
  std::vector<std::string> SpellingsOf(std::size_t character) const;

 private:
  bool MatchesAt(std::string_view record, std::size_t pos) const;

  TextEncoding encoding_;
  Folding folding_;
  const CodePointTable* table_;
  std::vector<char32_t> folded_;
  std::bitset<256> first_bytes_;  // the bytes a spelling of the first character starts with
};

}  // namespace tolvane
