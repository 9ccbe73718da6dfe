#include "session/run.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "fake_screen.h"
#include "test_util.h"
#include "texts/texts.h"

namespace tolvane {
namespace {

class RunSearchTest : public ::testing::Test {
 protected:
  SearchResult Search(std::string_view query) { return screen_.Search(query, dir_.path()); }
  void Records(std::string_view bytes) { testing::WriteFile(dir_ / kRecordsFileName, bytes); }
  std::string Results() { return testing::ReadFile(dir_ / kResultsFileName); }

  testing::ScratchDir dir_;
  testing::FakeScreen screen_;
};

std::string Lines(int count, std::string_view prefix, std::string_view ending = "\r\n") {
  std::string text;
  for (int i = 1; i <= count; ++i)
    text += std::string(prefix) + std::to_string(i) + std::string(ending);
  return text;
}

TEST_F(RunSearchTest, WritesEveryMatchAndShowsTheFirst500) {
  Records(Lines(600, "hit ") + "miss\r\n");
  const SearchResult result = Search("hit");
  EXPECT_EQ(result.matches, 600);
  EXPECT_EQ(result.status, RunStatus::kMatched);
  EXPECT_EQ(Results(), Lines(600, "hit "));
  ASSERT_EQ(screen_.boxes.size(), 1u);
  EXPECT_EQ(screen_.boxes[0], Lines(500, "hit ") + "\r\n");
  EXPECT_EQ(screen_.captions, std::vector<std::string>{CountCaption(600)});
  EXPECT_EQ(CountCaption(600).substr(0, 11),
            "\x8c\x8f\x90\x94\x81\x46"
            "600  ");
  EXPECT_NE(CountCaption(600).find("500\x8c\x8f\x82\xdc\x82\xc5"), std::string::npos);  // 500件まで
}

TEST_F(RunSearchTest, CaptionChangesFormAfter500Matches) {
  Records(Lines(500, "hit "));
  EXPECT_EQ(Search("hit").matches, 500);
  EXPECT_EQ(screen_.captions.back(), CountCaption(500));
  EXPECT_EQ(CountCaption(500).find("500\x8c\x8f\x82\xdc\x82\xc5"), std::string::npos);

  Records(Lines(501, "hit "));
  screen_.shown.text.clear();
  EXPECT_EQ(Search("hit").matches, 501);
  EXPECT_EQ(screen_.boxes.back(), Lines(500, "hit ") + "\r\n");
  EXPECT_NE(screen_.captions.back().find("500\x8c\x8f\x82\xdc\x82\xc5"), std::string::npos);
}

// The box's byte limit ends what is shown, never the count or the results file.
TEST_F(RunSearchTest, CountsAndWritesEveryMatchPastTheBoxsByteLimit) {
  // 150 records of 745 bytes with their LF: the 100th shown record brings the text to 74,600.
  std::string records;
  for (int i = 0; i < 150; ++i) records += std::string(744, 'a') + "\n";
  Records(records);
  const SearchResult result = Search("a");
  EXPECT_EQ(result.matches, 150);
  EXPECT_EQ(result.shown_records, 100);
  std::string expected_results;
  for (int i = 0; i < 150; ++i) expected_results += std::string(744, 'a') + "\r\n";
  EXPECT_EQ(Results(), expected_results);
  EXPECT_EQ(screen_.boxes.back().size(), 74600u + 2);
  // Fewer shown than matched: the caption sends the user to the editor.
  EXPECT_EQ(screen_.captions.back(), CountCaption(150, 100));
  EXPECT_NE(screen_.captions.back().find("500\x8c\x8f\x82\xdc\x82\xc5"), std::string::npos);

  // The same file cut to its first 100: the box is full, yet shows every match.
  Records(records.substr(0, 100 * 745));
  screen_.shown = {};
  EXPECT_EQ(Search("a").matches, 100);
  EXPECT_EQ(screen_.captions.back(), CountCaption(100));
  EXPECT_EQ(screen_.captions.back().find("500\x8c\x8f\x82\xdc\x82\xc5"), std::string::npos);
}

// Records of 507 bytes on disk (505 and CR LF), as a humanities bibliography holds: 147 of them
// pass 74,500 bytes, yet all 300 are counted and written.
TEST_F(RunSearchTest, LongRecordsAreAllCountedAndWrittenWhileTheBoxShowsWhatItsLimitsAllow) {
  const std::string record = std::string(501, 'r') + " hit\r\n";
  ASSERT_EQ(record.size(), 507u);
  std::string records;
  for (int i = 0; i < 300; ++i) records += record;
  Records(records);
  std::vector<std::string> shown;
  RunOptions options;
  options.on_shown_record = [&](std::string_view text) { shown.emplace_back(text); };
  const SearchResult result = screen_.Search("hit", dir_.path(), options);
  EXPECT_EQ(result.matches, 300);
  EXPECT_EQ(result.shown_records, 147);
  EXPECT_EQ(shown.size(), 147u);
  EXPECT_EQ(Results(), records);
  std::string box;
  for (int i = 0; i < 147; ++i) box += record;
  EXPECT_EQ(screen_.boxes.back(), box + "\r\n");
  EXPECT_EQ(result.caption, CountCaption(300, 147));
  EXPECT_EQ(result.caption,
            "\x8c\x8f\x90\x94\x81\x46"
            "300" +
                std::string(kManyMatchesCaption.substr(8)));
}

TEST(CountCaption, TakesTheEditorFormWheneverTheBoxShowsFewerThanMatched) {
  EXPECT_EQ(CountCaption(1, 1).find("500\x8c\x8f"), std::string::npos);
  EXPECT_EQ(CountCaption(500, 500).find("500\x8c\x8f"), std::string::npos);
  EXPECT_NE(CountCaption(501, 500).find("500\x8c\x8f"), std::string::npos);
  EXPECT_NE(CountCaption(2, 1).find("500\x8c\x8f"), std::string::npos);
  // Past what an int holds, as a file of billions of short records can give.
  EXPECT_EQ(CountCaption(3000000000, 500).substr(6, 10), "3000000000");
}

TEST_F(RunSearchTest, NewestBlockComesFirstWithAnEmptyLineBetweenBlocks) {
  Records("apple 1\r\nbanana 2\r\napple banana 3\r\n");
  Search("apple");
  Search("banana");
  EXPECT_EQ(screen_.shown.text,
            "banana 2\r\napple banana 3\r\n\r\napple 1\r\napple banana 3\r\n\r\n");
  EXPECT_EQ(screen_.boxes.back(), screen_.shown.text);
}

TEST_F(RunSearchTest, NoMatchEmptiesTheResultsFileAndLeavesTheScreenAlone) {
  Records("apple\r\n");
  Search("apple");
  const SearchResult result = Search("cherry");
  EXPECT_EQ(result.matches, 0);
  EXPECT_EQ(result.status, RunStatus::kNoMatch);
  EXPECT_EQ(Results(), "");
  EXPECT_EQ(screen_.boxes.size(), 1u);
  EXPECT_EQ(screen_.captions.size(), 1u);
  EXPECT_TRUE(screen_.errors.empty());

  Records("");
  EXPECT_EQ(Search("apple").status, RunStatus::kNoMatch);
}

TEST_F(RunSearchTest, LineEndsOfShownRecords) {
  // A last record without LF gets its line end from the block's closing CR LF; a lead byte before
  // the LF keeps it bare; pieces of a long line run together.
  Records("x\x81\nx end");
  Search("x");
  EXPECT_EQ(screen_.boxes.back(), "x\x81\nx end\r\n");
  EXPECT_EQ(Results(), "x\x81\r\nx end");

  const std::string piece(kRecordTextBytes, 'y');
  Records("x" + piece + "\nx next\n");
  screen_.shown.text.clear();
  EXPECT_EQ(Search("x").matches, 2);  // the first piece, then "x next"
  EXPECT_EQ(screen_.boxes.back(), "x" + piece.substr(1) + "x next\r\n\r\n");
}

TEST_F(RunSearchTest, MissingRecordsFileIsReportedAndNothingIsCreated) {
  const SearchResult result = Search("a");
  EXPECT_EQ(result.matches, 0);
  EXPECT_EQ(result.status, RunStatus::kNoRecordsFile);
  EXPECT_EQ(screen_.errors, std::vector<std::string>{std::string(kNoRecordsFileMessage)});
  EXPECT_FALSE(testing::Exists(dir_ / kResultsFileName));
  EXPECT_TRUE(screen_.boxes.empty());

  // Neither is a folder, a FIFO nobody writes to (which would block) or an endless device.
  std::filesystem::create_directory(dir_ / kRecordsFileName);
  EXPECT_EQ(Search("a").status, RunStatus::kNoRecordsFile);
  std::filesystem::remove(dir_ / kRecordsFileName);
  ASSERT_EQ(::mkfifo((dir_ / kRecordsFileName).c_str(), 0600), 0);
  EXPECT_EQ(Search("a").status, RunStatus::kNoRecordsFile);
  std::filesystem::remove(dir_ / kRecordsFileName);
  std::filesystem::create_symlink("/dev/zero", dir_ / kRecordsFileName);
  EXPECT_EQ(Search("a").status, RunStatus::kNoRecordsFile);
  EXPECT_FALSE(testing::Exists(dir_ / kResultsFileName));
}

TEST_F(RunSearchTest, AMissingRecordsFileTellsItIsMissingAndHoldsRecordsFileAgrees) {
  EXPECT_FALSE(HoldsRecordsFile(dir_.path()));
  const SearchResult missing = Search("a");
  ASSERT_TRUE(missing.problem && missing.problem->file);
  EXPECT_EQ(missing.problem->file->kind, FileProblem::Kind::kMissing);

  Records("a\n");
  EXPECT_TRUE(HoldsRecordsFile(dir_.path()));
  // Where a search finds none, neither is one held.
  for (const std::string& folder :
       {dir_ / "gone", dir_ / kRecordsFileName + "/..", std::string()}) {
    EXPECT_FALSE(HoldsRecordsFile(folder)) << folder;
    const SearchResult result = RunSearch("a", folder, {});
    ASSERT_TRUE(result.problem && result.problem->file) << folder;
    EXPECT_EQ(result.problem->file->kind, FileProblem::Kind::kMissing) << folder;
  }
}

TEST_F(RunSearchTest, ResultsFileThatCannotBeCreatedIsReported) {
  Records("a\n");
  std::filesystem::create_directory(dir_ / kResultsFileName);
  EXPECT_EQ(Search("a").status, RunStatus::kCannotCreateResults);
  EXPECT_EQ(screen_.errors, std::vector<std::string>{std::string(kCannotCreateResultsMessage)});
  EXPECT_TRUE(screen_.captions.empty());
}

TEST_F(RunSearchTest, AnotherUsersLinkIsNotFollowedForEitherFile) {
  if (::geteuid() != 0) GTEST_SKIP() << "planting another user's link needs root";
  testing::ScratchDir home;
  const std::string victim = home / ".bashrc";
  testing::WriteFile(victim, "mine\n");
  const auto plant = [&](const std::string& name) {
    std::filesystem::create_symlink(victim, dir_ / name);
    ASSERT_EQ(::lchown((dir_ / name).c_str(), testing::kNobody, testing::kNobody), 0);
  };
  Records("mine\n");
  plant(kResultsFileName);
  SearchResult result = Search("mine");
  EXPECT_EQ(result.status, RunStatus::kCannotCreateResults);
  ASSERT_TRUE(result.problem && result.problem->file);
  EXPECT_EQ(result.problem->file->kind, FileProblem::Kind::kRefusedLink);
  EXPECT_EQ(result.problem->file->link, kResultsFileName);
  EXPECT_EQ(testing::ReadFile(victim), "mine\n");

  std::filesystem::remove(dir_ / kRecordsFileName);
  plant(kRecordsFileName);
  result = Search("mine");
  EXPECT_EQ(result.status, RunStatus::kNoRecordsFile);
  ASSERT_TRUE(result.problem && result.problem->file);
  EXPECT_EQ(result.problem->file->kind, FileProblem::Kind::kRefusedLink);
  EXPECT_TRUE(screen_.boxes.empty());
}

TEST_F(RunSearchTest, TheUsersOwnLinkIsWrittenThroughAndTheResultsKeepTheirMode) {
  testing::ScratchDir elsewhere;
  testing::WriteFile(elsewhere / "results", "old");
  ASSERT_EQ(::chmod((elsewhere / "results").c_str(), 0640), 0);
  std::filesystem::create_symlink(elsewhere / "results", dir_ / kResultsFileName);
  Records("a 1\r\nb\r\na 2\r\n");
  EXPECT_EQ(Search("a").matches, 2);
  EXPECT_EQ(testing::ReadFile(elsewhere / "results"), "a 1\r\na 2\r\n");
  EXPECT_TRUE(std::filesystem::is_symlink(dir_ / kResultsFileName));
  struct stat info {};
  ASSERT_EQ(::stat((elsewhere / "results").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0640u);
  EXPECT_EQ(testing::NamesIn(elsewhere.path()), std::set<std::string>{"results"});
}

TEST_F(RunSearchTest, AFileSystemWithoutUnnamedFilesGetsTheSameWholeResults) {
  Records("a 1\r\nb\r\na 2\r\n");
  testing::WriteFile(dir_ / kResultsFileName, "old");
  RunOptions named;
  named.unnamed_results_file = false;
  EXPECT_EQ(screen_.Search("a", dir_.path(), named).matches, 2);
  EXPECT_EQ(Results(), "a 1\r\na 2\r\n");
  EXPECT_EQ(testing::NamesIn(dir_.path()),
            (std::set<std::string>{kRecordsFileName, kResultsFileName}));
}

TEST_F(RunSearchTest, SearchesInTheStartFolderAndNeverMovesTheProcess) {
  Records("a\n");
  const std::filesystem::path before = std::filesystem::current_path();
  EXPECT_EQ(Search("a").matches, 1);
  EXPECT_EQ(Results(), "a\r\n");
  EXPECT_EQ(std::filesystem::current_path(), before);
}

TEST_F(RunSearchTest, AStartFolderThatIsGoneIsNeverReplacedByTheWorkingDirectory) {
  // The working directory holds a records file that matches; the start folder has vanished.
  testing::ScratchDir here;
  testing::WriteFile(here / kRecordsFileName, "a\n");
  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(here.path());
  const std::string gone = dir_ / "gone";
  for (const std::string& start_dir : {gone, std::string()}) {
    const SearchResult result = screen_.Search("a", start_dir);
    EXPECT_EQ(result.status, RunStatus::kNoRecordsFile) << start_dir;
  }
  std::filesystem::current_path(before);
  EXPECT_EQ(screen_.errors.size(), 2u);
  EXPECT_FALSE(testing::Exists(here / kResultsFileName));
  EXPECT_TRUE(screen_.boxes.empty());
}

TEST_F(RunSearchTest, ShownRecordsReachTheirSinkAsReadUpToTheDisplayLimit) {
  Records(Lines(502, "hit ") + "hit \x82\n");
  std::vector<std::string> shown;
  RunOptions options;
  options.on_shown_record = [&](std::string_view record) { shown.emplace_back(record); };
  EXPECT_EQ(screen_.Search("hit", dir_.path(), options).matches, 503);
  ASSERT_EQ(shown.size(), 500u);
  EXPECT_EQ(shown.front(), "hit 1\n");  // the line feed as read, not the box's CR LF
  EXPECT_EQ(shown.back(), "hit 500\n");
}

TEST_F(RunSearchTest, EachBlockOfTheBoxKeepsTheTermsThatFoundIt) {
  Records("apple 1\r\nbanana 2\r\napple banana 3\r\n");
  Search(
      "banana\xe3\x80\x80"
      "3");                // a full-width blank (U+3000) splits terms
  Search("no-such-term");  // a search without matches changes nothing
  Search("apple");
  // Each block keeps where the engine found its terms, in bytes from the block's start.
  constexpr TextEncoding kSjis = TextEncoding::kShiftJis;
  EXPECT_EQ(screen_.shown.blocks,
            (std::vector<ShownBlock>{{27, {"apple"}, kSjis, false, {{0, 5}, {9, 14}}},
                                     {18, {"banana", "3"}, kSjis, false, {{6, 12}, {13, 14}}}}));
  EXPECT_EQ(screen_.shown.text.substr(27), "apple banana 3\r\n\r\n");
}

TEST(MergeShown, TheBlocksFollowTheCut) {
  ShownResults older;
  older.text = std::string(40000, 'o') + "\r\n" + std::string(34000, 'p') + "\r\n";
  older.blocks = {{40002, {"o"}}, {34002, {"p"}}};
  // The newest block and the first older one fit; the second is cut off at the first one's end.
  ShownResults merged = MergeShown(std::string(4000, 'n') + "\r\n", {"n"}, older);
  ASSERT_EQ(merged.text.size(), 44004u);
  EXPECT_EQ(merged.blocks, (std::vector<ShownBlock>{{4002, {"n"}}, {40002, {"o"}}}));
  // One older block that the cut shortens is shortened, and keeps only the spans it still holds
  // whole.
  constexpr TextEncoding kSjis = TextEncoding::kShiftJis;
  older.blocks = {
      {74004, {"o", "p"}, kSjis, false, {{0, 2}, {39999, 40002}, {40001, 40003}, {70000, 70001}}}};
  merged = MergeShown(std::string(4000, 'n') + "\r\n", {"n"}, older);
  EXPECT_EQ(merged.blocks,
            (std::vector<ShownBlock>{{4002, {"n"}},
                                     {40002, {"o", "p"}, kSjis, false, {{0, 2}, {39999, 40002}}}}));
  // A block that fills the box drops every older one.
  merged = MergeShown(std::string(74999, 'n'), {"n"}, older);
  EXPECT_EQ(merged.blocks, (std::vector<ShownBlock>{{74999, {"n"}}}));
}

// MergeResults puts a new block over the older text and keeps the whole near 75,000 bytes.
std::string OlderText(std::size_t size, std::string_view ending) {
  return std::string(size - ending.size(), 'o') + std::string(ending);
}

TEST(MergeResults, KeepsEverythingBelow75000Bytes) {
  const std::string older = OlderText(4999, "\r\n");
  EXPECT_EQ(MergeResults(std::string(70000, 'n'), older).size(), 74999u);
}

TEST(MergeResults, KeepsTheOlderTextWholeAtExactly75000Bytes) {
  const std::string older = OlderText(5000, "\r\n");
  EXPECT_EQ(MergeResults(std::string(70000, 'n'), older).size(), 75000u);
}

TEST(MergeResults, DropsOnlyTheFinalLineEndAt75001BytesWithAClosingEmptyLine) {
  const std::string older = OlderText(5001, "x\r\n\r\n");
  const std::string merged = MergeResults(std::string(70000, 'n'), older);
  EXPECT_EQ(merged.size(), 74999u);
  EXPECT_EQ(merged.substr(merged.size() - 3), "x\r\n");
}

TEST(MergeResults, CutsAtAnOlderLineEndWhenNoneLiesWithinTheFirst500Positions) {
  // The older text: a short line, then a line of 2,000 bytes.
  const std::string older = "old\r\n" + std::string(2000, 'o') + "\r\n";
  const std::string block(75000 - older.size() + 1, 'n');
  EXPECT_EQ(MergeResults(block, older), block + "old\r\n");
}

TEST(MergeResults, DropsTheOlderTextWhenTheNewBlockFillsTheBox) {
  const std::string block(74999, 'n');
  EXPECT_EQ(MergeResults(block, "a\r\nb\r\n"), block);
  const std::string largest(77501, 'n');
  EXPECT_EQ(MergeResults(largest, "a\r\n"), largest);
  EXPECT_EQ(MergeResults(block, ""), block);
}

// A start folder, or a kekka.txt in it, that the user may not write: the search runs all the
// same, its results go whole to the folder the caller names, and nothing in the start folder
// changes. Run as an ordinary user (nobody, when the tests run as root), in folders under /tmp
// that every user may enter.
class ResultsElsewhereTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(dir_.path().empty() || own_.path().empty());
    testing::WriteFile(dir_ / kRecordsFileName, "hit 1\r\nmiss\r\nhit 2\r\n");
    ASSERT_EQ(::chmod((dir_ / kRecordsFileName).c_str(), 0644), 0);
    ASSERT_EQ(::chmod(dir_.path().c_str(), 0755), 0);
    if (::geteuid() == 0) {
      ASSERT_EQ(::chown(own_.path().c_str(), testing::kNobody, testing::kNobody), 0);
    }
    ASSERT_TRUE(testing::OthersCanEnter(dir_.path())) << dir_.path();
  }

