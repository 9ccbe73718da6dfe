#pragma once
// Characters that a search takes for one: each is folded to one code point of its class, and a
// class's members are known, so that a filter can look for every way of writing it.
#include <array>
#include <optional>
#include <string>
#include <vector>

namespace tolvane {

enum class Folding {
  // The exact search: only the two Unicode forms that converters give one Shift-JIS character
  // (the wave dash 〜 and ～ ...) are one; every other character stands for itself.
  kUnicodeForms,
  // The loose search, which finds the notational variants of Japanese as one: width (Ａ A, ｶ カ),
  // Latin case, hiragana and katakana (small kana stay small), the long-vowel mark, the dashes
  // and the hyphen (ー ｰ ― ‐ － − -), the middle dots (・ ･), old and new kanji forms (國 国,
  // encoding/kanji_variants.h) and compatibility ideographs. Voiced and unvoiced kana stay apart
  // (カ is not ガ). It also folds ヶ ヵ to ケ カ, ゐ ゑ ヰ ヱ to イ エ, ヴ to ブ, 〻 to 々 and the
  // Latin letters with diacritics to their base letters (É to e); what changes a term's length
  // (ヴァ as バ, 々 and ゝ as the character they repeat, a loanword's final ー) is the matcher's,
  // search/folded_term.h.
  kLoose,
};

// Folded characters the loose matcher reads with those around them.
inline constexpr char32_t kLongVowelMark = 0x30fc;        // ー, every dash's fold
inline constexpr char32_t kKanjiIterationMark = 0x3005;   // 々 (and 〻)
inline constexpr char32_t kKanaIterationMark = 0x30fd;    // ヽ (and ゝ)
inline constexpr char32_t kVoicedIterationMark = 0x30fe;  // ヾ (and ゞ)
inline constexpr char32_t kVu = 0x30f4;                   // ヴ
inline constexpr char32_t kBu = 0x30d6;                   // ブ, what ヴ folds to

// A folded katakana letter (ァ to ヺ, not ー or the marks).
bool IsFoldedKana(char32_t c);
// ァ ィ ゥ ェ ォ ッ ャ ュ ョ ヮ, folded.
bool IsSmallKana(char32_t c);
// A character 々 may repeat: a kanji (or a user-defined character).
bool IsKanjiForIteration(char32_t c);
// A folded kana without its voiced or semi-voiced mark (ガ to カ, パ to ハ; カ stays), or nothing
// for what is no kana.
std::optional<char32_t> UnvoicedKana(char32_t k);
// A folded unvoiced kana with its voiced mark, folded (カ to ガ, ウ to ブ), or nothing.
std::optional<char32_t> VoicedKana(char32_t k);

// The code point `c` stands for under `folding`.
char32_t FoldCharacter(char32_t c, Folding folding);

// Under the loose folding a kana followed by a voiced or semi-voiced mark is one character: a
// half-width kana with ﾞ or ﾟ (ｶﾞ as ガ), any kana with a combining mark (U+3099, U+309A), as
// decomposed text writes them. The folded character the two make, or nothing when they make none.
std::optional<char32_t> ComposeKana(char32_t kana, char32_t mark);
// The marks ComposeKana joins to the kana before them: ﾞ ﾟ and their combining forms.
inline constexpr std::array<char32_t, 4> kJoiningMarks = {0xff9e, 0xff9f, 0x3099, 0x309a};

// Every way of writing the folded character `folded` as code points, itself first: one code point
// each, or under the loose folding also a kana and its mark (ガ as ｶﾞ).
std::vector<std::u32string> FoldClass(char32_t folded, Folding folding);

}  // namespace tolvane
