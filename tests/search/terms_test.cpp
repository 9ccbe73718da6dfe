#include "search/terms.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tolvane {
namespace {

std::vector<std::string> Active(std::string_view query) {
  const TermTable table = SplitTerms(query);
  const auto active = table.Active();
  return {active.begin(), active.end()};
}

using Terms = std::vector<std::string>;

TEST(SplitTerms, SeparatesOnAsciiAndFullWidthBlanksAlike) {
  EXPECT_EQ(Active("a b"), (Terms{"a", "b"}));
  EXPECT_EQ(Active("a\x81\x40"
                   "b"),
            (Terms{"a", "b"}));
  EXPECT_EQ(Active("a\x81\x40 b"), (Terms{"a"}));  // two blanks: an empty term ends the list
}

TEST(SplitTerms, TrailingBlanksOfEitherKindMakeNoEmptyTerm) {
  EXPECT_EQ(Active("a b  \x81\x40 "), (Terms{"a", "b"}));
}

TEST(SplitTerms, BlanksOnlyOrALeadingBlankLeaveNoActiveTerm) {
  EXPECT_EQ(Active("   "), Terms{});
  EXPECT_EQ(Active("\x81\x40\x81\x40"), Terms{});
  EXPECT_EQ(Active(" a"), Terms{});
  EXPECT_EQ(SplitTerms(" a").terms[1], "a");  // stored, but after the empty term
}

TEST(SplitTerms, DoubleBlanksHideEverythingAfterThem) {
  const TermTable table = SplitTerms("a  b");
  EXPECT_EQ(table.terms[0], "a");
  EXPECT_EQ(table.terms[1], "");
  EXPECT_EQ(table.terms[2], "b");
  EXPECT_EQ(Active("a  b"), (Terms{"a"}));
}

TEST(SplitTerms, TabsAndOtherControlBytesBelongToTheTerm) {
  EXPECT_EQ(Active("a\tb c"), (Terms{"a\tb", "c"}));
}

TEST(SplitTerms, KeepsEveryTermAQueryHolds) {
  // 150 one-byte terms fill a 299-byte query; none is dropped.
  std::string query;
  for (int i = 0; i < 150; ++i) query += i ? " w" : "w";
  EXPECT_EQ(query.size(), 299u);
  EXPECT_EQ(SplitTerms(query).Active().size(), 150u);
}

TEST(MatchesAllTerms, ARecordLackingTheLastOfManyTermsDoesNotMatch) {
  // 61 single-kanji terms: 亜 0x889F ... a record holding the first 60 only is no match.
  std::string query;
  std::string record;
  for (int i = 0; i < 61; ++i) {
    const std::string kanji{'\x88', static_cast<char>(0x9f + i)};
    query += (i ? " " : "") + kanji;
    if (i < 60) record += kanji;
  }
  EXPECT_FALSE(MatchesAllTerms(record, SplitTerms(query)));
  record += std::string{'\x88', static_cast<char>(0x9f + 60)};
  EXPECT_TRUE(MatchesAllTerms(record, SplitTerms(query)));
}

TEST(SplitTerms, KeepsALongTermWhole) {
  const std::string long_term(250, 'x');
  EXPECT_EQ(Active(long_term + " y"), (Terms{long_term, "y"}));
}

TEST(MatchesAllTerms, NeedsEveryTermInAnyOrderAndAllowsOverlap) {
  const TermTable terms = SplitTerms("cd abc");
  EXPECT_TRUE(MatchesAllTerms("xabcdx", terms));
  EXPECT_FALSE(MatchesAllTerms("xabcx", terms));
  EXPECT_TRUE(MatchesAllTerms("anything", SplitTerms(" ")));
}

TEST(MatchesAllTerms, DoesNotFoldCaseOrWidth) {
  EXPECT_FALSE(MatchesAllTerms("ABC", SplitTerms("abc")));
  EXPECT_FALSE(MatchesAllTerms("\x82\x60", SplitTerms("A")));  // full-width "Ａ"
}

TEST(MatchesAllTerms, FindsATermOnlyWhereACharacterBegins) {
  // "ア" (0x83 0x41) holds "A" as its trail byte; "ソ" (0x83 0x5C) and "表" (0x95 0x5C) hold "\".
  EXPECT_FALSE(MatchesAllTerms("\x83\x41", SplitTerms("A")));
  EXPECT_FALSE(MatchesAllTerms("\x83\x5c\x95\x5c", SplitTerms("\\")));
  EXPECT_TRUE(
      MatchesAllTerms("\x83\x41"
                      "A",
                      SplitTerms("A")));
  // "亜亜" is 0x88 0x9F 0x88 0x9F: the two bytes 0x9F 0x88 straddle the characters.
  EXPECT_FALSE(MatchesAllTerms("\x88\x9f\x88\x9f", SplitTerms("\x9f\x88")));
  EXPECT_TRUE(MatchesAllTerms("\x88\x9f\x88\x9f", SplitTerms("\x88\x9f")));
}

// The query is Shift-JIS; a UTF-8 or EUC-JP file is searched for its terms written in that file's
// encoding, on that encoding's characters.
TEST(EncodedTerms, TheWaveDashIsFoundInEitherFormTheFileWasWrittenWith) {
  const std::string wave_dash = "\x81\x60";  // ～ in Shift-JIS
  // UTF-8: CP932's U+FF5E, and U+301C as JIS converters write it.
  const TermTable utf8 = SplitTerms("1868" + wave_dash, TextEncoding::kUtf8);
  EXPECT_TRUE(MatchesAllTerms("1868\xef\xbd\x9e", utf8));
  EXPECT_TRUE(MatchesAllTerms("1868\xe3\x80\x9c", utf8));
  EXPECT_FALSE(MatchesAllTerms("1868~", utf8));
  // EUC-JP: JIS X 0208's A1 C1 from most converters, JIS X 0212's 8F A2 B7 from glibc's iconv
  // -f CP932, which writes CP932's U+FF5E there.
  const TermTable euc = SplitTerms("1868" + wave_dash, TextEncoding::kEucJp);
  EXPECT_TRUE(MatchesAllTerms("1868\xa1\xc1", euc));
  EXPECT_TRUE(MatchesAllTerms("1868\x8f\xa2\xb7", euc));
  EXPECT_FALSE(MatchesAllTerms("18\xa1\xc1", euc));
  // Neither form is found inside other characters: 8F A2 B7 A1 C1 is SS3 ～ then 〜.
  EXPECT_FALSE(MatchesAllTerms("\xb0\xa1\xc1", SplitTerms(wave_dash, TextEncoding::kEucJp)));
}

TEST(EncodedTerms, ACharacterTheFilesEncodingLacksIsNamed) {
  // ① (87 40) is not in EUC-JP; the terms after an empty one are converted all the same.
  EXPECT_EQ(SplitTerms("a \x87\x40", TextEncoding::kEucJp).unconvertible, U'\u2460');
  EXPECT_EQ(SplitTerms("a  \x87\x40", TextEncoding::kEucJp).unconvertible, U'\u2460');
  EXPECT_FALSE(SplitTerms("a \x87\x40", TextEncoding::kUtf8).unconvertible);
}

TEST(EncodedTerms, AHalfWidthKanaTermIsFoundOnlyAsThatCharacter) {
  // ｱ is B1 in Shift-JIS, 8E B1 in EUC-JP, EF BD B1 in UTF-8: its bytes in the other encodings
  // hold no ｱ.
  const TermTable euc = SplitTerms("\xb1", TextEncoding::kEucJp);
  EXPECT_TRUE(MatchesAllTerms("\x8e\xb1", euc));
  EXPECT_FALSE(MatchesAllTerms("\xb1\xb1\xa4\xa2", euc));  // 臼 and あ
  const TermTable utf8 = SplitTerms("\xb1", TextEncoding::kUtf8);
  EXPECT_TRUE(MatchesAllTerms("\xef\xbd\xb1", utf8));
  EXPECT_FALSE(MatchesAllTerms("\xe3\x81\xb1", utf8));
}

}  // namespace
}  // namespace tolvane
