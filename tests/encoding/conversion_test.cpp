// Conversions between the encodings: a Shift-JIS query into the records file's encoding, any of
// them into UTF-8 (whole or a piece at a time), UTF-8 into Shift-JIS with the NFKC fallback, and a
// query typed in Unicode into each encoding.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "encoding/code_points.h"
#include "encoding/cp932.h"
#include "encoding/query_text.h"
#include "encoding/text_encoding.h"

namespace tolvane {
namespace {

constexpr TextEncoding kUtf8 = TextEncoding::kUtf8;
constexpr TextEncoding kEucJp = TextEncoding::kEucJp;
constexpr TextEncoding kShiftJis = TextEncoding::kShiftJis;
constexpr std::string_view kReplacement = "\xef\xbf\xbd";

TEST(FromCp932, WritesTheQueryInTheFilesEncoding) {
  // 近世 ｱ, in Shift-JIS 8B DF 90 A2 20 B1.
  const std::string query = "\x8b\xdf\x90\xa2 \xb1";
  EXPECT_EQ(FromCp932(kUtf8, query).bytes, "近世 ｱ");
  EXPECT_EQ(FromCp932(kEucJp, query).bytes, "\xb6\xe1\xc0\xa4 \x8e\xb1");
  // Shift-JIS is taken as it is, malformed or not.
  EXPECT_EQ(FromCp932(kShiftJis, "\x82").bytes, "\x82");
  EXPECT_FALSE(FromCp932(kShiftJis, "\x82").unconvertible);
  // A kanji of JIS X 0212, which EUC-JP writes with SS3: 仡 is CP932 ED 4D.
  EXPECT_EQ(FromCp932(kEucJp, "\xed\x4d").bytes, "\x8f\xb0\xc8");
}

TEST(FromCp932, GivesEucJpTheJisFormsOfTheSixCharactersOfTwoForms) {
  // ～ ∥ － ￠ ￡ ￢ as CP932 writes them, and the EUC-JP bytes of their JIS forms.
  const std::vector<std::pair<std::string_view, std::string_view>> forms = {
      {"\x81\x60", "\xa1\xc1"}, {"\x81\x61", "\xa1\xc2"}, {"\x81\x7c", "\xa1\xdd"},
      {"\x81\x91", "\xa1\xf1"}, {"\x81\x92", "\xa1\xf2"}, {"\x81\xca", "\xa2\xcc"}};
  for (const auto& [sjis, euc] : forms) {
    const Reencoded converted = FromCp932(kEucJp, sjis);
    EXPECT_EQ(converted.bytes, euc) << testing::PrintToString(sjis);
    EXPECT_FALSE(converted.unconvertible);
  }
  // UTF-8 keeps CP932's own form: the wave dash is U+FF5E.
  EXPECT_EQ(FromCp932(kUtf8, "\x81\x60").bytes, "\xef\xbd\x9e");
}

TEST(FromCp932, NamesTheCharacterTheEncodingLacksAndGivesNoBytes) {
  // ① (87 40) is NEC's, which EUC-JP does not hold; UTF-8 holds everything.
  const Reencoded circled = FromCp932(kEucJp, "a\x87\x40");
  EXPECT_EQ(circled.unconvertible, U'\u2460');
  EXPECT_EQ(circled.bytes, "");
  EXPECT_EQ(FromCp932(kUtf8, "\x87\x40").bytes, "①");
  // Bytes that are no CP932 can be written in nothing.
  EXPECT_EQ(FromCp932(kUtf8, "a\x82").unconvertible, U'\uFFFD');
  EXPECT_EQ(FromCp932(kEucJp, "\x80").unconvertible, U'\uFFFD');
}

TEST(TwoFormCharacters, EachFormNamesTheOtherAndNothingElseHasOne) {
  const std::vector<std::pair<char32_t, char32_t>> pairs = {{0xff5e, 0x301c}, {0x2225, 0x2016},
                                                            {0xff0d, 0x2212}, {0xffe0, 0x00a2},
                                                            {0xffe1, 0x00a3}, {0xffe2, 0x00ac}};
  for (const auto& [cp932, jis] : pairs) {
    EXPECT_EQ(JisFormOf(cp932), jis);
    EXPECT_EQ(Cp932FormOf(jis), cp932);
    EXPECT_EQ(JisFormOf(jis), std::nullopt);
    EXPECT_EQ(Cp932FormOf(cp932), std::nullopt);
  }
  EXPECT_EQ(JisFormOf(U'あ'), std::nullopt);
  EXPECT_EQ(Cp932FormOf(U'~'), std::nullopt);
}

TEST(ToUtf8, DecodesEachEncodingAndShowsBadBytesAsReplacementCharacters) {
  EXPECT_EQ(ToUtf8(kEucJp,
                   "\xb0\xa1\x8e\xb1\x8f\xb0\xc8"
                   "A"),
            "亜ｱ仡A");
  EXPECT_EQ(ToUtf8(kEucJp, "\xa1\xc1\x8f\xa2\xb7"), "〜～");  // JIS X 0208's and 0212's
  EXPECT_EQ(ToUtf8(kUtf8,
                   "a\xff"
                   "b"),
            "a" + std::string(kReplacement) + "b");
  EXPECT_EQ(ToUtf8(kUtf8, "a\xe3\x81"),
            "a" + std::string(kReplacement) + std::string(kReplacement));
  EXPECT_EQ(ToUtf8(kEucJp, "\xb0"), kReplacement);
  // Bytes no EUC-JP character holds, which glibc reads as C1 controls (0x9B a terminal's CSI).
  EXPECT_EQ(ToUtf8(kEucJp, "a\x9b[2J\x80\xa0"), "a" + std::string(kReplacement) + "[2J" +
                                                    std::string(kReplacement) +
                                                    std::string(kReplacement));
  EXPECT_EQ(ToUtf8(kEucJp, "\xb0\x9b"), std::string(kReplacement) + std::string(kReplacement));
  EXPECT_EQ(ToUtf8(kShiftJis, "\x82\xa0"), "あ");
}

// A random text of `encoding`, valid characters mixed with bytes that start none.
std::string RandomText(std::mt19937& rng, TextEncoding encoding, std::size_t characters) {
  static const std::vector<std::string> utf8 = {
      "a",    "\n",       "\xc3\xa9", "\xe3\x81\x82", "\xef\xbd\x9e", "\xf0\x9f\x98\x80",
      "\x80", "\xe3\x81", "\xff",     "\xf0\x9f"};
  static const std::vector<std::string> euc = {
      "a",    "\n",       "\xb0\xa1", "\x8e\xb1", "\x8f\xb0\xc8", "\x8f\xa2\xb7",
      "\x8e", "\x8f\xb0", "\xb0",     "\x80",     "\x9b"};
  static const std::vector<std::string> sjis = {"a",        "\n",   "\x82\xa0", "\xb1",
                                                "\x83\x5c", "\x82", "\x80",     "\xfa\x4a"};
  const std::vector<std::string>& pool = encoding == kUtf8 ? utf8 : encoding == kEucJp ? euc : sjis;
  std::string text;
  for (std::size_t i = 0; i < characters; ++i) text += pool[rng() % pool.size()];
  return text;
}

TEST(ToUtf8Stream, ThePiecesTogetherAreTheWholeWhereverTheyAreCut) {
  std::mt19937 rng(18);
  for (const TextEncoding encoding : {kUtf8, kEucJp, kShiftJis}) {
    for (int round = 0; round < 40; ++round) {
      const std::string text = RandomText(rng, encoding, 24);
      const std::string whole = ToUtf8(encoding, text);
      // Cut once at every position, then into pieces of random sizes, some empty.
      for (std::size_t cut = 0; cut <= text.size(); ++cut) {
        ToUtf8Stream stream(encoding);
        ASSERT_TRUE(stream.ok());
        std::string out;
        stream.Convert(std::string_view(text).substr(0, cut), out);
        stream.Convert(std::string_view(text).substr(cut), out);
        stream.Finish(out);
        ASSERT_EQ(out, whole) << DisplayName(encoding) << " " << testing::PrintToString(text)
                              << " cut " << cut;
      }
      ToUtf8Stream stream(encoding);
      std::string out;
      for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = std::min<std::size_t>(rng() % 4, text.size() - at);
        stream.Convert(std::string_view(text).substr(at, length), out);
        at += length;
      }
      stream.Finish(out);
      ASSERT_EQ(out, whole) << DisplayName(encoding) << " " << testing::PrintToString(text);
    }
  }
}

TEST(CodePointTable, KnowsEveryEucJpSpellingOfTheWaveDashes) {
  // JIS X 0208's wave dash and JIS X 0212's full-width tilde: glibc's CP932-to-EUC-JP conversion
  // writes CP932's wave dash as the latter, other converters as the former.
  const CodePointTable& euc = CodePointTable::Get(kEucJp);
  std::size_t end = 0;
  EXPECT_EQ(euc.Decode("\xa1\xc1", 0, end), U'\u301C');
  EXPECT_EQ(end, 2u);
  EXPECT_EQ(euc.Decode("\x8f\xa2\xb7", 0, end), U'\uFF5E');
  EXPECT_EQ(end, 3u);
  EXPECT_EQ(euc.Spellings(U'\u301C'), (std::vector<std::string>{"\xa1\xc1"}));
  EXPECT_EQ(euc.Spellings(U'\uFF5E'), (std::vector<std::string>{"\x8f\xa2\xb7"}));
  EXPECT_EQ(euc.Decode("\x8e\xb1", 0, end), U'ｱ');
  EXPECT_EQ(euc.Decode("\xb0", 0, end), U'\uFFFD');
  EXPECT_EQ(euc.Spellings(U'\u2460'), std::vector<std::string>{});
}

TEST(NfkcFallback, APastedLookAlikeBecomesTheCharacterItStandsFor) {
  // ⾔ (U+2F94, KANGXI RADICAL SPEECH) and the compatibility ideograph 更 (U+F901) from a PDF.
  EXPECT_EQ(Utf8ToCp932("\xe2\xbe\x94").sjis, "\x8c\xbe");                      // 言
  EXPECT_EQ(Utf8ToCp932("\xe2\xbe\x94\xe8\xaa\x9e").sjis, "\x8c\xbe\x8c\xea");  // ⾔語 as 言語
  EXPECT_EQ(Utf8ToCp932("\xef\xa4\x81").sjis, "\x8d\x58");                      // 更
  EXPECT_EQ(Utf8ToCp932("a\xc2\xa0"
                        "b")
                .sjis,
            "a b");  // a no-break space
}

TEST(NfkcFallback, ACharacterShiftJisHoldsIsNeverChanged) {
  // Each has an NFKC form of its own (① is 1, ｱ is ア, ㈱ is (株), Ⅰ is I, ＡＢ is AB), or is a
  // compatibility ideograph that Shift-JIS holds as it is (﨑, and 朗 U+F929).
  const std::vector<std::pair<std::string_view, std::string_view>> held = {
      {"①", "\x87\x40"},
      {"ｱ", "\xb1"},
      {"㈱", "\x87\x8a"},
      {"Ⅰ", "\x87\x54"},
      {"ＡＢ", "\x82\x60\x82\x61"},
      {"﨑", "\xfa\xb1"},
      {"\xef\xa4\xa9", "\xfa\xe0"},
      {"～", "\x81\x60"}};
  for (const auto& [utf8, sjis] : held) EXPECT_EQ(Utf8ToCp932(utf8).sjis, sjis) << utf8;
}

TEST(NfkcFallback, ACharacterWithNoFormShiftJisHoldsStaysUnconvertible) {
  EXPECT_EQ(Utf8ToCp932("a\xf0\x9f\x98\x80").unconvertible, U'\U0001F600');  // 😀
  EXPECT_EQ(Utf8ToCp932("\xc3\xa9").unconvertible, U'é');  // its NFKC form is itself
  // ﬃ's form is ffi, all of which Shift-JIS holds: it converts, as three letters.
  EXPECT_EQ(Utf8ToCp932("\xef\xac\x83").sjis, "ffi");
}

TEST(Utf8ToCp932Dropping, LeavesOutWhatShiftJisCannotHoldAndTellsSo) {
  bool dropped = false;
  EXPECT_EQ(Utf8ToCp932Dropping("明治\xf0\x9f\x98\x80期", dropped).sjis,
            "\x96\xbe\x8e\xa1\x8a\xfa");
  EXPECT_TRUE(dropped);
  dropped = false;
  EXPECT_EQ(Utf8ToCp932Dropping("\xe2\xbe\x94", dropped).sjis, "\x8c\xbe");  // converts, so kept
  EXPECT_FALSE(dropped);
  EXPECT_EQ(Utf8ToCp932Dropping(std::string_view("a\0b", 3), dropped).sjis, "ab");
  EXPECT_TRUE(dropped);
}

TEST(Utf8ToCp932Dropping, ABytePastUtf8CostsOnlyItselfNotTheTextAfterIt) {
  // A stray byte, a Shift-JIS 検 among UTF-8 lines, a character cut short by the line's end.
  bool dropped = false;
  const Cp932Encoding converted = Utf8ToCp932Dropping(
      "a\xff"
      "b\n\x8c\x9f\n明\xe6\x97\n治\n",
      dropped);
  EXPECT_TRUE(converted.ok());
  EXPECT_EQ(converted.sjis, "ab\n\n\x96\xbe\n\x8e\xa1\n");
  EXPECT_TRUE(dropped);
  // Text the user typed is still refused whole.
  EXPECT_TRUE(Utf8ToCp932("a\xff"
                          "b")
                  .malformed_utf8);
}

}  // namespace
}  // namespace tolvane