  RunOptions WithOwnFolder() const {
    RunOptions options;
    options.results_fallback = [path = own_.path()] {
      return ResultsFolder{UniqueFd(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)),
                           path};
    };
    return options;
  }

  // Searches "hit" as an ordinary user; true when both matches went whole to the own folder.
  bool ResultsGoElsewhere() {
    const std::string elsewhere = own_ / kResultsFileName;
    const std::optional<bool> as_user = testing::AsOrdinaryUser([&] {
      const SearchResult result = RunSearch("hit", dir_.path(), {}, WithOwnFolder());
      return result.status == RunStatus::kMatched && result.matches == 2 &&
             result.results_elsewhere == elsewhere && result.shown.text == "hit 1\r\nhit 2\r\n\r\n";
    });
    return as_user.value_or(false) && testing::ReadFile(elsewhere) == "hit 1\r\nhit 2\r\n";
  }

  std::set<std::string> StartFolderNames() const { return testing::NamesIn(dir_.path()); }

  testing::ScratchDir dir_{testing::kEveryonesTempDir};
  testing::ScratchDir own_{testing::kEveryonesTempDir};
};

TEST_F(ResultsElsewhereTest, AFolderOfMode555IsSearchedAndLeftAsItWas) {
  ASSERT_EQ(::chmod(dir_.path().c_str(), 0555), 0);
  EXPECT_TRUE(ResultsGoElsewhere());
  EXPECT_EQ(StartFolderNames(), std::set<std::string>{kRecordsFileName});
}

