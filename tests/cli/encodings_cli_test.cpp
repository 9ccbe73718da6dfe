// tolvane-search on a bibliography in UTF-8 or EUC-JP: the same counts as the Shift-JIS file, the
// records printed in UTF-8 whatever the file's encoding, --raw and kekka.txt in the file's bytes,
// and what cannot be searched refused by name on standard error with exit status 2.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "command_runner.h"
#include "iconv_text.h"
#include "test_util.h"

namespace tolvane {
namespace {

using Outcome = testing::CommandOutcome;

// In UTF-8; the wave dash is CP932's ～ (U+FF5E), as a CP932 file converted by iconv holds it.
const std::string kRecordsUtf8 =
    "夏目漱石 こころ 1914～1915\r\n"
    "森鴎外 舞姫 1890\r\n"
    "夏目漱石 坊っちゃん 1906\r\n"
    "ｶﾀｶﾅ 言語学 1979\r\n";

std::string In(const char* encoding, std::string_view utf8) {
  return testing::IconvText(encoding, "UTF-8", utf8).value();
}

struct Copy {
  const char* name;
  std::string bom;
  const char* encoding;
};

const std::vector<Copy> kCopies = {{"Shift-JIS", "", "CP932"},
                                   {"UTF-8", "", "UTF-8"},
                                   {"UTF-8 with a mark", "\xef\xbb\xbf", "UTF-8"},
                                   {"EUC-JP", "", "EUC-JP"}};

class EncodedFilesCommandTest : public ::testing::Test {
 protected:
  Outcome Command(std::vector<std::string> args) {
    return testing::RunCommand(dir_, std::move(args));
  }
  void Records(std::string_view bytes) { testing::WriteFile(dir_ / "tolvaneken.txt", bytes); }
  std::string Results() { return testing::ReadFile(dir_ / "kekka.txt"); }

