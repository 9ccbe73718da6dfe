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
  // (カ is not ガ).
  kLoose,
};

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
