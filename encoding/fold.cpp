#include "encoding/fold.h"

#include <algorithm>
#include <array>
#include <iterator>
#include <string_view>
#include <unordered_map>

#include "encoding/kanji_variants.h"
#include "encoding/text_encoding.h"

namespace tolvane {
namespace {

constexpr char32_t kMiddleDot = 0x30fb;  // ・
constexpr char32_t kHalfWidthMiddleDot = 0xff65;

// Full-width ASCII (！ to ～) lies this far above ASCII.
constexpr char32_t kFullWidthFirst = 0xff01;
constexpr char32_t kFullWidthLast = 0xff5e;
constexpr char32_t kFullWidthOffset = 0xfee0;

// Hiragana lie this far below their katakana; ゝ and ゞ below ヽ and ヾ.
constexpr char32_t kHiraganaFirst = 0x3041;
constexpr char32_t kHiraganaLast = 0x3096;
constexpr char32_t kHiraganaIterationFirst = 0x309d;
constexpr char32_t kHiraganaIterationLast = 0x309e;
constexpr char32_t kKatakanaOffset = 0x60;

// The half-width forms ｡ (U+FF61) to ﾟ (U+FF9F) as full-width characters; the marks ﾞ and ﾟ alone
// as the spacing marks ゛ and ゜.
constexpr char32_t kHalfWidthFirst = 0xff61;
constexpr std::u32string_view kFullWidthOfHalfWidth =
    U"。「」、・ヲァィゥェォャュョッーアイウエオカキクケコサシスセソタチツテトナニヌネノ"
    U"ハヒフヘホマミムメモヤユヨラリルレロワン゛゜";

constexpr char32_t kHalfWidthVoicedMark = 0xff9e;      // ﾞ
constexpr char32_t kHalfWidthSemiVoicedMark = 0xff9f;  // ﾟ
constexpr char32_t kCombiningVoicedMark = 0x3099;
constexpr char32_t kCombiningSemiVoicedMark = 0x309a;
// The half-width kana that a mark may follow: ｦ to ﾝ.
constexpr char32_t kHalfWidthKanaFirst = 0xff66;
constexpr char32_t kHalfWidthKanaLast = 0xff9d;

// The dashes taken for the long-vowel mark, in their CP932 forms (－ stands for − too). － is also
// the full-width hyphen-minus, so the ASCII hyphen is of the class: ＩＳＢＮ４－３０８ is
// ISBN4-308.
constexpr std::array<char32_t, 7> kDashes = {
    0x30fc,  // ー
    0xff70,  // ｰ
    0x2015,  // ― (CP932's and EUC-JP's form of the horizontal bar)
    0x2014,  // — (the em dash other converters give it)
    0x2010,  // ‐
    0xff0d,  // － (and −, whose CP932 form it is)
    0x002d,  // -
};

// The full-width signs past ～ and the Latin-1 forms they stand for; ￠ ￡ ￢ are CP932's own forms
// of ¢ £ ¬ and come folded already.
constexpr std::pair<char32_t, char32_t> kFullWidthSigns[] = {
    {0x00a5, 0xffe5},  // ¥ ￥
    {0x00a6, 0xffe4},  // ¦ ￤
    {0x00af, 0xffe3},  // ¯ ￣
    {0x20a9, 0xffe6},  // ₩ ￦
};

// The CJK compatibility ideographs (神 U+FA19 ...) and the unified ideograph each stands for.
constexpr std::pair<char32_t, char32_t> kCompatibilityIdeographs[] = {
#include "encoding/compat_ideographs.inc"
};

bool IsKanji(char32_t c) { return c >= 0x3400; }

// The Latin letters with diacritics, U+00C0 to U+017F, as their base letters; '.' where a letter
// has none (Æ ß Œ Ĳ ...), which stays itself.
constexpr char32_t kLatinFirst = 0x00c0;
constexpr std::string_view kLatinBases =
    "aaaaaa.ceeeeiiii"
    "dnooooo.ouuuuy.."
    "aaaaaa.ceeeeiiii"
    "dnooooo.ouuuuy.y"
    "aaaaaaccccccccdd"
    "ddeeeeeeeeeegggg"
    "gggghhhhiiiiiiii"
    "ii..jjkk.lllllll"
    "lllnnnnnn...oooo"
    "oo..rrrrrrssssss"
    "ssttttttuuuuuuuu"
    "uuuuwwyyyzzzzzz.";

// Kana that old books and house styles write for others of the same sound: ヶ ヵ (signs for 箇),
// ヰ ヱ (historical kana) and ヴ, a loanword's B.
constexpr std::pair<char32_t, char32_t> kKanaSpelledAsOthers[] = {
    {0x30f5, 0x30ab},  // ヵ カ
    {0x30f6, 0x30b1},  // ヶ ケ
    {0x30f0, 0x30a4},  // ヰ イ
    {0x30f1, 0x30a8},  // ヱ エ
    {0x30f4, 0x30d6},  // ヴ ブ
};
constexpr char32_t kVerticalIterationMark = 0x303b;  // 〻, written for 々

char32_t UnifiedIdeograph(char32_t c) {
  if (!((c >= 0xf900 && c <= 0xfaff) || (c >= 0x2f800 && c <= 0x2fa1f))) return c;
  const auto* const end = std::end(kCompatibilityIdeographs);
  const auto* found =
      std::lower_bound(std::begin(kCompatibilityIdeographs), end, c,
                       [](const auto& entry, char32_t key) { return entry.first < key; });
  return found != end && found->first == c ? found->second : c;
}

char32_t LooseForm(char32_t c) {
  // Most of the plane: CJK ideographs and Hangul, which only the kanji groups fold.
  if (c >= 0x3400 && c < 0xf900) return KanjiVariants::Installed().Representative(c);
  if (c == kVerticalIterationMark) return kKanjiIterationMark;
  if (c >= kLatinFirst && c < kLatinFirst + kLatinBases.size() &&
      kLatinBases[c - kLatinFirst] != '.') {
    return static_cast<char32_t>(kLatinBases[c - kLatinFirst]);
  }
  c = Cp932FormOf(c).value_or(c);
  for (const auto& [narrow, wide] : kFullWidthSigns) {
    if (c == narrow) return wide;
  }
  for (const char32_t dash : kDashes) {
    if (c == dash) return kLongVowelMark;
  }
  if (c == kHalfWidthMiddleDot) return kMiddleDot;
  if (c >= kFullWidthFirst && c <= kFullWidthLast) {
    c -= kFullWidthOffset;
  } else if (c >= kHalfWidthFirst && c < kHalfWidthFirst + kFullWidthOfHalfWidth.size()) {
    c = kFullWidthOfHalfWidth[c - kHalfWidthFirst];
  } else if ((c >= kHiraganaFirst && c <= kHiraganaLast) ||
             (c >= kHiraganaIterationFirst && c <= kHiraganaIterationLast)) {
    c += kKatakanaOffset;
  }
  for (const auto& [written, meant] : kKanaSpelledAsOthers) {
    if (c == written) return meant;
  }
  if (c >= 'A' && c <= 'Z') return c + ('a' - 'A');
  if (!IsKanji(c)) return c;
  return KanjiVariants::Installed().Representative(UnifiedIdeograph(c));
}

// The katakana a voiced mark turns into another: カ to ト (but ッ), ハ to ホ, ウ, ワ to ヲ, ヽ.
// Each voiced form is the next code point, but ヴ and ヷ to ヺ and ヾ.
std::optional<char32_t> Voiced(char32_t k) {
  if ((k >= 0x30ab && k <= 0x30c2 && (k - 0x30ab) % 2 == 0) || k == 0x30c4 || k == 0x30c6 ||
      k == 0x30c8 || (k >= 0x30cf && k <= 0x30db && (k - 0x30cf) % 3 == 0) || k == 0x30fd) {
    return k + 1;
  }
  if (k == 0x30a6) return 0x30f4;                // ウ ヴ
  if (k >= 0x30ef && k <= 0x30f2) return k + 8;  // ワ ヰ ヱ ヲ: ヷ ヸ ヹ ヺ
  return std::nullopt;
}

std::optional<char32_t> SemiVoiced(char32_t k) {
  if (k >= 0x30cf && k <= 0x30db && (k - 0x30cf) % 3 == 0) return k + 2;  // ハ to ホ: パ to ポ
  return std::nullopt;
}

constexpr char32_t kBasicPlaneSize = 0x10000;

struct LooseTables {
  // The loose form of each code point of the basic plane, where nearly every character is.
  std::vector<char32_t> basic_plane;
  // Every code point, and every kana with a mark, by the loose form it folds to when that is
  // another.
  std::unordered_map<char32_t, std::vector<std::u32string>> classes;
};

// Built once, at the first loose search.
const LooseTables& Loose() {
  static const LooseTables* const tables = [] {
    auto* built = new LooseTables;
    built->basic_plane.resize(kBasicPlaneSize);
    const auto add = [&](std::u32string spelling, char32_t folded) {
      built->classes[folded].push_back(std::move(spelling));
    };
    for (char32_t c = 0; c < kBasicPlaneSize; ++c) {
      const char32_t folded = LooseForm(c);
      built->basic_plane[c] = folded;
      if (c >= 0xd800 && c <= 0xdfff) continue;
      if (folded != c) add(std::u32string(1, c), folded);
    }
    for (const auto& [compatibility, unified] : kCompatibilityIdeographs) {
      if (compatibility >= 0x10000) add(std::u32string(1, compatibility), LooseForm(compatibility));
    }
    for (const auto& [c, representative] : KanjiVariants::Installed().Members()) {
      if (c >= 0x10000 && c != representative) add(std::u32string(1, c), representative);
    }
    for (char32_t kana = 0x3041; kana <= 0xff9d; ++kana) {
      for (const char32_t mark : kJoiningMarks) {
        if (const std::optional<char32_t> composed = ComposeKana(kana, mark))
          add({kana, mark}, *composed);
      }
      if (kana == 0x30ff)
        kana = kHalfWidthKanaFirst - 1;  // past the katakana, on to the half-width
    }
    return built;
  }();
  return *tables;
}

}  // namespace

std::optional<char32_t> UnvoicedKana(char32_t k) {
  if (!IsFoldedKana(k)) return std::nullopt;
  // ヷ ヸ ヹ ヺ are ワ ヰ ヱ ヲ voiced, eight code points above them.
  if (k >= 0x30f7 && k <= 0x30fa) return LooseForm(k - 8);
  if (k > 0 && Voiced(k - 1) == k) return k - 1;
  if (k > 1 && SemiVoiced(k - 2) == k) return k - 2;
  return k;
}

std::optional<char32_t> VoicedKana(char32_t k) {
  // ウ voiced is ヴ, which the loose search reads as ブ.
  const std::optional<char32_t> voiced = Voiced(k);
  return voiced == kVu ? std::optional<char32_t>(kBu) : voiced;
}

bool IsFoldedKana(char32_t c) { return c >= 0x30a1 && c <= 0x30fa; }

bool IsSmallKana(char32_t c) {
  switch (c) {
    case 0x30a1:
    case 0x30a3:
    case 0x30a5:
    case 0x30a7:
    case 0x30a9:  // ァ ィ ゥ ェ ォ
    case 0x30c3:
    case 0x30e3:
    case 0x30e5:
    case 0x30e7:
    case 0x30ee:  // ッ ャ ュ ョ ヮ
      return true;
    default:
      return false;
  }
}

bool IsKanjiForIteration(char32_t c) {
  // The CJK ideographs, and the user-defined characters, which files use for kanji their code
  // lacks; not Hangul, the full-width signs (￥) or what is no character (U+FFFD).
  return (c >= 0x3400 && c <= 0x4dbf) || (c >= 0x4e00 && c <= 0x9fff) ||
         (c >= 0xe000 && c <= 0xfaff) || (c >= 0x20000 && c <= 0x3ffff);
}

char32_t FoldCharacter(char32_t c, Folding folding) {
  // CP932's forms stand for the pair: they are what the program's own queries convert to.
  if (folding == Folding::kLoose)
    return c < kBasicPlaneSize ? Loose().basic_plane[c] : LooseForm(c);
  return Cp932FormOf(c).value_or(c);
}

std::optional<char32_t> ComposeKana(char32_t kana, char32_t mark) {
  const bool half_width_mark = mark == kHalfWidthVoicedMark || mark == kHalfWidthSemiVoicedMark;
  const bool half_width_kana = kana >= kHalfWidthKanaFirst && kana <= kHalfWidthKanaLast;
  // ﾞ and ﾟ belong to half-width kana; a combining mark to any kana.
  if (half_width_mark && !half_width_kana) return std::nullopt;
  if (!half_width_mark && mark != kCombiningVoicedMark && mark != kCombiningSemiVoicedMark) {
    return std::nullopt;
  }
  const bool kana_of_any_width =
      half_width_kana || (kana >= kHiraganaFirst && kana <= kHiraganaLast) ||
      kana == kHiraganaIterationFirst || (kana >= 0x30a1 && kana <= 0x30fa) || kana == 0x30fd;
  if (!kana_of_any_width) return std::nullopt;
  const char32_t katakana = LooseForm(kana);
  const bool voiced = mark == kHalfWidthVoicedMark || mark == kCombiningVoicedMark;
  const std::optional<char32_t> composed = voiced ? Voiced(katakana) : SemiVoiced(katakana);
  // ウ with its mark is ヴ, which the loose search reads as ブ.
  return composed == kVu ? std::optional<char32_t>(kBu) : composed;
}

std::vector<std::u32string> FoldClass(char32_t folded, Folding folding) {
  std::vector<std::u32string> members{std::u32string(1, folded)};
  if (folding == Folding::kLoose) {
    const auto& classes = Loose().classes;
    if (const auto found = classes.find(folded); found != classes.end()) {
      members.insert(members.end(), found->second.begin(), found->second.end());
    }
    return members;
  }
  if (const std::optional<char32_t> jis = JisFormOf(folded)) members.emplace_back(1, *jis);
  return members;
}

}  // namespace tolvane
