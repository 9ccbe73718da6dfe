// A bibliography that reached Linux in another encoding, searched as Enter searches it: UTF-8 (with
// and without a byte-order mark) and EUC-JP copies of the Shift-JIS sample give what the
// Shift-JIS file gives, in their own bytes; what cannot be searched is refused by name.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "command_runner.h"
#include "encoding/cp932.h"
#include "encoding/text_encoding.h"
#include "iconv_text.h"
#include "session/file_problem_text.h"
#include "session/records_encoding.h"
#include "session/run.h"
#include "test_util.h"
#include "texts/texts.h"

extern char** environ;

namespace tolvane {
namespace {

// Past the 64 KiB start sample, so that the samples further in are taken too.
constexpr int kSampleRecords = 3000;

// The sample bibliography in Shift-JIS, made once for the whole suite.
const std::string& SampleSjis() {
  static const std::string sample = [] {
    testing::ScratchDir dir;
    const std::string path = dir / "sample.txt";
    std::string records = std::to_string(kSampleRecords);
    std::vector<char*> argv = {const_cast<char*>(TOLVANE_MAKE_SAMPLE_BIN),
                               const_cast<char*>("--records"),
                               records.data(),
                               const_cast<char*>("--output"),
                               const_cast<char*>(path.c_str()),
                               nullptr};
    pid_t pid = -1;
    int status = -1;
    if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) == 0)
      ::waitpid(pid, &status, 0);
    return testing::ReadFile(path);
  }();
  return sample;
}

// The sample's whole lines within its first `bytes`.
std::string FirstLines(std::size_t bytes) {
  return SampleSjis().substr(0, SampleSjis().rfind("\r\n", bytes) + 2);
}

std::string Utf8Of(std::string_view sjis) {
  return testing::IconvText("UTF-8", "CP932", sjis).value();
}
// As `iconv -c -f CP932 -t EUC-JP` writes it: 髙 and 﨑 of the sample are no EUC-JP, and left out.
std::string EucJpOf(std::string_view sjis) {
  return testing::IconvText("EUC-JP", "UTF-8", Utf8Of(sjis), true).value();
}

struct Copy {
  const char* name;
  std::string bytes;
  TextEncoding encoding;
  // The Shift-JIS text in this copy's bytes: what its kekka.txt and box must hold.
  std::string (*of)(std::string_view sjis);
};

std::vector<Copy> Copies() {
  const std::string& sjis = SampleSjis();
  return {
      {"Shift-JIS", sjis, TextEncoding::kShiftJis,
       [](std::string_view s) { return std::string(s); }},
      {"UTF-8", Utf8Of(sjis), TextEncoding::kUtf8, Utf8Of},
      {"UTF-8 with a byte-order mark", std::string(kUtf8ByteOrderMark) + Utf8Of(sjis),
       TextEncoding::kUtf8, Utf8Of},
      {"EUC-JP", EucJpOf(sjis), TextEncoding::kEucJp, EucJpOf},
  };
}

// Queries in UTF-8, as typed: of one and of several terms, the wave dash (～ in the sample), the
// horizontal bar of its subtitles, ASCII, a blank first, none found, and a Kangxi radical ⾔
// pasted for 言.
const std::vector<std::string_view> kQueries = {
    "近世",           "～", "～本居宣長",       "山田 研究", "1979",  "研究 岩波書店",
    "Tokugawa Japan", "―",  "江戸時代　の研究", "芥川",      " 近世", "⾔文一致",
    "第1巻"};

class EncodedFilesTest : public ::testing::Test {
 protected:
  SearchResult Search(std::string_view query_utf8, const RunOptions& options = {}) {
    const Cp932Encoding query = Utf8ToCp932(query_utf8);
    EXPECT_TRUE(query.ok()) << query_utf8;
    return RunSearch(query_utf8, dir_.path(), {}, options);
  }
  // A query of any characters, Shift-JIS or not.
  SearchResult SearchText(std::string_view query_utf8, bool loose = false) {
    RunOptions options;
    options.loose = loose;
    return RunSearch(query_utf8, dir_.path(), {}, options);
  }
  void Records(std::string_view bytes) { testing::WriteFile(dir_ / kRecordsFileName, bytes); }
  std::string Results() { return testing::ReadFile(dir_ / kResultsFileName); }

