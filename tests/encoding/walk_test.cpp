// Each encoding's walk over its characters: where a character ends, whether a position is a
// boundary, where a term may be found, and where a piece of a long line may end.
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "encoding/sjis.h"
#include "encoding/text_encoding.h"

namespace tolvane {
namespace {

constexpr TextEncoding kUtf8 = TextEncoding::kUtf8;
constexpr TextEncoding kEucJp = TextEncoding::kEucJp;
constexpr TextEncoding kShiftJis = TextEncoding::kShiftJis;

// The character ends met walking `text` from its start.
std::vector<std::size_t> Walk(TextEncoding encoding, std::string_view text) {
  std::vector<std::size_t> ends;
  for (std::size_t at = 0; at < text.size();) ends.push_back(at = NextCharEnd(encoding, text, at));
  return ends;
}

// Every position that IsCharBoundary calls a boundary, the end included.
std::vector<std::size_t> Boundaries(TextEncoding encoding, std::string_view text) {
  std::vector<std::size_t> boundaries;
  for (std::size_t pos = 0; pos <= text.size(); ++pos) {
    if (IsCharBoundary(encoding, text, pos)) boundaries.push_back(pos);
  }
  return boundaries;
}

std::vector<std::size_t> WithStart(std::vector<std::size_t> ends) {
  ends.insert(ends.begin(), 0);
  return ends;
}

TEST(Utf8Walk, TakesEachValidCharacterWhole) {
  // a, é (C3 A9), あ (E3 81 82), 😀 (F0 9F 98 80)
  const std::string text = "a\xc3\xa9\xe3\x81\x82\xf0\x9f\x98\x80";
  EXPECT_EQ(Walk(kUtf8, text), (std::vector<std::size_t>{1, 3, 6, 10}));
  EXPECT_EQ(Boundaries(kUtf8, text), WithStart(Walk(kUtf8, text)));
}

TEST(Utf8Walk, AByteThatStartsNoValidCharacterIsOneOfItsOwn) {
  // Overlong forms, a surrogate, a code point past U+10FFFF, bytes that never appear in UTF-8.
  for (const std::string_view invalid :
       {"\xc0\x80", "\xc1\xbf", "\xe0\x80\x80", "\xed\xa0\x80", "\xf0\x80\x80\x80",
        "\xf4\x90\x80\x80", "\xf5\x80\x80\x80", "\xfe", "\xff"}) {
    EXPECT_EQ(NextCharEnd(kUtf8, invalid, 0), 1u) << testing::PrintToString(invalid);
  }
  // A character cut short by the text's end, or by a byte that continues nothing.
  EXPECT_EQ(NextCharEnd(kUtf8, "\xe3\x81", 0), 1u);
  EXPECT_EQ(NextCharEnd(kUtf8,
                        "\xe3\x81"
                        "a",
                        0),
            1u);
  EXPECT_EQ(NextCharEnd(kUtf8, "\xf0\x9f\x98", 0), 1u);
  // The edges of the valid ranges: U+0800, U+D7FF, U+E000, U+10000, U+10FFFF.
  for (const std::string_view valid :
       {"\xe0\xa0\x80", "\xed\x9f\xbf", "\xee\x80\x80", "\xf0\x90\x80\x80", "\xf4\x8f\xbf\xbf"}) {
    EXPECT_EQ(NextCharEnd(kUtf8, valid, 0), valid.size()) << testing::PrintToString(valid);
  }
}

TEST(Utf8Walk, StrayContinuationBytesAreBoundariesEach) {
  // A continuation byte with no lead before it, after ASCII, and after a cut-short character.
  const std::string text =
      "\x80\x81"
      "a\xbf\xe3\x81"
      "b";
  EXPECT_EQ(Walk(kUtf8, text), (std::vector<std::size_t>{1, 2, 3, 4, 5, 6, 7}));
  EXPECT_EQ(Boundaries(kUtf8, text), WithStart(Walk(kUtf8, text)));
  // More continuation bytes than any character takes: the ones past the character stand alone.
  const std::string long_run = "\xe3\x81\x82\x82\x82\x82\x82";
  EXPECT_EQ(Boundaries(kUtf8, long_run), WithStart(Walk(kUtf8, long_run)));
  EXPECT_EQ(Boundaries(kUtf8, long_run), (std::vector<std::size_t>{0, 3, 4, 5, 6, 7}));
}

TEST(Utf8Walk, FindsATermOnlyWhereACharacterStarts) {
  // The last two bytes of あ (E3 81 82) are a stray pair elsewhere.
  EXPECT_EQ(CharBoundaryFind(kUtf8, "\xe3\x81\x82", "\x81\x82"), std::nullopt);
  EXPECT_EQ(CharBoundaryFind(kUtf8,
                             "\xe3\x81\x82"
                             "a\x81\x82",
                             "\x81\x82"),
            4u);
  EXPECT_EQ(CharBoundaryFind(kUtf8, "xx\xe3\x81\x82", "\xe3\x81\x82"), 2u);
  EXPECT_EQ(CharBoundaryFind(kUtf8, "xx", "\xe3\x81\x82"), std::nullopt);
}

TEST(EucJpWalk, TakesTwoByteThreeByteAndHalfWidthKanaCharacters) {
  // 亜 (B0 A1), ｱ by SS2 (8E B1), 仡 by SS3 from JIS X 0212 (8F B0 C8), A.
  const std::string text =
      "\xb0\xa1\x8e\xb1\x8f\xb0\xc8"
      "A";
  EXPECT_EQ(Walk(kEucJp, text), (std::vector<std::size_t>{2, 4, 7, 8}));
  EXPECT_EQ(Boundaries(kEucJp, text), WithStart(Walk(kEucJp, text)));
}

TEST(EucJpWalk, AByteThatStartsNoValidCharacterIsOneOfItsOwn) {
  EXPECT_EQ(NextCharEnd(kEucJp, "\x8e\xe0", 0), 1u);  // SS2 takes only A1-DF
  EXPECT_EQ(NextCharEnd(kEucJp,
                        "\x8e"
                        "A",
                        0),
            1u);
  EXPECT_EQ(NextCharEnd(kEucJp,
                        "\x8f\xb0"
                        "A",
                        0),
            1u);  // SS3 needs two bytes A1-FE
  EXPECT_EQ(NextCharEnd(kEucJp, "\x8f\xb0", 0), 1u);
  EXPECT_EQ(NextCharEnd(kEucJp,
                        "\xb0"
                        "A",
                        0),
            1u);
  EXPECT_EQ(NextCharEnd(kEucJp, "\xb0", 0), 1u);
  for (const std::string_view single : {"\x80\xa1", "\xa0\xa1", "\xff\xa1", "\x8d\xa1"}) {
    EXPECT_EQ(NextCharEnd(kEucJp, single, 0), 1u) << testing::PrintToString(single);
  }
  // A byte below 0x80 is never part of a character: the walk from any earlier point agrees.
  const std::string text =
      "\x8f\xb0"
      "A\xb0\xa1\x8e"
      "B";
  EXPECT_EQ(Boundaries(kEucJp, text), WithStart(Walk(kEucJp, text)));
}

TEST(EucJpWalk, ATermStraddlingTwoCharactersIsNotFound) {
  // 亜唖 is B0A1 B0A2: its middle bytes A1 B0 spell ＾, which it does not hold.
  EXPECT_EQ(CharBoundaryFind(kEucJp, "\xb0\xa1\xb0\xa2", "\xa1\xb0"), std::nullopt);
  EXPECT_EQ(CharBoundaryFind(kEucJp, "\xb0\xa1\xb0\xa2\xa1\xb0", "\xa1\xb0"), 4u);
  // The same inside SS2 and SS3 characters: ｱい is 8E B1 A4 A4, 仡 is 8F B0 C8.
  EXPECT_EQ(CharBoundaryFind(kEucJp, "\x8e\xb1\xa4\xa4", "\xb1\xa4"), std::nullopt);
  EXPECT_EQ(CharBoundaryFind(kEucJp, "\x8e\xb1\xa4\xa4", "\xa4\xa4"), 2u);
  EXPECT_EQ(CharBoundaryFind(kEucJp, "\x8f\xb0\xc8\xa4\xa2", "\xb0\xc8"), std::nullopt);
  EXPECT_EQ(CharBoundaryFind(kEucJp, "\x8f\xb0\xc8\xa4\xa2", "\xc8\xa4"), std::nullopt);
  EXPECT_EQ(CharBoundaryFind(kEucJp, "\x8f\xb0\xc8\xb0\xc8", "\xb0\xc8"), 3u);
  // A long run of two-byte characters, the term after an odd number of bytes each time.
  std::string run;
  for (int i = 0; i < 500; ++i) run += "\xb0\xa1";
  EXPECT_EQ(CharBoundaryFind(kEucJp, run, "\xa1\xb0"), std::nullopt);
  EXPECT_EQ(CharBoundaryFind(kEucJp, run + "\xa1\xb0", "\xa1\xb0"), run.size());
}

TEST(ShiftJisWalk, TheEncodingArgumentChangesNothing) {
  // ソ is 83 5C, whose trail byte is a backslash; 81 81 81 is ＝ and a lone lead byte.
  for (const std::string_view text :
       {std::string_view("\x83\x5c\\"), std::string_view("\x81\x81\x81"),
        std::string_view("a\x82\xa0\xb1\x82")}) {
    for (std::size_t pos = 0; pos <= text.size(); ++pos) {
      EXPECT_EQ(IsCharBoundary(kShiftJis, text, pos), IsCharBoundary(text, pos));
      if (pos < text.size()) {
        EXPECT_EQ(NextCharEnd(kShiftJis, text, pos), NextCharEnd(text, pos));
      }
    }
  }
  EXPECT_EQ(CharBoundaryFind(kShiftJis, "\x83\x5c", "\\"), std::nullopt);
  EXPECT_EQ(CharBoundaryFind(kShiftJis, "\x83\x5c\\", "\\"), 2u);
}

TEST(LastBoundaryAtMost, BacksOffToTheStartOfACharacterThatTheLimitCuts) {
  // UTF-8: the limit inside あ after a, inside 😀, and on a boundary.
  EXPECT_EQ(LastBoundaryAtMost(kUtf8,
                               "a\xe3\x81\x82"
                               "b",
                               2),
            1u);
  EXPECT_EQ(LastBoundaryAtMost(kUtf8,
                               "a\xe3\x81\x82"
                               "b",
                               3),
            1u);
  EXPECT_EQ(LastBoundaryAtMost(kUtf8,
                               "a\xe3\x81\x82"
                               "b",
                               4),
            4u);
  EXPECT_EQ(LastBoundaryAtMost(kUtf8,
                               "\xf0\x9f\x98\x80"
                               "b",
                               3),
            0u);
  // Stray continuation bytes are characters of their own: any position among them will do.
  EXPECT_EQ(LastBoundaryAtMost(kUtf8, "a\x80\x80\x80\x80\x80", 3), 3u);
  // EUC-JP: inside 亜, inside an SS3 character at both of its inner positions, after SS2 kana.
  EXPECT_EQ(LastBoundaryAtMost(kEucJp,
                               "a\xb0\xa1"
                               "b",
                               2),
            1u);
  EXPECT_EQ(LastBoundaryAtMost(kEucJp,
                               "\x8f\xb0\xc8"
                               "b",
                               1),
            0u);
  EXPECT_EQ(LastBoundaryAtMost(kEucJp,
                               "\x8f\xb0\xc8"
                               "b",
                               2),
            0u);
  EXPECT_EQ(LastBoundaryAtMost(kEucJp, "\x8e\xb1\x8e\xb1", 2), 2u);
  // Shift-JIS: a lead byte before the limit takes its trail byte into the next piece.
  EXPECT_EQ(LastBoundaryAtMost(kShiftJis, "a\x82\xa0", 2), 1u);
  EXPECT_EQ(LastBoundaryAtMost(kShiftJis, "\x81\x81\x81", 2), 2u);
}

TEST(LastBoundaryAtMost, EveryAnswerIsABoundaryNoMoreThanACharacterBack) {
  const std::vector<std::pair<TextEncoding, std::string>> texts = {
      {kUtf8,
       "a\xe3\x81\x82\xf0\x9f\x98\x80\x80\xc3\xa9\xe3\x81"
       "b\xe3\x81\x82"},
      {kEucJp,
       "a\xb0\xa1\x8e\xb1\x8f\xb0\xc8\x8f\xb0\xb0\xa1\x8e"
       "b\xb0\xa1"},
      {kShiftJis, "a\x82\xa0\xb1\x81\x81\x81\x83\x5c\x82"},
  };
  for (const auto& [encoding, text] : texts) {
    for (std::size_t limit = 0; limit < text.size(); ++limit) {
      const std::size_t at = LastBoundaryAtMost(encoding, text, limit);
      EXPECT_LE(at, limit);
      EXPECT_LT(limit - at, kMaxCharBytes);
      EXPECT_TRUE(IsCharBoundary(encoding, text, at))
          << DisplayName(encoding) << " limit " << limit;
      // No boundary between it and the limit was passed over.
      for (std::size_t between = at + 1; between <= limit; ++between) {
        EXPECT_FALSE(IsCharBoundary(encoding, text, between))
            << DisplayName(encoding) << " " << between;
      }
    }
  }
}

TEST(IsLineEnd, OnlyAShiftJisLeadByteTakesALineFeedAlong) {
  EXPECT_FALSE(IsLineEnd(kShiftJis, "a\x82\n", 2));
  EXPECT_TRUE(IsLineEnd(kShiftJis, "\x82\xa0\n", 2));
  EXPECT_TRUE(IsLineEnd(kUtf8, "a\xe3\n", 2));
  EXPECT_TRUE(IsLineEnd(kEucJp, "a\xb0\n", 2));
  EXPECT_TRUE(IsLineEnd(kEucJp, "a\x8f\n", 2));
}

}  // namespace
}  // namespace tolvane
