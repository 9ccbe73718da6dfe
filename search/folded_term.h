#pragma once
// A term matched one character at a time: each character of the record is decoded and folded
// (encoding/fold.h), and the record holds the term where its characters, so folded, are the
// term's. For the characters a search takes for one whatever their bytes, in any encoding.
//
// Under the loose folding a kana and the voiced mark after it (ｶﾞ) are one character of the record
// and of the term: a match neither starts nor ends between them. Bytes that are no character of the
// encoding match only themselves, never other such bytes.
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

  // Where the term stands in a record: its first byte and the byte after its last.
  struct Match {
    std::size_t at = 0;
    std::size_t end = 0;
  };
  // The first place at or after `from`, a character boundary of `record`, where the term stands;
  // every place looked at is a boundary of the record walked from `from`.
  std::optional<Match> Find(std::string_view record, std::size_t from = 0) const;
  // The place after `at` that Find looks at next: the next character, past a kana's mark.
  std::size_t NextPlace(std::string_view record, std::size_t at) const;
  // True when the term stands at `at`, a place a filter saw one of its spellings start: a character
  // boundary of `record` walked from its start. False, too, where a voiced mark stands at `at`,
  // which may be part of the kana before it: the caller then searches the whole record.
  bool StandsAt(std::string_view record, std::size_t at) const;
  std::optional<std::size_t> FindOnBoundary(std::string_view record) const {
    const std::optional<Match> match = Find(record);
    return match ? std::optional<std::size_t>(match->at) : std::nullopt;
  }

  // The term's characters, folded.
  std::size_t CharacterCount() const { return folded_.size(); }
  // Every way the encoding writes the `count` characters from `first` one after the other: what a
  // filter looks for. Empty when that is more than `most` ways, or none.
  std::vector<std::string> SpellingsOf(std::size_t first, std::size_t count, std::size_t most) const;
  // Each of `written` followed by each spelling of the character `character`: a run one longer.
  // Empty as SpellingsOf.
  std::vector<std::string> FollowedBySpellingsOf(const std::vector<std::string>& written,
                                                 std::size_t character, std::size_t most) const;

 private:
  // The folded character at `pos` of `text`, and where it ends (after its mark, if it takes one).
  char32_t DecodeFolded(std::string_view text, std::size_t pos, std::size_t& end) const;
  std::optional<std::size_t> MatchEnd(std::string_view record, std::size_t pos) const;

  TextEncoding encoding_;
  Folding folding_;
  const CodePointTable* table_;
  std::vector<char32_t> folded_;
  // The bytes of each character that is none of the encoding's (U+FFFD), which only the same bytes
  // match; empty for every other.
  std::vector<std::string> undecodable_;
  std::vector<std::vector<std::string>> spellings_;  // of each character
  std::bitset<256> first_bytes_;  // the bytes a spelling of the first character starts with
  std::bitset<256> mark_bytes_;   // the bytes a voiced mark that may join a kana starts with
  std::vector<std::string> mark_spellings_;
};

}  // namespace tolvane