  testing::ScratchDir dir_;
};

TEST_F(EncodedFilesCommandTest, EveryEncodingPrintsTheSameUtf8AndKeepsItsOwnBytes) {
  // Each query with what it prints; ⾔ is a Kangxi radical pasted for 言.
  const std::vector<std::pair<std::string, std::string>> queries = {
      {"夏目漱石", "夏目漱石 こころ 1914～1915\n夏目漱石 坊っちゃん 1906\n"},
      {"～", "夏目漱石 こころ 1914～1915\n"},
      {"ｶﾀｶﾅ", "ｶﾀｶﾅ 言語学 1979\n"},
      {"⾔語", "ｶﾀｶﾅ 言語学 1979\n"},
      {"18 舞姫", "森鴎外 舞姫 1890\n"},
  };
  for (const Copy& copy : kCopies) {
    Records(copy.bom + In(copy.encoding, kRecordsUtf8));
    for (const auto& [query, printed] : queries) {
      const Outcome o = Command({query});
      EXPECT_EQ(o.status, 0) << copy.name << " " << query;
      EXPECT_EQ(o.out, printed) << copy.name << " " << query;
      EXPECT_EQ(o.err, "") << copy.name;
      // kekka.txt and --raw hold the records' own bytes, never the byte-order mark.
      std::string own_utf8;
      for (const char c : printed) own_utf8 += c == '\n' ? std::string("\r\n") : std::string(1, c);
      const std::string own = In(copy.encoding, own_utf8);
      EXPECT_EQ(Results(), own) << copy.name << " " << query;
      EXPECT_EQ(Command({"--raw", query}).out, own + "\r\n") << copy.name << " " << query;
    }
    EXPECT_EQ(Command({"--count", "夏目漱石"}).out, "2\n") << copy.name;
    const Outcome none = Command({"--count", "芥川"});
    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(none.out, "0\n");
  }
}

TEST_F(EncodedFilesCommandTest, Utf16IsRefusedByNameWithExitStatusTwo) {
  testing::WriteFile(dir_ / "kekka.txt", "previous");
  for (const std::string& bytes :
       {"\xff\xfe" + In("UTF-16LE", kRecordsUtf8), In("UTF-16LE", kRecordsUtf8)}) {
    Records(bytes);
    const Outcome o = Command({"1914"});
    EXPECT_EQ(o.status, 2);
    EXPECT_EQ(o.out, "");
    EXPECT_EQ(o.err,
              "tolvane-search: tolvaneken.txtはUTF-16で書かれているため検索できません。"
              "UTF-8かShift-JISで保存し直してください。\n");
    EXPECT_EQ(Results(), "previous");
  }
}

TEST_F(EncodedFilesCommandTest, AQueryCharacterEucJpLacksIsRefusedByName) {
  Records(In("EUC-JP", kRecordsUtf8));
  const Outcome o = Command({"--count", "夏目", "①"});
  EXPECT_EQ(o.status, 2);
  EXPECT_EQ(o.out, "");
  EXPECT_EQ(
      o.err,
      "tolvane-search: 「U+2460 “①”」はtolvaneken.txtの文字コード（EUC-JP）で表せない文字なので、"
      "検索できません。\n");
  // A character neither Shift-JIS nor EUC-JP holds is named the same way.
  EXPECT_NE(Command({"😀"}).err.find("U+1F600"), std::string::npos);
}

TEST_F(EncodedFilesCommandTest, AUtf8FileIsSearchedForAnyCharacter) {
  const std::string records =
      "森鷗外全集 1971\r\nÉtudes japonaises 1980\r\nMüller 1985\r\n𠮷野家 1990\r\n剝製 "
      "1975\r\n한국 2001\r\n";
  Records(records);
  for (const std::string query : {"森鷗外", "Études", "Müller", "𠮷野家", "剝製", "한국"}) {
    const Outcome o = Command({query});
    EXPECT_EQ(o.status, 0) << query << o.err;
    EXPECT_EQ(o.out.substr(0, query.size()), query);
    EXPECT_EQ(Results().substr(0, query.size()), query);  // the records' own bytes
  }
  // The same in a Shift-JIS file: the loose search finds 森鴎外, the exact search names 鷗.
  Records(In("CP932", "森鴎外 舞姫 1890\r\n"));
  EXPECT_EQ(Command({"--loose", "森鷗外"}).out, "森鴎外 舞姫 1890\n");
  const Outcome exact = Command({"森鷗外"});
  EXPECT_EQ(exact.status, 2);
  EXPECT_NE(exact.err.find("「U+9DD7 “鷗”」はtolvaneken.txtの文字コード（Shift-JIS）で表せない"),
            std::string::npos);
  // 149 characters Shift-JIS lacks count 298 bytes: one more is too long.
  std::string longest;
  for (int i = 0; i < 149; ++i) longest += "鷗";
  EXPECT_EQ(Command({"--loose", longest}).status, 1);
  EXPECT_NE(Command({longest + "鷗"}).err.find("too long"), std::string::npos);
}

TEST_F(EncodedFilesCommandTest, AFileInNoKnownEncodingIsSearchedAndToldOnStandardError) {
  std::string cp1252;  // Windows-1252: Müller, Études
  for (int i = 0; i < 40; ++i) cp1252 += "M\xfcller \xc9tudes \x80\r\n";
  for (int i = 0; i < 40; ++i) cp1252 += "Smith " + std::to_string(i) + "\r\n";
  Records(cp1252);
  const Outcome o = Command({"--count", "Smith"});
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.out, "40\n");
  EXPECT_EQ(
      o.err,
      "tolvane-search: tolvaneken.txtの文字コードが分からないため、Shift-JISとして検索しました。"
      "正しく表示されない文字があるかもしれません。\n");
}

TEST_F(EncodedFilesCommandTest, LinesInAnotherEncodingAreToldOnceOnStandardError) {
  // A Shift-JIS file to which a UTF-8 editor appended two lines.
  Records(In("CP932", kRecordsUtf8) + "芥川龍之介 羅生門 1915\r\n芥川龍之介 鼻 1916\r\n");
  const Outcome o = Command({"--count", "1915"});
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.out, "2\n");  // searched as Shift-JIS: the ASCII term finds the appended line too
  EXPECT_EQ(o.err,
            "tolvane-search: tolvaneken.txtの一部の行はほかの文字コードで書かれているようです。"
            "それらの行は検索で見つからないことがあります。\n");
  // Told when nothing matched, too: the lines may be why.
  const Outcome none = Command({"芥川"});
  EXPECT_EQ(none.status, 1);
  EXPECT_NE(none.err.find("ほかの文字コード"), std::string::npos);
}

TEST_F(EncodedFilesCommandTest, TheHelpNamesTheEncodingsAndTheOutputs) {
  const Outcome o = Command({"--help"});
  EXPECT_EQ(o.status, 0);
  for (const char* words : {"UTF-8", "EUC-JP", "UTF-16", "--raw"}) {
    EXPECT_NE(o.out.find(words), std::string::npos) << words;
  }
}

}  // namespace
}  // namespace tolvane
