#pragma once
// A term matched one character at a time: each character of the record is decoded and folded
// (encoding/fold.h), and the record holds the term where its characters, so folded, are the
// term's. For the characters a search takes for one whatever their bytes, in any encoding.
//
// Under the loose folding a kana and the voiced mark after it (ｶﾞ) are one character of the record
// and of the term: a match neither starts nor ends between them. Bytes that are no character of the
// encoding match only themselves, never other such bytes.
//
// The loose folding also reads characters with their neighbours, in the record and the term alike:
// - ヴァ ヴィ ヴェ ヴォ are one character, バ ビ ベ ボ; a term ending in ヴ still finds ヴァ, and
// one
//   starting with ァ still finds it after ヴ, as the exact search would.
// - 々 stands for the kanji before it, ヽ for the kana before it unvoiced and ヾ voiced; with no
//   such character before it (at the term's start) a mark stands for itself.
// - A long-vowel mark ending a run of katakana with at least three characters before it (small
//   kana not counted) may be passed over: コンピューター finds コンピュータ and the other way
//   round, but only where the other's run ends there too (サーバー does not find サーバント).
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
  // Every place the term stands in `record`, walked from `from`, in order (places may overlap),
  // until `on_match` returns false.
  template <class OnMatch>
  void ForEachMatch(std::string_view record, OnMatch on_match, std::size_t from = 0) const {
    for (Reader reader{from}; reader.pos < record.size();) {
      const Reader here = reader;
      const Unit u = ReadUnit(record, reader);
      if (!first_bytes_.test(static_cast<unsigned char>(record[u.at])) &&
          !(u.tail != 0 && starts_with_small_vowel_)) {
        continue;
      }
      if (const std::optional<Match> match = MatchFrom(record, here); match && !on_match(*match))
        return;
    }
  }
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
  std::size_t CharacterCount() const { return units_.size(); }
  // False where the record may hold the characters k-1 and k apart (a final long-vowel mark between
  // them, or one of them a mark the record may lack): a filter's run of characters never spans it.
  // Character k must not be the first.
  bool JoinsPrevious(std::size_t k) const;
  // True when character k may be missing from the record (a final long-vowel mark).
  bool MayBeMissing(std::size_t k) const { return units_[k].optional; }
  // Every way the encoding writes the `count` characters from `first` one after the other: what a
  // filter looks for. Empty when that is more than `most` ways, or none.
  std::vector<std::string> SpellingsOf(std::size_t first, std::size_t count,
                                       std::size_t most) const;
  // Each of `written` followed by each spelling of the character `character`: a run one longer.
  // Empty as SpellingsOf.
  std::vector<std::string> FollowedBySpellingsOf(const std::vector<std::string>& written,
                                                 std::size_t character, std::size_t most) const;

 private:
  // One character as the search reads it, with what its neighbours make of it.
  struct Unit {
    std::size_t at = 0;
    std::size_t end = 0;
    char32_t folded = 0;
    char32_t mark = 0;        // the iteration mark (folded) the unit is written as, if it is one
    char32_t tail = 0;        // the small vowel a ヴ took in (ヴァ as バ), if any
    std::size_t tail_at = 0;  // where that vowel starts
    bool vu = false;          // a ヴ that took in no vowel
    bool optional = false;    // a final long-vowel mark that may be passed over
  };
  // Where a walk through a text stands, and what it knows of the characters before.
  struct Reader {
    std::size_t pos = 0;
    char32_t previous = 0;  // the folded unit before, or 0 when not known
    std::size_t run = 0;    // katakana of the current run before pos, small kana not counted
  };

  // The folded character at `pos` of `text`, and where it ends (after its mark, if it takes one);
  // `vu` tells whether it is a ヴ, however written.
  char32_t DecodeFolded(std::string_view text, std::size_t pos, std::size_t& end,
                        bool* vu = nullptr) const;
  // The unit at `reader.pos`, the reader moved past it.
  Unit ReadUnit(std::string_view text, Reader& reader) const;
  // Where the term's units match when read from `reader`, its first byte and the byte after its
  // last, else nothing.
  std::optional<Match> MatchFrom(std::string_view record, Reader reader) const;
  // True when term unit k stands for record unit `u`.
  bool Same(std::string_view record, std::size_t k, const Unit& u) const;

  TextEncoding encoding_;
  Folding folding_;
  const CodePointTable* table_;
  std::vector<Unit> units_;
  // The bytes of each character that is none of the encoding's (U+FFFD), which only the same bytes
  // match; empty for every other.
  std::vector<std::string> undecodable_;
  bool starts_with_small_vowel_ = false;
  std::vector<std::vector<std::string>> spellings_;  // of each character
  std::bitset<256> first_bytes_;  // the bytes a spelling of the first character starts with
  std::bitset<256> mark_bytes_;   // the bytes a voiced mark that may join a kana starts with
  std::vector<std::string> mark_spellings_;
};

}  // namespace tolvane
