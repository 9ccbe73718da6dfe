#pragma once
// A model of the loose search for the tests to check the engine against, written apart from its
// matcher: each character is folded (the kana and Latin letters written for others by this file's
// own tables, the rest by the library's one-for-one fold), read with its neighbours (ヴァ as バ, an
// iteration mark as what it repeats, a loanword's final long-vowel mark), and a term is found where
// it and the record agree unit for unit, either side's final long-vowel mark left out where the
// other's run of katakana ends there too. Matching is by search over every way of aligning them.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "encoding/fold.h"

namespace tolvane::testing {

// One character of a text: its code point (U+FFFD for bytes that are none of the encoding's) and
// its bytes, which an undecodable character is compared by.
struct ModelChar {
  char32_t c = 0;
  std::string bytes;
};

// One character as the loose search reads it with its neighbours.
struct ModelUnit {
  char32_t folded = 0;
  char32_t mark = 0;        // 々 ヽ ヾ as written (ゝ ゞ 〻 as these), when the unit is one
  bool mark_alone = false;  // such a mark with nothing before it to repeat: it stands for itself
  bool vu = false;          // a ヴ that took no small vowel
  char32_t tail = 0;        // the small vowel a ヴ took (ヴァ as バ)
  bool optional = false;    // a long-vowel mark ending a run of katakana three long or more
  std::string bytes;
};

namespace loose_model {

inline constexpr char32_t kUndecodable = 0xfffd;
inline constexpr char32_t kChoon = U'ー';
inline constexpr char32_t kKanjiMark = U'々';
inline constexpr char32_t kKanaMark = U'ヽ';
inline constexpr char32_t kVoicedKanaMark = U'ヾ';
inline constexpr std::size_t kRunBeforeOptionalChoon = 3;

// Characters written for others: ヶ ヵ for ケ カ, the historical ゐ ゑ, the hiragana iteration
// marks as the katakana ones, 〻 as 々, and ヴ read as the B it spells.
inline constexpr std::pair<char32_t, char32_t> kWrittenForOthers[] = {
    {U'ヶ', U'ケ'}, {U'ゖ', U'ケ'}, {U'ヵ', U'カ'}, {U'ゕ', U'カ'}, {U'ゐ', U'イ'},
    {U'ヰ', U'イ'}, {U'ゑ', U'エ'}, {U'ヱ', U'エ'}, {U'〻', U'々'}, {U'ゝ', U'ヽ'},
    {U'ゞ', U'ヾ'}, {U'ヴ', U'ブ'}, {U'ゔ', U'ブ'},
};

// Latin letters with diacritics (and the barred ones) by their base letter.
inline constexpr std::pair<std::u32string_view, char32_t> kLatinBases[] = {
    {U"ÀÁÂÃÄÅàáâãäåĀāĂăĄą", U'a'},
    {U"ÇçĆćĈĉĊċČč", U'c'},
    {U"ÐðĎďĐđ", U'd'},
    {U"ÈÉÊËèéêëĒēĔĕĖėĘęĚě", U'e'},
    {U"ĜĝĞğĠġĢģ", U'g'},
    {U"ĤĥĦħ", U'h'},
    {U"ÌÍÎÏìíîïĨĩĪīĬĭĮįİı", U'i'},
    {U"Ĵĵ", U'j'},
    {U"Ķķ", U'k'},
    {U"ĹĺĻļĽľĿŀŁł", U'l'},
    {U"ÑñŃńŅņŇň", U'n'},
    {U"ÒÓÔÕÖØòóôõöøŌōŎŏŐő", U'o'},
    {U"ŔŕŖŗŘř", U'r'},
    {U"ŚśŜŝŞşŠš", U's'},
    {U"ŢţŤťŦŧ", U't'},
    {U"ÙÚÛÜùúûüŨũŪūŬŭŮůŰűŲų", U'u'},
    {U"Ŵŵ", U'w'},
    {U"ÝýÿŶŷŸ", U'y'},
    {U"ŹźŻżŽž", U'z'},
};

// Each unvoiced katakana above its voiced or semi-voiced form, as the loose search folds them;
// ヸ ヹ unvoiced are ヰ ヱ, which it reads as イ エ. ウ voiced is ヴ, read as ブ (VoicedOf).
inline constexpr std::u32string_view kUnvoiced =
    U"カキクケコサシスセソタチツテトハヒフヘホワヲハヒフヘホイエ";
inline constexpr std::u32string_view kVoiced =
    U"ガギグゲゴザジズゼゾダヂヅデドバビブベボヷヺパピプペポヸヹ";
// Only the first 22 take a voicing mark: then come ハ to ホ again, semi-voiced, and ヰ ヱ.
inline constexpr std::size_t kVoicedByMark = 22;

// ヴ and the small vowel after it.
inline constexpr std::pair<char32_t, char32_t> kVuAndVowel[] = {
    {U'ァ', U'バ'}, {U'ィ', U'ビ'}, {U'ェ', U'ベ'}, {U'ォ', U'ボ'}};

// What 々 repeats: CJK ideographs, and user-defined characters, which stand for kanji a code lacks.
inline bool IsKanji(char32_t c) {
  return (c >= 0x3400 && c <= 0x4dbf) || (c >= 0x4e00 && c <= 0x9fff) ||
         (c >= 0xe000 && c <= 0xfaff) || (c >= 0x20000 && c <= 0x3ffff);
}
inline bool IsKatakana(char32_t c) { return c >= U'ァ' && c <= U'ヺ'; }
inline bool IsSmall(char32_t c) {
  return std::u32string_view(U"ァィゥェォッャュョヮ").find(c) != std::u32string_view::npos;
}
inline bool InRun(char32_t c) {
  return IsKatakana(c) || c == kChoon || c == kKanaMark || c == kVoicedKanaMark;
}

inline std::optional<char32_t> UnvoicedOf(char32_t k) {
  if (!IsKatakana(k)) return std::nullopt;
  const std::size_t at = kVoiced.find(k);
  return at == std::u32string_view::npos ? k : kUnvoiced[at];
}
inline std::optional<char32_t> VoicedOf(char32_t k) {
  if (k == U'ウ') return U'ブ';
  const std::size_t at = kUnvoiced.substr(0, kVoicedByMark).find(k);
  return at == std::u32string_view::npos ? std::nullopt : std::optional<char32_t>(kVoiced[at]);
}

// One character folded, without its neighbours.
inline char32_t Fold(char32_t c) {
  if (c == kUndecodable) return c;
  for (const auto& [written, meant] : kWrittenForOthers) {
    if (c == written) c = meant;
  }
  for (const auto& [letters, base] : kLatinBases) {
    if (letters.find(c) != std::u32string_view::npos) c = base;
  }
  return FoldCharacter(c, Folding::kLoose);
}

inline bool IsVoicingMark(char32_t c) { return c == U'ﾞ' || c == 0x3099; }
inline bool IsU(char32_t c) { return c == U'ウ' || c == U'う' || c == U'ｳ'; }

}  // namespace loose_model

// `text`'s characters as the loose search reads them.
inline std::vector<ModelUnit> LooseModelUnits(const std::vector<ModelChar>& text) {
  using namespace loose_model;
  // Each character folded, a kana joined with the voicing mark after it; whether it is a ヴ.
  struct Folded {
    char32_t c;
    bool vu;
    std::string bytes;
  };
  std::vector<Folded> chars;
  for (std::size_t k = 0; k < text.size(); ++k) {
    const char32_t c = text[k].c;
    if (k + 1 < text.size()) {
      if (const std::optional<char32_t> joined = ComposeKana(c, text[k + 1].c)) {
        chars.push_back(
            {*joined, IsU(c) && IsVoicingMark(text[k + 1].c), text[k].bytes + text[k + 1].bytes});
        ++k;
        continue;
      }
    }
    chars.push_back({Fold(c), c == U'ヴ' || c == U'ゔ', text[k].bytes});
  }
  std::vector<ModelUnit> units;
  std::size_t run = 0;
  for (std::size_t k = 0; k < chars.size(); ++k) {
    ModelUnit u;
    u.folded = chars[k].c;
    u.bytes = chars[k].bytes;
    const char32_t next = k + 1 < chars.size() ? chars[k + 1].c : 0;
    const char32_t before = units.empty() ? 0 : units.back().folded;  // 0: nothing before
    if (chars[k].vu) {
      u.vu = true;
      for (const auto& [vowel, joined] : kVuAndVowel) {
        if (next != vowel) continue;
        u = {.folded = joined, .tail = vowel, .bytes = u.bytes + chars[k + 1].bytes};
        ++k;
        break;
      }
    } else if (u.folded == kKanjiMark) {
      u.mark = kKanjiMark;
      u.mark_alone = !IsKanji(before);
      if (!u.mark_alone) u.folded = before;
    } else if (u.folded == kKanaMark || u.folded == kVoicedKanaMark) {
      u.mark = u.folded;
      const std::optional<char32_t> base = UnvoicedOf(before);
      const std::optional<char32_t> repeated = !base                 ? std::nullopt
                                               : u.mark == kKanaMark ? base
                                                                     : VoicedOf(*base);
      u.mark_alone = !repeated;
      if (repeated) u.folded = *repeated;
    } else if (u.folded == kChoon && run >= kRunBeforeOptionalChoon) {
      u.optional = !InRun(next);
    }
    if (!InRun(u.folded)) {
      run = 0;
    } else if (!IsSmall(u.folded)) {
      ++run;
    }
    units.push_back(std::move(u));
  }
  return units;
}

namespace loose_model {

// Term unit `t` stands for record unit `r`; `first` and `last` tell where `t` is in its term.
inline bool Same(const ModelUnit& t, const ModelUnit& r, bool first, bool last) {
  if (t.mark_alone) return r.mark == t.mark;
  // What the exact search finds in ヴァ: a term ending in ヴ, or one starting with the vowel.
  if (r.tail != 0 && ((last && t.vu) || (first && t.folded == r.tail))) return true;
  return t.folded == r.folded && (t.folded != kUndecodable || t.bytes == r.bytes);
}

// The term from unit k on stands in the record from unit j on.
inline bool StandsFrom(const std::vector<ModelUnit>& term, const std::vector<ModelUnit>& record,
                       std::size_t k, std::size_t j) {
  if (k == term.size()) return true;
  const ModelUnit& t = term[k];
  const bool record_left = j < record.size();
  if (record_left && Same(t, record[j], k == 0, k + 1 == term.size()) &&
      StandsFrom(term, record, k + 1, j + 1)) {
    return true;
  }
  // The term's final mark left out where the record's run ends too; and the other way round.
  if (t.optional && (!record_left || !InRun(record[j].folded)) &&
      StandsFrom(term, record, k + 1, j))
    return true;
  return k > 0 && record_left && record[j].optional && !InRun(t.folded) &&
         StandsFrom(term, record, k, j + 1);
}

}  // namespace loose_model

// True when the loose search finds `term` in `record`, both as their characters.
inline bool LooseModelHolds(const std::vector<ModelChar>& record,
                            const std::vector<ModelChar>& term) {
  const std::vector<ModelUnit> have = LooseModelUnits(record);
  const std::vector<ModelUnit> want = LooseModelUnits(term);
  if (want.empty()) return true;
  for (std::size_t j = 0; j < have.size(); ++j) {
    if (loose_model::StandsFrom(want, have, 0, j)) return true;
  }
  return false;
}

}  // namespace tolvane::testing