  testing::ScratchDir dir_;
};

TEST_F(EncodedFilesTest, EveryCopyGivesTheShiftJisCountsInItsOwnBytes) {
  ASSERT_GT(SampleSjis().size(), kEncodingStartSampleBytes);
  RunOptions plain;
  plain.scan.plain = true;
  const std::vector<Copy> copies = Copies();
  for (const std::string_view query : kQueries) {
    Records(SampleSjis());
    const SearchResult sjis = Search(query);
    const std::string sjis_results = Results();
    if (query != "芥川") {
      EXPECT_GT(sjis.matches, 0) << query;
    }
    for (const Copy& copy : copies) {
      Records(copy.bytes);
      for (const RunOptions& options : {RunOptions{}, plain}) {
        const SearchResult result = Search(query, options);
        EXPECT_EQ(result.status, sjis.status) << copy.name << " " << query;
        EXPECT_EQ(result.matches, sjis.matches) << copy.name << " " << query;
        EXPECT_EQ(result.encoding, copy.encoding) << copy.name;
        EXPECT_FALSE(result.other_encoding_lines) << copy.name;
        // kekka.txt holds the records in the file's own encoding, no byte-order mark before them.
        EXPECT_EQ(Results(), copy.of(sjis_results)) << copy.name << " " << query;
        EXPECT_EQ(result.shown.text, copy.of(sjis.shown.text)) << copy.name << " " << query;
        if (result.status == RunStatus::kMatched) {
          ASSERT_EQ(result.shown.blocks.size(), 1u);
          EXPECT_EQ(result.shown.blocks[0].encoding, copy.encoding);
        }
      }
    }
  }
}

TEST_F(EncodedFilesTest, TheCommandCountsWhatTheRunCounts) {
  const std::vector<Copy> copies = Copies();
  for (const std::string_view query : kQueries) {
    Records(SampleSjis());
    const int sjis_matches = Search(query).matches;
    for (const Copy& copy : copies) {
      Records(copy.bytes);
      const testing::CommandOutcome o =
          testing::RunCommand(dir_, {"--count", "--", std::string(query)});
      EXPECT_EQ(o.out, std::to_string(sjis_matches) + "\n") << copy.name << " " << query;
      EXPECT_EQ(o.status, sjis_matches > 0 ? 0 : 1) << copy.name << " " << query;
      EXPECT_EQ(o.err, "") << copy.name;
    }
  }
}

TEST_F(EncodedFilesTest, TheByteOrderMarkIsNoPartOfTheFirstRecord) {
  Records(
      "\xef\xbb\xbf"
      "近世の村\r\n近代\r\n");
  for (const bool plain : {false, true}) {
    RunOptions options;
    options.scan.plain = plain;
    // A blank first: every record, the first one whole and nothing before it.
    const SearchResult all = Search(" ", options);
    EXPECT_EQ(all.matches, 2);
    EXPECT_EQ(Results(), "近世の村\r\n近代\r\n");
    EXPECT_EQ(all.shown.text, "近世の村\r\n近代\r\n\r\n");
  }
  // A file of the mark alone holds no record.
  Records("\xef\xbb\xbf");
  EXPECT_EQ(Search(" ").matches, 0);
}

