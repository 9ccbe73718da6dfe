#include "encoding/cp932.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "encoding/text_encoding.h"

namespace tolvane {
namespace {

TEST(Cp932, RoundTripsJapaneseText) {
  const std::string utf8 = "夏目漱石「こころ」　ｱｲｳ ①～";
  const Cp932Encoding sjis = Utf8ToCp932(utf8);
  ASSERT_TRUE(sjis.ok());
  EXPECT_EQ(sjis.sjis.substr(0, 4), "\x89\xc4\x96\xda");  // 夏目
  EXPECT_EQ(Cp932ToUtf8(sjis.sjis), utf8);
}

TEST(Cp932, TakesTheJisFormsThatInputMethodsProduce) {
  EXPECT_EQ(Utf8ToCp932("\xe3\x80\x9c").sjis, "\x81\x60");  // U+301C wave dash
  EXPECT_EQ(Utf8ToCp932("\xe2\x88\x92").sjis, "\x81\x7c");  // U+2212 minus sign
}

TEST(Cp932, NamesTheFirstCharacterItCannotHold) {
  const Cp932Encoding result = Utf8ToCp932("ok \xf0\x9f\x98\x80 \xc3\xa9");  // 😀 é
  EXPECT_FALSE(result.ok());
  EXPECT_EQ(result.unconvertible, U'\U0001F600');
  EXPECT_EQ(DescribeCharacter(U'\U0001F600'), "U+1F600 \xe2\x80\x9c\xf0\x9f\x98\x80\xe2\x80\x9d");
  EXPECT_TRUE(Utf8ToCp932("\xff").malformed_utf8);
  EXPECT_FALSE(Utf8ToCp932(std::string("a\0b", 3)).ok());
}

TEST(Cp932, ShowsMalformedBytesAsReplacementCharactersAndLosesNothingElse) {
  EXPECT_EQ(Cp932ToUtf8("a\x81\nb"), "a\xef\xbf\xbd\nb");
  EXPECT_EQ(Cp932ToUtf8("\x80\xa0\xfd"), "\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd");
  EXPECT_EQ(Cp932ToUtf8("x\x82"), "x\xef\xbf\xbd");
}

// Converts `sjis` in pieces that end at `cuts`.
std::string ConvertInPieces(std::string_view sjis, const std::vector<std::size_t>& cuts) {
  ToUtf8Stream stream(TextEncoding::kShiftJis);
  std::string out;
  std::size_t from = 0;
  for (const std::size_t cut : cuts) {
    stream.Convert(sjis.substr(from, cut - from), out);
    from = cut;
  }
  stream.Convert(sjis.substr(from), out);
  stream.Finish(out);
  return out;
}

TEST(Cp932Stream, GivesTheWholeTextsUtf8WhereverThePiecesAreCut) {
  // Two-byte characters, a lead byte before LF and before an ASCII letter, bytes that start no
  // character, a half-width katakana, CR LF, and a lead byte at the very end.
  const std::string sjis =
      "\x8b\xdf\x90\xa2\r\n\x81\nA\x85"
      "B\x80\xa0\xfd\xb1\x87\x40\x82\xa0\r\n\xfc\x40\x88";
  const std::string bad = "\xef\xbf\xbd";  // U+FFFD
  const std::string whole =
      "近世\r\n" + bad + "\nA" + bad + "B" + bad + bad + bad + "ｱ①あ\r\n髜" + bad;
  ASSERT_EQ(Cp932ToUtf8(sjis), whole);
  for (std::size_t first = 0; first <= sjis.size(); ++first) {
    for (std::size_t second = first; second <= sjis.size(); ++second) {
      EXPECT_EQ(ConvertInPieces(sjis, {first, second}), whole) << first << " " << second;
    }
  }
  std::vector<std::size_t> every_byte;
  for (std::size_t cut = 1; cut < sjis.size(); ++cut) every_byte.push_back(cut);
  EXPECT_EQ(ConvertInPieces(sjis, every_byte), whole);
}

TEST(Cp932Stream, ALeadByteHeldAtTheEndShowsAsOneReplacementCharacter) {
  ToUtf8Stream stream(TextEncoding::kShiftJis);
  ASSERT_TRUE(stream.ok());
  std::string out;
  stream.Convert("a\x82", out);
  EXPECT_EQ(out, "a");  // the 0x82 waits for its trail byte
  stream.Convert("", out);
  stream.Finish(out);
  EXPECT_EQ(out, "a\xef\xbf\xbd");
  // Finished, the stream starts afresh.
  stream.Convert("\x82\xa0", out);
  stream.Finish(out);
  EXPECT_EQ(out, "a\xef\xbf\xbd\xe3\x81\x82");
}

}  // namespace
}  // namespace tolvane
