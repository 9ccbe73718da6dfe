#include "encoding/cp932.h"

#include <gtest/gtest.h>


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

}  // namespace
}  // namespace tolvane