namespace tolvane {
namespace {

// A query typed in Unicode, written in each encoding when a search starts.
TEST(QueryText, EachCharacterIsWrittenAsItsFileWritesIt) {
  // 鷗 (U+9DD7), 𠮷 (four bytes), é and a combining acute accent: any of them in UTF-8.
  const std::string world =
      "\xe9\xb7\x97\xf0\xa0\xae\xb7\xc3\xa9"
      "e\xcc\x81";
  EXPECT_EQ(FromUtf8(TextEncoding::kUtf8, world).bytes, world);
  // Shift-JIS lacks 鷗 and names it; 森 is 90 58.
  const Reencoded sjis = FromUtf8(TextEncoding::kShiftJis, "\xe6\xa3\xae\xe9\xb7\x97");
  EXPECT_EQ(sjis.unconvertible, U'\u9dd7');
  EXPECT_EQ(FromUtf8(TextEncoding::kShiftJis, "\xe6\xa3\xae").bytes, "\x90\x58");
  // JIS X 0212 gives EUC-JP é (8F AB B1), which Shift-JIS lacks.
  EXPECT_EQ(FromUtf8(TextEncoding::kEucJp, "\xc3\xa9").bytes, "\x8f\xab\xb1");
  // A character Shift-JIS holds is written as it always was: the wave dash 〜 as CP932's ～ in
  // UTF-8, the Kangxi radical ⾔ as 言.
  EXPECT_EQ(FromUtf8(TextEncoding::kUtf8, "\xe3\x80\x9c").bytes, "\xef\xbd\x9e");
  EXPECT_EQ(FromUtf8(TextEncoding::kUtf8, "\xe2\xbe\x94").bytes, "\xe8\xa8\x80");
  // Bytes that are no UTF-8, and a NUL, are nothing a file can be searched for.
  EXPECT_EQ(FromUtf8(TextEncoding::kUtf8, "a\xff").unconvertible, U'\ufffd');
  EXPECT_EQ(FromUtf8(TextEncoding::kUtf8, "\xe6\xa3").unconvertible, U'\ufffd');
  EXPECT_EQ(FromUtf8(TextEncoding::kUtf8, std::string_view("a\0b", 3)).unconvertible, U'\0');
}

TEST(QueryText, TheLimitCountsShiftJisBytesAndTwoForACharacterItLacks) {
  EXPECT_EQ(QueryLimitBytes("abc"), 3u);
  EXPECT_EQ(QueryLimitBytes("a b"), 4u);               // the blank as a full-width blank
  EXPECT_EQ(QueryLimitBytes("\xef\xbd\xb1"), 1u);      // ｱ, one byte of Shift-JIS
  EXPECT_EQ(QueryLimitBytes("\xe6\xa3\xae"), 2u);      // 森
  EXPECT_EQ(QueryLimitBytes("\xf0\xa0\xae\xb7"), 2u);  // 𠮷, four bytes of UTF-8
  EXPECT_EQ(QueryLimitBytes("e\xcc\x81 \xed\x95\x9c"), 1u + 2u + 2u + 2u);  // e, U+0301, blank, 한
  EXPECT_EQ(QueryLimitBytes("\xef\xbd\xb1\xc3\xa9"), 3u);  // ｱ beside é: one and two
}

}  // namespace
}  // namespace tolvane