TEST_F(EncodedFilesTest, Utf16IsRefusedByNameAndTheResultsStayAsTheyWere) {
  testing::WriteFile(dir_ / kResultsFileName, "previous");
  const std::string utf8 = Utf8Of(FirstLines(20000));
  for (const std::string& bytes :
       {"\xff\xfe" + testing::IconvText("UTF-16LE", "UTF-8", utf8).value(),
        "\xfe\xff" + testing::IconvText("UTF-16BE", "UTF-8", utf8).value(),
        testing::IconvText("UTF-16LE", "UTF-8", utf8).value()}) {
    Records(bytes);
    const SearchResult result = Search("1979");
    EXPECT_EQ(result.status, RunStatus::kUnreadableEncoding);
    EXPECT_EQ(result.matches, 0);
    ASSERT_TRUE(result.problem);
    EXPECT_EQ(result.problem->message, kUtf16RecordsMessage);
    EXPECT_EQ(Results(), "previous");
  }
  EXPECT_FALSE(Search("1979").unknown_encoding);
}

TEST_F(EncodedFilesTest, AQueryCharacterTheFilesEncodingLacksIsRefusedByName) {
  testing::WriteFile(dir_ / kResultsFileName, "previous");
  Records(EucJpOf(FirstLines(5000)));
  const SearchResult result = Search("近世 ①");
  EXPECT_EQ(result.status, RunStatus::kUnconvertibleQuery);
  ASSERT_TRUE(result.problem);
  EXPECT_EQ(result.problem->character, U'\u2460');
  EXPECT_EQ(result.problem->encoding, TextEncoding::kEucJp);
  EXPECT_EQ(
      RunProblemMessage(*result.problem),
      "「U+2460 “①”」はtolvaneken.txtの文字コード（EUC-JP）で表せない文字なので、検索できません。");
  EXPECT_EQ(Results(), "previous");
  // The same character is searched in a UTF-8 file, which holds every character.
  Records(Utf8Of("\x87\x40 \x8b\xdf\x90\xa2\r\n"));  // ① 近世
  EXPECT_EQ(Search("近世 ①").matches, 1);
}

TEST_F(EncodedFilesTest, LinesInAnotherEncodingAtTheFilesEndAreTold) {
  // Lines a UTF-8 editor appended to the Shift-JIS sample, past every sample of its start.
  const std::string appended = "近世の追記 1979\r\n近世の追記 1980\r\n";
  Records(SampleSjis() + appended);
  const SearchResult result = Search("1979");
  EXPECT_EQ(result.encoding, TextEncoding::kShiftJis);
  EXPECT_TRUE(result.other_encoding_lines);
  // Searched as Shift-JIS: the ASCII term finds the appended line too, the count as it is.
  Records(SampleSjis());
  EXPECT_EQ(result.matches, Search("1979").matches + 1);
  EXPECT_FALSE(Search("1979").other_encoding_lines);
}

// Characters beyond Shift-JIS: four-byte UTF-8, accented Latin, Korean, JIS X 0213 kanji.
constexpr std::string_view kWorldRecords =
    "森鷗外全集 岩波書店 1971\r\nÉtudes japonaises 1980\r\nMüller, K. Tokyo 1985\r\n𠮷野家の歴史 "
    "1990\r\n"
    "剝製の技術 1975\r\n한국 문학사 2001\r\nTanaka 2001\r\n";

TEST_F(EncodedFilesTest, AUtf8FileIsSearchedForCharactersShiftJisLacks) {
  Records(kWorldRecords);
  for (const std::string_view query : {"森鷗外", "Études", "Müller", "𠮷野家", "剝製", "한국"}) {
    const SearchResult result = SearchText(query);
    EXPECT_EQ(result.encoding, TextEncoding::kUtf8) << query;
    EXPECT_EQ(result.matches, 1) << query;
    // kekka.txt holds the record's own bytes.
    const std::string results = Results();
    EXPECT_NE(results.find(query), std::string::npos) << query;
    EXPECT_NE(kWorldRecords.find(results), std::string_view::npos) << query;
  }
  // A combining sequence is searched as typed: e + U+0301 is not É, nor é.
  Records("Cafe\xcc\x81 1999\r\nCaf\xc3\xa9 2000\r\n");
  EXPECT_EQ(SearchText("Cafe\xcc\x81").matches, 1);
  EXPECT_EQ(SearchText("e\xcc\x81 1999").matches, 1);
}