// A shared kekka.txt that others may write, in a folder the user may not: written elsewhere too,
// so that every results file stays whole, and the shared one as it was.
TEST_F(ResultsElsewhereTest, AWritableResultsFileInAFolderOfMode555IsLeftAsItWas) {
  testing::WriteFile(dir_ / kResultsFileName, "shared\r\n");
  ASSERT_EQ(::chmod((dir_ / kResultsFileName).c_str(), 0666), 0);
  ASSERT_EQ(::chmod(dir_.path().c_str(), 0555), 0);
  EXPECT_TRUE(ResultsGoElsewhere());
  EXPECT_EQ(testing::ReadFile(dir_ / kResultsFileName), "shared\r\n");
  EXPECT_EQ(StartFolderNames(), (std::set<std::string>{kRecordsFileName, kResultsFileName}));
}

// A rename needs only the folder's permission; a file its owner made read-only is kept anyway,
// from root as well.
TEST_F(ResultsElsewhereTest, AResultsFileOfMode444IsNeverReplaced) {
  testing::WriteFile(dir_ / kResultsFileName, "kept\r\n");
  ASSERT_EQ(::chmod((dir_ / kResultsFileName).c_str(), 0444), 0);
  ASSERT_EQ(::chmod(dir_.path().c_str(), 0777), 0);
  EXPECT_TRUE(ResultsGoElsewhere());
  EXPECT_EQ(testing::ReadFile(dir_ / kResultsFileName), "kept\r\n");

  const SearchResult mine = RunSearch("hit", dir_.path(), {}, WithOwnFolder());
  EXPECT_EQ(mine.results_elsewhere, own_ / kResultsFileName);
  EXPECT_EQ(testing::ReadFile(dir_ / kResultsFileName), "kept\r\n");
  struct stat info {};
  ASSERT_EQ(::stat((dir_ / kResultsFileName).c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0444u);
  EXPECT_EQ(StartFolderNames(), (std::set<std::string>{kRecordsFileName, kResultsFileName}));
}

TEST_F(ResultsElsewhereTest, AnotherUsersResultsFileInAStickyFolderIsLeftAlone) {
  if (::geteuid() != 0)
    GTEST_SKIP() << "another user's file in a sticky folder needs root to set up";
  testing::WriteFile(dir_ / kResultsFileName, "root's\r\n");
  ASSERT_EQ(::chmod((dir_ / kResultsFileName).c_str(), 0666), 0);
  ASSERT_EQ(::chmod(dir_.path().c_str(), 01777), 0);
  EXPECT_TRUE(ResultsGoElsewhere());
  EXPECT_EQ(testing::ReadFile(dir_ / kResultsFileName), "root's\r\n");
  EXPECT_EQ(StartFolderNames(), (std::set<std::string>{kRecordsFileName, kResultsFileName}));
}

// Only a folder the user may not write sends the results elsewhere; without a folder for them
// such a search fails as it always did, naming why.
TEST_F(ResultsElsewhereTest, WithoutAFolderForThemTheSearchFailsAndSaysWhy) {
  ASSERT_EQ(::chmod(dir_.path().c_str(), 0555), 0);
  const std::optional<bool> failed = testing::AsOrdinaryUser([&] {
    RunOptions unopened;
    unopened.results_fallback = [] { return ResultsFolder{}; };
    for (const RunOptions& options : {RunOptions{}, unopened}) {
      const SearchResult result = RunSearch("hit", dir_.path(), {}, options);
      if (result.status != RunStatus::kCannotCreateResults || !result.problem ||
          !result.problem->file || result.problem->file->error != EACCES ||
          !result.results_elsewhere.empty()) {
        return false;
      }
    }
    return true;
  });
  EXPECT_EQ(failed, std::optional<bool>(true));
  EXPECT_EQ(StartFolderNames(), std::set<std::string>{kRecordsFileName});

  // A writable folder keeps its own results, fallback or not.
  ASSERT_EQ(::chmod(dir_.path().c_str(), 0777), 0);
  const SearchResult here = RunSearch("hit", dir_.path(), {}, WithOwnFolder());
  EXPECT_TRUE(here.results_elsewhere.empty());
  EXPECT_EQ(testing::ReadFile(dir_ / kResultsFileName), "hit 1\r\nhit 2\r\n");
  EXPECT_FALSE(testing::Exists(own_ / kResultsFileName));
}

}  // namespace
}  // namespace tolvane
