// What a records file is written in, judged from its start and samples further in.
#include "encoding/detect.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "iconv_text.h"

namespace tolvane {
namespace {

using Kind = EncodingVerdict::Kind;

// Lines of a bibliography as its users write them, in UTF-8, with CR LF.
std::string Bibliography(int lines) {
  static const std::vector<std::string_view> records = {
      "山田太郎（1979）「近世村落の研究」『日本史研究』第12巻、1-20頁",
      "夏目漱石 こころ 岩波書店 1914",
      "佐藤花子（1985）『明治期〜大正期の出版文化』吉川弘文館、320頁",
      "ｶﾀｶﾅ ﾖﾐ 1990 森鴎外 舞姫",
      "Smith, Brown (1988) \"Village Society in Tokugawa Japan\" Monumenta Nipponica, 43",
  };
  std::string text;
  for (int i = 0; i < lines; ++i) text += std::string(records[i % records.size()]) + "\r\n";
  return text;
}

std::string In(const char* encoding, std::string_view utf8) {
  return testing::IconvText(encoding, "UTF-8", utf8).value();
}

TEST(DetectEncoding, AByteOrderMarkDecides) {
  const EncodingVerdict utf8 = DetectEncoding("\xef\xbb\xbf" + Bibliography(3));
  EXPECT_EQ(utf8.kind, Kind::kUtf8);
  EXPECT_TRUE(utf8.bom);
  EXPECT_FALSE(utf8.other_lines);
  // A mark before ASCII alone, or before nothing at all, still makes the file UTF-8.
  EXPECT_EQ(DetectEncoding("\xef\xbb\xbf"
                           "abc\r\n")
                .kind,
            Kind::kUtf8);
  EXPECT_EQ(DetectEncoding("\xef\xbb\xbf").kind, Kind::kUtf8);
  EXPECT_EQ(DetectEncoding("\xff\xfe" + In("UTF-16LE", Bibliography(3))).kind, Kind::kUtf16);
  EXPECT_EQ(DetectEncoding("\xfe\xff" + In("UTF-16BE", Bibliography(3))).kind, Kind::kUtf16);
  EXPECT_FALSE(DetectEncoding("\xff\xfe" + In("UTF-16LE", Bibliography(3))).Searchable());
}

TEST(DetectEncoding, UnmarkedUtf16IsToldByItsNulBytes) {
  EXPECT_EQ(DetectEncoding(In("UTF-16LE", Bibliography(20))).kind, Kind::kUtf16);
  EXPECT_EQ(DetectEncoding(In("UTF-16BE", Bibliography(20))).kind, Kind::kUtf16);
  EXPECT_EQ(DetectEncoding(In("UTF-32LE", Bibliography(20))).kind, Kind::kUtf16);
  // A stray NUL in a Shift-JIS file is a record's end, not UTF-16.
  const std::string sjis = In("CP932", Bibliography(20));
  EXPECT_EQ(DetectEncoding(sjis + std::string(1, '\0') + "\r\n").kind, Kind::kShiftJis);
  // A sparse file's holes are no text: records among long runs of NULs stay what they are, while
  // UTF-16 and UTF-32 text with holes between stays UTF-16.
  const std::string hole(4096, '\0');
  EXPECT_EQ(DetectEncoding(hole + sjis + hole).kind, Kind::kShiftJis);
  EXPECT_EQ(DetectEncoding(hole).kind, Kind::kShiftJis);
  EXPECT_EQ(DetectEncoding(hole + In("UTF-16LE", Bibliography(3)) + hole).kind, Kind::kUtf16);
  EXPECT_EQ(DetectEncoding(In("UTF-32LE", "a\u3000b\r\n") + hole).kind, Kind::kUtf16);
  EXPECT_EQ(DetectEncoding(In("UTF-32BE", "\u3000a\r\n") + hole).kind, Kind::kUtf16);
}

TEST(DetectEncoding, EachEncodingOfTheSameTextIsKnownForWhatItIs) {
  const std::string text = Bibliography(20);
  EXPECT_EQ(DetectEncoding(In("CP932", text)).kind, Kind::kShiftJis);
  EXPECT_EQ(DetectEncoding(text).kind, Kind::kUtf8);
  EXPECT_FALSE(DetectEncoding(text).bom);
  EXPECT_EQ(DetectEncoding(In("EUC-JP", text)).kind, Kind::kEucJp);
  EXPECT_EQ(DetectEncoding(In("EUC-JP", text)).Encoding(), TextEncoding::kEucJp);
  for (const char* encoding : {"CP932", "UTF-8", "EUC-JP"}) {
    EXPECT_FALSE(DetectEncoding(In(encoding, text)).other_lines) << encoding;
  }
  // ASCII alone, and nothing at all, are the program's own Shift-JIS.
  EXPECT_EQ(DetectEncoding("Smith (1988) Village Society\r\n").kind, Kind::kShiftJis);
  EXPECT_EQ(DetectEncoding("").kind, Kind::kShiftJis);
  // Half-width kana, the bytes of which also walk as EUC-JP kanji in pairs, stay Shift-JIS when
  // the file's kanji say so.
  EXPECT_EQ(DetectEncoding(In("CP932", "ｶﾀｶﾅ\r\n山田 ﾖﾐ\r\n近世\r\n")).kind, Kind::kShiftJis);
}

TEST(DetectEncoding, AShiftJisCatalogueInHalfWidthKanaStaysShiftJis) {
  // Readings in half-width kana, most runs of an even length: such a line also walks as EUC-JP
  // kanji (ｿｳｾｷ is BF B3 BE B7, 審招 to EUC-JP).
  const std::string catalogue = In("CP932", "ｿｳｾｷ ｺｺﾛﾉ 1914\r\nﾓﾘ ｵｳｶﾞ 1890\r\nﾅﾂﾒ ｿｳｾｷ 1906\r\n") +
                                In("CP932", "ｱｸﾀｶﾞﾜ ﾗｼｮｳﾓﾝ\r\n");
  const EncodingVerdict verdict = DetectEncoding(catalogue);
  EXPECT_EQ(verdict.kind, Kind::kShiftJis);
  EXPECT_FALSE(verdict.other_lines);
  // An EUC-JP file with a short line of the same bytes is still EUC-JP, and told of no other line.
  const EncodingVerdict euc = DetectEncoding(In("EUC-JP", Bibliography(20) + "亜 1990\r\n"));
  EXPECT_EQ(euc.kind, Kind::kEucJp);
  EXPECT_FALSE(euc.other_lines);
}

TEST(DetectEncoding, LinesOfAnotherEncodingAppendedAtTheEndAreNoticed) {
  const std::string sjis = In("CP932", Bibliography(40));
  const std::string appended = Bibliography(3);  // saved by a UTF-8 editor
  // Seen in a sample further in that reaches the file's end.
  const std::string tail = sjis.substr(sjis.size() - 100) + appended;
  const std::vector<std::string_view> further = {tail};
  const EncodingVerdict verdict = DetectEncoding(sjis, further, true);
  EXPECT_EQ(verdict.kind, Kind::kShiftJis);
  EXPECT_TRUE(verdict.other_lines);
  // And in a small file sampled whole.
  EXPECT_TRUE(DetectEncoding(sjis + appended).other_lines);
  // The other way round: Shift-JIS lines in a UTF-8 file, and UTF-8 lines in an EUC-JP one.
  const EncodingVerdict utf8 = DetectEncoding(Bibliography(40) + In("CP932", Bibliography(2)));
  EXPECT_EQ(utf8.kind, Kind::kUtf8);
  EXPECT_TRUE(utf8.other_lines);
  const EncodingVerdict euc = DetectEncoding(In("EUC-JP", Bibliography(40)) + Bibliography(2));
  EXPECT_EQ(euc.kind, Kind::kEucJp);
  EXPECT_TRUE(euc.other_lines);
}

TEST(DetectEncoding, TheCutOffEdgesOfASampleAreNotJudged) {
  const std::string utf8 = Bibliography(10);
  // A sample further in that starts and ends inside characters: only whole lines count.
  const std::string cut = utf8.substr(1) + "\xe6\x97";  // inside 山, and the first bytes of 日
  const std::vector<std::string_view> further = {cut};
  const EncodingVerdict verdict = DetectEncoding(utf8, further, false);
  EXPECT_EQ(verdict.kind, Kind::kUtf8);
  EXPECT_FALSE(verdict.other_lines);
  // A start sample that the file goes on past: its last line is cut, and not judged either.
  const std::string start = utf8 + "\xe6\x97";  // the first two bytes of 日
  const std::vector<std::string_view> rest = {"\xa5\r\n"};
  EXPECT_FALSE(DetectEncoding(start, rest, true).other_lines);
}

TEST(DetectEncoding, MalformedShiftJisLinesDoNotMakeAFileUnknown) {
  std::string sjis = In("CP932", Bibliography(60));
  // Lone lead bytes and bytes no encoding has, on a line of their own each, as old files have.
  for (int i = 0; i < 20; ++i) sjis += "broken \x82\r\n\x80\xfd\r\n";
  const EncodingVerdict verdict = DetectEncoding(sjis);
  EXPECT_EQ(verdict.kind, Kind::kShiftJis);
  EXPECT_TRUE(verdict.Searchable());
}

TEST(DetectEncoding, AFileThatIsMostlyNoEncodingIsUnknownYetSearchedAsShiftJis) {
  std::string junk;
  for (int i = 0; i < 40; ++i) junk += "\x80\xfd\xff junk\r\n";
  EXPECT_EQ(DetectEncoding(junk).kind, Kind::kUnknown);
  EXPECT_TRUE(DetectEncoding(junk).Searchable());
  EXPECT_EQ(DetectEncoding(junk).Encoding(), TextEncoding::kShiftJis);
  // A few such lines alone are not enough to refuse a file.
  EXPECT_EQ(DetectEncoding(junk.substr(0, junk.size() / 4)).kind, Kind::kShiftJis);
}

TEST(DetectEncoding, SevenBitJisIsUnknown) {
  std::string text;
  for (int i = 0; i < 10; ++i) text += "山田太郎（1979）「近世村落の研究」『日本史研究』第12巻\r\n";
  const std::string jis = In("ISO-2022-JP", text);
  ASSERT_NE(jis.find("\x1b$B"), std::string::npos);
  EXPECT_EQ(DetectEncoding(jis).kind, Kind::kUnknown);
}

// Lines valid both as Shift-JIS and as UTF-8: Shift-JIS, unless the UTF-8 reading is plain text
// and the Shift-JIS reading is not.
TEST(DetectEncoding, BytesValidInBothAreShiftJisUnlessTheUtf8ReadingIsPlainlyText) {
  // ﾐｽ (D0 BD) is н, ﾔｽ (D4 BD) Armenian Խ, ｿﾛ (BF DB) no UTF-8 at all: half-width kana.
  for (const std::string_view line :
       {"\xd0\xbd Tanaka 2001", "\xd4\xbd", "\xd0\xbd\xd4\xbd \xbf\xdb"}) {
    EXPECT_EQ(DetectEncoding(std::string(line) + "\r\n").kind, Kind::kShiftJis) << line;
  }
  // Japanese, accented Latin and Korean saved in UTF-8, whose Shift-JIS reading mixes half-width
  // kana with two-byte characters or glues them to Latin letters.
  for (const std::string_view line : {"明治", "の", "Müller", "Études", "한국", "𠮷"}) {
    const std::string utf8 = std::string(line) + "\r\n";
    EXPECT_EQ(DetectEncoding(utf8).kind, Kind::kUtf8) << line;
    // A file the program knows it wrote in Shift-JIS keeps such lines Shift-JIS.
    EXPECT_EQ(DetectEncoding(utf8, {}, false, true).kind, Kind::kShiftJis) << line;
  }
  // UTF-8 that Shift-JIS cannot walk is UTF-8 all the same: in 近世 研究, 96 takes a blank.
  EXPECT_EQ(DetectEncoding("近世 研究\r\n", {}, false, true).kind, Kind::kUtf8);
}

TEST(DetectEncoding, WindowsAndMacintoshTextIsUnknownAndSearchedAsShiftJis) {
  std::string cp1252;
  for (int i = 0; i < 40; ++i) cp1252 += "M\xfcller \xc9tudes \x80\r\nSmith\r\n";
  std::string mac = In("CP932", Bibliography(40));
  for (std::size_t at = 0; (at = mac.find("\r\n", at)) != std::string::npos; at += 3)
    mac.insert(at, "\xfd");
  for (const std::string& text : {cp1252, mac}) {
    const EncodingVerdict verdict = DetectEncoding(text);
    EXPECT_EQ(verdict.kind, Kind::kUnknown);
    EXPECT_TRUE(verdict.Searchable());
    EXPECT_EQ(verdict.Encoding(), TextEncoding::kShiftJis);
  }
  // UTF-16 and UTF-32 alone cannot be searched.
  EXPECT_FALSE(DetectEncoding(In("UTF-32LE", Bibliography(3))).Searchable());
}

}  // namespace
}  // namespace tolvane