TEST_F(EncodedFilesTest, AShiftJisFileFindsAVariantInTheLooseSearchAndNamesTheCharacterInTheExact) {
  // 森鴎外 1971 and 剥製 1975 in Shift-JIS.
  Records("\x90\x58\x89\xa8\x8a\x4f 1971\r\n\x94\x8d\x90\xbb 1975\r\n");
  EXPECT_EQ(SearchText("森鷗外", true).matches, 1);
  EXPECT_EQ(Results(), "\x90\x58\x89\xa8\x8a\x4f 1971\r\n");
  const SearchResult exact = SearchText("森鷗外");
  EXPECT_EQ(exact.status, RunStatus::kUnconvertibleQuery);
  ASSERT_TRUE(exact.problem);
  EXPECT_EQ(exact.problem->character, U'\u9dd7');
  EXPECT_EQ(
      RunProblemMessage(*exact.problem),
      "「U+9DD7 "
      "“鷗”」はtolvaneken.txtの文字コード（Shift-JIS）で表せない文字なので、検索できません。");
  // A character with no variant Shift-JIS holds is refused in the loose search too.
  EXPECT_EQ(SearchText("한국", true).status, RunStatus::kUnconvertibleQuery);
}

TEST_F(EncodedFilesTest, HalfWidthKanaThatAreUtf8TooAreShiftJis) {
  // ﾐｽ is D0 BD, which UTF-8 reads as н.
  Records("\xd0\xbd Tanaka 2001\r\n\xd0\xbd\xd4\xbd Suzuki 2002\r\n");
  const SearchResult result = SearchText("ﾐｽ");
  EXPECT_EQ(result.encoding, TextEncoding::kShiftJis);
  EXPECT_FALSE(result.other_encoding_lines);
  EXPECT_EQ(result.matches, 2);
  // 明治 saved by a UTF-8 editor is still UTF-8.
  Records("明治 1900\r\n");
  EXPECT_EQ(SearchText("明治").encoding, TextEncoding::kUtf8);
}

TEST_F(EncodedFilesTest, FilesInNoKnownEncodingAreSearchedAsShiftJisAndTold) {
  // Forty Windows-1252 lines and forty ASCII lines, as in old exports from European catalogues.
  std::string cp1252;
  for (int i = 0; i < 40; ++i)
    cp1252 += "M\xfcller \xc9tudes \x80 \xff" + std::to_string(i) + "\r\n";
  for (int i = 0; i < 40; ++i) cp1252 += "Smith " + std::to_string(i) + "\r\n";
  // Shift-JIS whose lines carry Mac's FD, FE and FF bytes (©, ™, …).
  std::string mac;
  for (int i = 0; i < 40; ++i)
    mac += "\x96\xbe\x8e\xa1\xfd Smith\xfe\xff " + std::to_string(i) + "\r\n";
  for (const std::string& records : {cp1252, mac}) {
    Records(records);
    const SearchResult result = SearchText("Smith");
    EXPECT_EQ(result.status, RunStatus::kMatched);
    EXPECT_EQ(result.matches, 40);
    EXPECT_TRUE(result.unknown_encoding);
    EXPECT_EQ(result.encoding, TextEncoding::kShiftJis);
  }
  // Searched as Shift-JIS bytes: 明治 finds the Mac file's lines.
  EXPECT_EQ(SearchText("明治").matches, 40);
}

TEST(RecordsEncoding, SamplesTheStartAndTheEndOfALargeFile) {
  testing::ScratchDir dir;
  const std::string path = dir / "records.txt";
  // A UTF-8 file of 1 MiB of ASCII lines with one Japanese line at its very end.
  std::string text;
  while (text.size() < (std::size_t{1} << 20)) text += "Smith (1988) Village Society\r\n";
  testing::WriteFile(path, text + "近世\r\n");
  const int fd = ::open(path.c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(DetectRecordsEncoding(fd).kind, EncodingVerdict::Kind::kUtf8);
  ::close(fd);
}

}  // namespace
}  // namespace tolvane
