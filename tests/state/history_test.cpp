#include "state/history.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "encoding/primitives.h"
#include "encoding/sjis.h"
#include "state/start_dir.h"

namespace tolvane {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

// Shift-JIS spellings used below.
constexpr std::string_view kKen = "\x8c\x9f";   // 検
constexpr std::string_view kSaku = "\x8d\xf5";  // 索
constexpr std::string_view kGo = "\x8c\xea";    // 語

std::string Placeholders() {
  std::string text;
  for (int i = 0; i < 20; ++i) {
    char line[8];
    std::snprintf(line, sizeof line, "%04d\r\n", i);
    text += line;
  }
  return text;
}

std::string Repeat(std::string_view unit, std::size_t times) {
  std::string text;
  for (std::size_t i = 0; i < times; ++i) text += unit;
  return text;
}

bool EndsOnBoundary(const std::string& text) { return IsCharBoundary(text, text.size()); }

class HistoryFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/tolvane-history-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string FilePath() const { return dir_ + "/history.txt"; }
  void WriteStateFile(const std::string& bytes) const {
    std::ofstream(FilePath(), std::ios::binary) << bytes;
  }
  std::string ReadStateFile() const {
    std::ifstream in(FilePath(), std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
  }
  HistoryTable Reloaded() const {
    HistoryTable table;
    table.Load(dir_);
    return table;
  }
  void ExpectEverySlotFits(const HistoryTable& table) const {
    for (std::size_t i = 0; i < kHistorySlots; ++i) {
      EXPECT_LE(table.Slot(i).size(), kSlotTextBytes) << "slot " << i;
      EXPECT_TRUE(EndsOnBoundary(table.Slot(i))) << "slot " << i;
    }
  }

  std::string dir_;
};

TEST_F(HistoryFileTest, FirstStartWritesPlaceholdersAndNotepad) {
  HistoryTable table;
  table.Load(dir_);
  EXPECT_EQ(table.Slot(0), "0000");
  EXPECT_EQ(table.Slot(19), "0019");
  EXPECT_EQ(table.EditorCommand(), "notepad");

  ASSERT_TRUE(table.Save(dir_));
  EXPECT_EQ(ReadStateFile(), Placeholders() + "notepad\r\n");
  EXPECT_EQ(fs::directory_iterator(dir_)->path().filename(), "history.txt");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
}

TEST_F(HistoryFileTest, QueriesWithBlanksRoundTripAsOneEntry) {
  HistoryTable table;
  table.Load(dir_);
  std::string japanese = std::string(kKen) + std::string(kSaku) + " " + std::string(kGo);
  ASSERT_TRUE(table.AddToHistory(japanese));
  const std::string stored = std::string(kKen) + std::string(kSaku) + "\x81\x40" + std::string(kGo);
  EXPECT_EQ(japanese, stored);  // the caller searches the widened copy
  ASSERT_TRUE(table.Save(dir_));

  EXPECT_EQ(ReadStateFile().substr(0, stored.size() + 8), stored + "\r\n0000\r\n");
  const HistoryTable again = Reloaded();
  EXPECT_EQ(again.Slot(0), stored);
  EXPECT_EQ(again.Slot(1), "0000");
  EXPECT_EQ(again.Slot(19), "0018");
  EXPECT_EQ(again.EditorCommand(), "notepad");
}

TEST_F(HistoryFileTest, LongestQueriesSurviveARestartAsOneEntry) {
  for (const std::size_t size : {298u, 299u}) {
    HistoryTable table;
    table.Load(dir_);
    // Ends with a double-byte character so that a split would also break it.
    std::string query = std::string(size - 2, 'q') + std::string(kGo);
    ASSERT_TRUE(table.AddToHistory(query));
    ASSERT_TRUE(table.Save(dir_));
    const HistoryTable again = Reloaded();
    EXPECT_EQ(again.Slot(0), query) << size;
    EXPECT_EQ(again.Slot(1), "0000") << size;
    EXPECT_EQ(again.EditorCommand(), "notepad") << size;
    fs::remove(FilePath());
  }
}

TEST_F(HistoryFileTest, EditorPathWithBlanksSurvivesARestart) {
  HistoryTable table;
  table.Load(dir_);
  table.SetEditorCommand("/opt/My Editor/bin/edit now");
  ASSERT_TRUE(table.Save(dir_));
  EXPECT_EQ(Reloaded().EditorCommand(), "/opt/My Editor/bin/edit now");

  // White space around line 21 is not part of the command; a blank line 21 gives nothing.
  WriteStateFile(Placeholders() + " \t/usr/bin/my edit \t\r\n");
  EXPECT_EQ(Reloaded().EditorCommand(), "/usr/bin/my edit");
  WriteStateFile(Placeholders() + "   \r\n");
  table.Load(dir_);
  EXPECT_EQ(table.EditorCommand(), "/opt/My Editor/bin/edit now");
}

TEST_F(HistoryFileTest, TokenRuleForQueryLines) {
  WriteStateFile(
      "   lead\r\n"
      "\t\v\fmixed white  and more\r\n"
      "\x81\x40wide\r\n"  // the full-width blank is part of the token
      "lf-only\n"
      "lone\rcr\r\n"
      "nul\0after\r\n"
      "\r\n"
      "   \r\n"
      "last-without-line-end"s);
  HistoryTable table;
  table.Load(dir_ + "/missing");  // placeholders first, so untouched slots are visible
  table.Load(dir_);
  EXPECT_EQ(table.Slot(0), "lead");
  EXPECT_EQ(table.Slot(1), "mixed");
  EXPECT_EQ(table.Slot(2), "\x81\x40wide");
  EXPECT_EQ(table.Slot(3), "lf-only");
  EXPECT_EQ(table.Slot(4), "lone");
  EXPECT_EQ(table.Slot(5), "nul");
  EXPECT_EQ(table.Slot(6), "0006");  // no token: the slot keeps what it had
  EXPECT_EQ(table.Slot(7), "0007");
  EXPECT_EQ(table.Slot(8), "last-without-line-end");
  EXPECT_EQ(table.Slot(9), "0009");
  EXPECT_EQ(table.EditorCommand(), "notepad");
}

TEST_F(HistoryFileTest, CtrlZEndsTheFile) {
  WriteStateFile("one\r\ntwo\x1a three\r\nfour\r\n");
  HistoryTable table;
  table.Load(dir_ + "/missing");
  table.Load(dir_);
  EXPECT_EQ(table.Slot(0), "one");
  EXPECT_EQ(table.Slot(1), "two");
  EXPECT_EQ(table.Slot(2), "0002");
}

TEST_F(HistoryFileTest, LineCountOtherThanTwentyOne) {
  std::string thirty;
  for (int i = 0; i < 30; ++i) thirty += "line" + std::to_string(i) + "\r\n";
  WriteStateFile(thirty);
  HistoryTable table;
  table.Load(dir_);
  EXPECT_EQ(table.Slot(0), "line0");
  EXPECT_EQ(table.Slot(19), "line19");
  EXPECT_EQ(table.EditorCommand(), "line20");

  // Five lines over a filled table: the rest keeps its contents, editor included.
  table.SetEditorCommand("/usr/bin/gedit");
  WriteStateFile("a\r\nb\r\nc\r\nd\r\ne\r\n");
  table.Load(dir_);
  EXPECT_EQ(table.Slot(4), "e");
  EXPECT_EQ(table.Slot(5), "line5");
  EXPECT_EQ(table.EditorCommand(), "/usr/bin/gedit");

  // On a fresh table the unreached editor command is empty.
  EXPECT_EQ(Reloaded().EditorCommand(), "");
  EXPECT_EQ(Reloaded().Slot(5), "");
}

TEST_F(HistoryFileTest, ReloadBringsBackTheStoredEditor) {
  WriteStateFile(Placeholders() + "/usr/bin/stored\r\n");
  HistoryTable table;
  table.Load(dir_);
  table.SetEditorCommand("/usr/bin/chosen");
  table.Load(dir_);
  EXPECT_EQ(table.EditorCommand(), "/usr/bin/stored");
}

TEST_F(HistoryFileTest, OverlongLinesNeverOverflowASlot) {
  // A token longer than a slot is cut at a character boundary: 149 double-byte characters.
  const std::string kanji = Repeat(kKen, 50 * 1024);
  WriteStateFile(kanji + " tail\r\n" + "x" + kanji + "\r\n" + Placeholders().substr(12) + kanji +
                 "\r\n");
  HistoryTable table;
  table.Load(dir_ + "/missing");
  table.Load(dir_);
  ExpectEverySlotFits(table);
  EXPECT_EQ(table.Slot(0), Repeat(kKen, 149));
  EXPECT_EQ(table.Slot(1), "x" + Repeat(kKen, 149));
  EXPECT_EQ(table.Slot(2), "0002");
  EXPECT_EQ(table.EditorCommand(), "notepad");  // a cut path would name another program

  // The same without any line end: one line, one slot.
  WriteStateFile(kanji);
  table.Load(dir_);
  EXPECT_EQ(table.Slot(0), Repeat(kKen, 149));
  EXPECT_EQ(table.Slot(1), "x" + Repeat(kKen, 149));

  // 299 bytes of editor path plus trailing blanks still fits; one byte more does not.
  WriteStateFile(Placeholders() + std::string(299, 'e') + "      \r\n");
  table.Load(dir_);
  EXPECT_EQ(table.EditorCommand(), std::string(299, 'e'));
  WriteStateFile(Placeholders() + std::string(300, 'f') + "\r\n");
  table.Load(dir_);
  EXPECT_EQ(table.EditorCommand(), std::string(299, 'e'));
}

TEST_F(HistoryFileTest, StrangeFilesLoadWithoutHarm) {
  std::mt19937 random(1234);
  std::string junk(256 * 1024, '\0');
  for (char& byte : junk) byte = static_cast<char>(random());
  WriteStateFile(junk);
  HistoryTable table;
  table.Load(dir_);
  ExpectEverySlotFits(table);

  std::string many;
  for (int i = 0; i < 10000; ++i) many += "q" + std::to_string(i) + "\r\n";
  WriteStateFile(many);
  table.Load(dir_);
  ExpectEverySlotFits(table);
  EXPECT_EQ(table.Slot(19), "q19");
  EXPECT_EQ(table.EditorCommand(), "q20");

  // A folder or an empty file in its place.
  fs::remove(FilePath());
  fs::create_directory(FilePath());
  table.Load(dir_);
  EXPECT_EQ(table.Slot(0), "0000");
  fs::remove(FilePath());
  WriteStateFile("");
  table.SetEditorCommand("kept");
  table.Load(dir_);
  EXPECT_EQ(table.EditorCommand(), "kept");
}

TEST_F(HistoryFileTest, SlotBytesThatWouldBreakTheLayoutStayOnTheirLine) {
  HistoryTable table;
  table.Load(dir_);
  for (std::string query : {"a\nb"s,
                            "c\x1a"
                            "d"s,
                            "e\0f"s})
    ASSERT_TRUE(table.AddToHistory(query));
  ASSERT_TRUE(table.Save(dir_));
  const HistoryTable again = Reloaded();
  EXPECT_EQ(again.Slot(0), "e");
  EXPECT_EQ(again.Slot(1), "c");
  EXPECT_EQ(again.Slot(2), "a");
  EXPECT_EQ(again.Slot(3), "0000");
  EXPECT_EQ(again.EditorCommand(), "notepad");
}

TEST_F(HistoryFileTest, FailedSaveLeavesTheOldFileAlone) {
  const std::string old_bytes = Placeholders() + "/usr/bin/old\r\n";
  WriteStateFile(old_bytes);
  HistoryTable table;
  table.Load(dir_);
  std::string query = "new";
  table.AddToHistory(query);

  // A write that the system refuses part way (works for root too).
  rlimit saved{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  const auto old_handler = ::signal(SIGXFSZ, SIG_IGN);
  rlimit tiny = saved;
  tiny.rlim_cur = 16;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &tiny), 0);
  const bool saved_ok = table.Save(dir_);
  ::setrlimit(RLIMIT_FSIZE, &saved);
  ::signal(SIGXFSZ, old_handler);
  EXPECT_FALSE(saved_ok);
  EXPECT_EQ(ReadStateFile(), old_bytes);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);

  // A folder standing where the file goes, and a folder that is a file.
  fs::remove(FilePath());
  fs::create_directory(FilePath());
  EXPECT_FALSE(table.Save(dir_));
  EXPECT_TRUE(fs::is_directory(FilePath()));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
  EXPECT_FALSE(table.Save(dir_ + "/history.txt/inner/deeper"));
}

TEST_F(HistoryFileTest, CurrentDirectoryIsReadWholeAndNotAtAllOnceRemoved) {
  const fs::path saved = fs::current_path();
  // Far past the first buffer the reader tries, and past the old 298-byte limit.
  std::string deep = fs::canonical(dir_).string();
  for (int i = 0; i < 12; ++i) deep += "/" + std::string(100, static_cast<char>('a' + i));
  fs::create_directories(deep);
  fs::current_path(deep);
  EXPECT_EQ(CurrentDirectory(), deep);

  fs::current_path(dir_);
  fs::remove_all(deep.substr(0, deep.find('/', fs::canonical(dir_).string().size() + 1)));
  const std::string gone = fs::canonical(dir_).string() + "/gone";
  fs::create_directory(gone);
  fs::current_path(gone);
  fs::remove(gone);
  EXPECT_EQ(CurrentDirectory(), std::nullopt);
  fs::current_path(saved);
}

TEST(AddToHistoryTest, NewQueryShiftsAndDropsTheTwentieth) {
  HistoryTable table;
  table.Load("/nonexistent-tolvane-folder");
  std::string query = "fresh";
  ASSERT_TRUE(table.AddToHistory(query));
  EXPECT_EQ(table.Slot(0), "fresh");
  EXPECT_EQ(table.Slot(1), "0000");
  EXPECT_EQ(table.Slot(19), "0018");
  EXPECT_EQ(table.EditorCommand(), "notepad");
}

TEST(AddToHistoryTest, EqualQueryIsNotStoredAgainNorMoved) {
  HistoryTable table;
  table.Load("/nonexistent-tolvane-folder");
  HistoryTable untouched = table;
  std::string middle = "0007";
  ASSERT_TRUE(table.AddToHistory(middle));
  for (std::size_t i = 0; i < kHistorySlots; ++i) EXPECT_EQ(table.Slot(i), untouched.Slot(i));

  // Typed with blanks it differs from its widened form and is stored again; browsed back, it is
  // not.
  std::string typed = "a b";
  ASSERT_TRUE(table.AddToHistory(typed));
  std::string typed_again = "a b";
  ASSERT_TRUE(table.AddToHistory(typed_again));
  EXPECT_EQ(table.Slot(0),
            "a\x81\x40"
            "b");
  EXPECT_EQ(table.Slot(1),
            "a\x81\x40"
            "b");
  std::string browsed = table.Slot(1);
  ASSERT_TRUE(table.AddToHistory(browsed));
  EXPECT_EQ(table.Slot(2), "0000");

  // An empty slot never equals.
  HistoryTable empty;
  std::string x = "x";
  ASSERT_TRUE(empty.AddToHistory(x));
  EXPECT_EQ(empty.Slot(0), "x");
  EXPECT_EQ(empty.Slot(1), "");
}

TEST(AddToHistoryTest, QueryThatWouldOutgrowASlotIsRefusedUntouched) {
  HistoryTable table;
  table.Load("/nonexistent-tolvane-folder");
  std::string just_fits = std::string(149, 'a') + " " + std::string(148, 'b');  // 298 + 1
  ASSERT_TRUE(table.AddToHistory(just_fits));
  EXPECT_EQ(table.Slot(0).size(), 299u);

  std::string too_wide = std::string(148, 'a') + "  " + std::string(148, 'b');  // 298 + 2
  const std::string before = too_wide;
  EXPECT_FALSE(table.AddToHistory(too_wide));
  EXPECT_EQ(too_wide, before);
  EXPECT_EQ(table.Slot(0).size(), 299u);
  EXPECT_EQ(table.Slot(1), "0000");

  std::string too_long(300, 'z');
  EXPECT_FALSE(table.AddToHistory(too_long));
  EXPECT_EQ(table.Slot(1), "0000");
}

TEST_F(HistoryFileTest, OnlyARealChangeMakesTheTableDifferFromItsFile) {
  HistoryTable table;
  table.Load(dir_);
  EXPECT_TRUE(table.DiffersFromFile());  // a first start has placeholders to write
  ASSERT_TRUE(table.Save(dir_));
  EXPECT_FALSE(table.DiffersFromFile());

  std::string repeated = "0003";
  ASSERT_TRUE(table.AddToHistory(repeated));
  std::string too_long(300, 'z');
  EXPECT_FALSE(table.AddToHistory(too_long));
  table.SetEditorCommand("notepad");
  table.SetEditorCommand(std::string(300, 'e'));  // refused, the slot keeps its command
  EXPECT_FALSE(table.DiffersFromFile());
  EXPECT_FALSE(Reloaded().DiffersFromFile());

  std::string fresh = "fresh";
  ASSERT_TRUE(table.AddToHistory(fresh));
  EXPECT_TRUE(table.DiffersFromFile());
  ASSERT_TRUE(table.Save(dir_));
  table.SetEditorCommand("gedit");
  EXPECT_TRUE(table.DiffersFromFile());
}

TEST_F(HistoryFileTest, TwoWindowsOnOneFolderKeepEachOthersQueries) {
  WriteStateFile(Placeholders() + "notepad\r\n");
  HistoryTable first = Reloaded();
  HistoryTable second = Reloaded();
  const auto add = [](HistoryTable& table, std::string query) {
    ASSERT_TRUE(table.AddToHistory(query));
  };

  add(first, "alpha");
  ASSERT_TRUE(first.Save(dir_));
  add(second, "beta");
  ASSERT_TRUE(second.Save(dir_));
  EXPECT_EQ(second.Slot(0), "beta");  // the window's own newest query stays first
  EXPECT_EQ(second.Slot(1), "alpha");
  EXPECT_EQ(second.Slot(2), "0000");
  add(first, "gamma");
  ASSERT_TRUE(first.Save(dir_));
  const HistoryTable file = Reloaded();
  const std::string expected[] = {"gamma", "beta", "alpha", "0000", "0001"};
  for (std::size_t i = 0; i < std::size(expected); ++i) EXPECT_EQ(file.Slot(i), expected[i]) << i;
  EXPECT_EQ(file.Slot(19), "0016");

  // The editor line last changed wins; one left as it was takes the other's.
  second.SetEditorCommand("/usr/bin/gedit");
  ASSERT_TRUE(second.Save(dir_));
  add(first, "delta");
  ASSERT_TRUE(first.Save(dir_));
  EXPECT_EQ(first.EditorCommand(), "/usr/bin/gedit");
  first.SetEditorCommand("/usr/bin/kate");
  add(second, "epsilon");
  ASSERT_TRUE(second.Save(dir_));
  ASSERT_TRUE(first.Save(dir_));
  EXPECT_EQ(Reloaded().EditorCommand(), "/usr/bin/kate");
  EXPECT_EQ(Reloaded().Slot(0), "epsilon");
}

TEST_F(HistoryFileTest, SavesOfTwoProcessesAtOnceLoseNoQuery) {
  constexpr int kQueriesEach = 10;
  std::vector<pid_t> children;
  for (const char* name : {"a", "b"}) {
    const pid_t child = ::fork();
    if (child == 0) {
      HistoryTable table;
      table.Load(dir_);
      for (int i = 0; i < kQueriesEach; ++i) {
        std::string query = name + std::to_string(i);
        if (!table.AddToHistory(query) || !table.Save(dir_)) ::_exit(1);
      }
      ::_exit(0);
    }
    children.push_back(child);
  }
  for (const pid_t child : children) {
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  const HistoryTable file = Reloaded();
  std::set<std::string> stored;
  for (std::size_t i = 0; i < kHistoryQueries; ++i) stored.insert(file.Slot(i));
  std::set<std::string> all;
  for (const char* name : {"a", "b"}) {
    for (int i = 0; i < kQueriesEach; ++i) all.insert(name + std::to_string(i));
  }
  EXPECT_EQ(stored, all);
}

TEST_F(HistoryFileTest, AnotherUsersLinkIsNeitherReadNorWrittenThrough) {
  if (::geteuid() != 0) GTEST_SKIP() << "planting another user's link needs root";
  const std::string victim = dir_ + "/victim";
  std::ofstream(victim) << "mine\r\n";
  fs::create_symlink(victim, FilePath());
  ASSERT_EQ(::lchown(FilePath().c_str(), 65534, 65534), 0);
  HistoryTable table;
  table.Load(dir_);
  EXPECT_EQ(table.Slot(0), "0000");
  ASSERT_TRUE(table.LoadProblem());
  EXPECT_EQ(table.LoadProblem()->kind, FileProblem::Kind::kRefusedLink);
  FileProblem problem;
  EXPECT_FALSE(table.Save(dir_, &problem));
  EXPECT_EQ(problem.kind, FileProblem::Kind::kRefusedLink);
  std::ifstream in(victim);
  std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(content, "mine\r\n");
}

TEST(FitsHistorySlotTest, AgreesWithTheWidening) {
  const std::string cases[] = {
      std::string(299, 'x'),
      std::string(300, 'x'),
      std::string(298, ' '),
      std::string(150, ' '),
      std::string(149, ' '),
      "\x81 " + std::string(297, ' '),  // the blank after a lead byte is its trail byte
      std::string(297, 'x') + "\x81 ",  // likewise at the very end
      std::string(298, 'x') + "\x81",   // a lone lead byte last
      "",
  };
  for (const std::string& query : cases) {
    std::string widened = query;
    ReplaceAll(widened, kAsciiBlank, kFullWidthBlank);
    EXPECT_EQ(FitsHistorySlot(query), widened.size() <= kSlotTextBytes) << query.size();
  }
}

TEST(EditorCommandTest, StorableCommandsFitTheCommandLineAndOneLine) {
  EXPECT_TRUE(IsStorableEditorCommand(std::string(289, 'p')));
  EXPECT_FALSE(IsStorableEditorCommand(std::string(290, 'p')));
  EXPECT_TRUE(IsStorableEditorCommand("/home/\x8c\x9f\x8d\xf5 x/edit"));
  EXPECT_FALSE(IsStorableEditorCommand("/tmp/a\nb"));
  EXPECT_FALSE(IsStorableEditorCommand("/tmp/trailing "));

  HistoryTable table;
  table.SetEditorCommand(std::string(299, 'p'));
  table.SetEditorCommand(std::string(300, 'q'));
  EXPECT_EQ(table.EditorCommand(), std::string(299, 'p'));
}

// A history.txt that a UTF-8 editor saved: read back into Shift-JIS, written as Shift-JIS; what
// Shift-JIS lacks is kept in history-utf8.txt.
class Utf8HistoryFileTest : public HistoryFileTest {
 protected:
  // The placeholders' lines after `queries`, and the editor line, in UTF-8 with `line_end`.
  void WriteUtf8StateFile(std::vector<std::string_view> queries, std::string_view line_end,
                          std::string_view start = "") const {
    std::string text(start);
    for (std::size_t i = 0; i < kEditorSlot; ++i) {
      text += i < queries.size() ? std::string(queries[i])
                                 : std::string(Placeholders().substr(i * 6, 4));
      text += line_end;
    }
    text += "gedit --new-window";
    text += line_end;
    WriteStateFile(text);
  }
};

TEST_F(Utf8HistoryFileTest, ComesBackInShiftJisWithAnyLineEndAndByteOrderMark) {
  // 明治 and 近世　研究 (a full-width blank inside the one entry).
  const std::string meiji = "\x96\xbe\x8e\xa1";
  const std::string kinsei_kenkyu = "\x8b\xdf\x90\xa2\x81\x40\x8c\xa4\x8b\x86";
  for (const std::string_view line_end : {"\n", "\r\n"}) {
    for (const std::string_view start : {"", "\xef\xbb\xbf"}) {
      WriteUtf8StateFile({"明治", "近世　研究"}, line_end, start);
      const HistoryTable table = Reloaded();
      EXPECT_EQ(table.Slot(0), meiji);
      EXPECT_EQ(table.Slot(1), kinsei_kenkyu);
      EXPECT_EQ(table.Slot(2), "0002");
      EXPECT_EQ(table.EditorCommand(), "gedit --new-window");
      EXPECT_FALSE(table.LoadDroppedCharacters());
    }
  }
}

TEST_F(Utf8HistoryFileTest, IsWrittenAsShiftJisAtTheNextSaveEvenUnchanged) {
  WriteUtf8StateFile({"明治", "⾔語"}, "\n");
  HistoryTable table = Reloaded();
  EXPECT_EQ(table.Slot(1), "\x8c\xbe\x8c\xea");  // the Kangxi radical ⾔ as 言
  EXPECT_TRUE(table.DiffersFromFile());
  ASSERT_TRUE(table.Save(dir_));
  std::string expected = "\x96\xbe\x8e\xa1\r\n\x8c\xbe\x8c\xea\r\n";
  expected += Placeholders().substr(2 * 6);
  expected += "gedit --new-window\r\n";
  EXPECT_EQ(ReadStateFile(), expected);
  EXPECT_FALSE(Reloaded().DiffersFromFile());
}

TEST_F(Utf8HistoryFileTest, QueriesShiftJisLacksAreKeptWholeInUnicode) {
  WriteUtf8StateFile({"明治😀期", "森鷗外", "近世"}, "\r\n");
  HistoryTable table = Reloaded();
  EXPECT_EQ(table.QueryText(0), "明治😀期");
  EXPECT_EQ(table.QueryText(1), "森鷗外");
  EXPECT_EQ(table.Slot(2), "\x8b\xdf\x90\xa2");
  EXPECT_FALSE(table.LoadDroppedCharacters());
  // Written back as Shift-JIS with a geta for each such character, their UTF-8 beside it.
  ASSERT_TRUE(table.Save(dir_));
  EXPECT_EQ(ReadStateFile().substr(0, 18),
            "\x96\xbe\x8e\xa1\x81\xac\x8a\xfa\r\n\x90\x58\x81\xac\x8a\x4f\r\n");
  EXPECT_EQ(Reloaded().QueryText(0), "明治😀期");
  EXPECT_EQ(Reloaded().QueryText(1), "森鷗外");
}

TEST_F(Utf8HistoryFileTest, AMalformedLineCostsOnlyItsOwnBadBytes) {
  // Mostly UTF-8, and one line with bytes that are no UTF-8 (a Shift-JIS 検索 and a stray byte).
  const std::string broken = "\x8c\x9f\x8d\xf5";
  WriteUtf8StateFile({"明治", broken, "近世\xff研究", "大正"}, "\r\n");
  const HistoryTable table = Reloaded();
  EXPECT_EQ(table.Slot(0), "\x96\xbe\x8e\xa1");
  EXPECT_EQ(table.Slot(2), "\x8b\xdf\x90\xa2\x8c\xa4\x8b\x86");  // 近世研究
  EXPECT_EQ(table.Slot(3), "\x91\xe5\x90\xb3");                  // 大正
  EXPECT_EQ(table.EditorCommand(), "gedit --new-window");
  EXPECT_TRUE(table.LoadDroppedCharacters());
  ExpectEverySlotFits(table);
}

// Queries beyond Shift-JIS: history.txt keeps its twenty Shift-JIS lines for the program on
// Windows, and history-utf8.txt beside it their UTF-8.
class UnicodeQueryTest : public HistoryFileTest {
 protected:
  std::string UnicodePath() const { return dir_ + "/" + kHistoryUnicodeFileName; }
  std::string ReadUnicodeFile() const {
    std::ifstream in(UnicodePath(), std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
  }
};

TEST_F(UnicodeQueryTest, ComeBackAfterARestartInTheirPlaces) {
  HistoryTable table;
  table.Load(dir_);
  for (const char* query : {"明治", "森鷗外", "Müller Études", "𠮷野家", "近世"})
    ASSERT_TRUE(table.AddQuery(query));
  ASSERT_TRUE(table.Save(dir_));
  // 森鷗外 as 森〓外 (geta 81 AC); Müller's ü and É as geta too, the blank as a full-width blank.
  const std::string file = ReadStateFile();
  EXPECT_EQ(file.substr(0, 6), "\x8b\xdf\x90\xa2\r\n");
  EXPECT_NE(file.find("\r\n\x81\xac\x96\xec\x89\xc6\r\n"), std::string::npos);  // 〓野家
  EXPECT_NE(file.find("\r\n\x90\x58\x81\xac\x8a\x4f\r\n"), std::string::npos);  // 森〓外
  EXPECT_NE(file.find("M\x81\xacller\x81\x40\x81\xac"
                      "tudes\r\n"),
            std::string::npos);
  EXPECT_EQ(ReadUnicodeFile(), "𠮷野家\nMüller　Études\n森鷗外\n");
  const HistoryTable again = Reloaded();
  EXPECT_EQ(again.QueryText(0), "近世");
  EXPECT_EQ(again.QueryText(1), "𠮷野家");
  EXPECT_EQ(again.QueryText(2), "Müller　Études");
  EXPECT_EQ(again.QueryText(3), "森鷗外");
  EXPECT_EQ(again.QueryText(4), "明治");
  EXPECT_FALSE(again.DiffersFromFile());
}

TEST_F(UnicodeQueryTest, AFolderOfShiftJisQueriesGetsHistoryTxtAlone) {
  HistoryTable table;
  table.Load(dir_);
  ASSERT_TRUE(table.AddQuery("森鷗外"));
  ASSERT_TRUE(table.Save(dir_));
  EXPECT_TRUE(fs::exists(UnicodePath()));
  // Pushed out by twenty Shift-JIS queries, 〜 among them: the UTF-8 file goes.
  ASSERT_TRUE(table.AddQuery("〜"));
  for (int i = 0; i < 19; ++i) ASSERT_TRUE(table.AddQuery("q" + std::to_string(i)));
  ASSERT_TRUE(table.Save(dir_));
  EXPECT_FALSE(fs::exists(UnicodePath()));
  EXPECT_EQ(Reloaded().Slot(19), "\x81\x60");  // the wave dash in CP932, as always
}

TEST_F(UnicodeQueryTest, StandInsMovedByAnotherProgramStillFindTheirQueries) {
  HistoryTable table;
  table.Load(dir_);
  ASSERT_TRUE(table.AddQuery("森鷗外"));
  ASSERT_TRUE(table.Save(dir_));
  // The program on Windows searched 明治 meanwhile: every line moved down by one.
  WriteStateFile("\x96\xbe\x8e\xa1\r\n" + ReadStateFile());
  const HistoryTable again = Reloaded();
  EXPECT_EQ(again.QueryText(0), "明治");
  EXPECT_EQ(again.QueryText(1), "森鷗外");
}

TEST_F(UnicodeQueryTest, TheLimitCountsTwoBytesForACharacterShiftJisLacks) {
  HistoryTable table;
  table.Load(dir_);
  std::string longest;
  for (int i = 0; i < 149; ++i) longest += "鷗";  // 298 bytes
  EXPECT_TRUE(FitsQueryLimit(longest + "a"));
  EXPECT_FALSE(FitsQueryLimit(longest + "鷗"));
  EXPECT_FALSE(FitsQueryLimit(longest + " "));  // a blank counts as the full-width blank
  EXPECT_FALSE(table.AddQuery(longest + "鷗"));
  EXPECT_TRUE(table.AddQuery(longest + "a"));
  // A query Shift-JIS holds is measured as before: 299 bytes of Shift-JIS.
  EXPECT_EQ(FitsQueryLimit(std::string(299, 'x')), FitsHistorySlot(std::string(299, 'x')));
  EXPECT_FALSE(FitsQueryLimit(std::string(300, 'x')));
}

// Shift-JIS bytes that are valid UTF-8 too come back as they were written.
TEST_F(HistoryFileTest, HalfWidthKanaThatAreUtf8TooReadBackAsShiftJis) {
  // ﾐｽ is D0 BD, н in UTF-8; ﾔｽ is D4 BD, Armenian Խ.
  WriteStateFile("\xd0\xbd\r\n\xd4\xbd\r\n" + Placeholders().substr(12) + "notepad\r\n");
  HistoryTable table = Reloaded();
  EXPECT_EQ(table.Slot(0), "\xd0\xbd");
  EXPECT_EQ(table.Slot(1), "\xd4\xbd");
  EXPECT_FALSE(table.LoadReadUtf8());
  EXPECT_FALSE(table.DiffersFromFile());
  const std::string before = ReadStateFile();
  ASSERT_TRUE(table.AddQuery("明治"));
  ASSERT_TRUE(table.Save(dir_));
  EXPECT_EQ(ReadStateFile().substr(6, 8), "\xd0\xbd\r\n\xd4\xbd\r\n");
  EXPECT_EQ(Reloaded().QueryText(1), "ﾐｽ");
}

// Every table the program writes from kana, kanji, half-width kana and ASCII reads back byte for
// byte, whatever UTF-8 its bytes happen to make.
TEST_F(HistoryFileTest, EveryTableOfJapaneseTextReadsBackByteForByte) {
  const std::vector<std::string> pieces = {"\x82\xa0", "\x82\xf1", "\x83\x41", "\x83\x93",
                                           "\x81\x5b",  // あ ん ア ン ー
                                           "\x96\xbe", "\x8e\xa1", "\xe3\x81", "\xe6\x98",
                                           "\xe9\xb7", "\xea\x9f",  // 明 治 and level-2 kanji
                                           "\xb1",     "\xbd",     "\xd0",     "\xd4",
                                           "\xc3",     "\xbc",     "\xde",  // ｱ ｽ ﾐ ﾔ ﾃ ｼ ﾞ
                                           "A",        "z",        "1",        "-"};
  std::mt19937 random(24);
  for (int round = 0; round < 300; ++round) {
    fs::remove(dir_ + "/history.txt");
    fs::remove(dir_ + "/" + kHistoryUnicodeFileName);
    HistoryTable table;
    table.Load(dir_);
    for (int q = 0; q < 20; ++q) {
      std::string query;
      const int length = 1 + static_cast<int>(random() % 6);
      for (int k = 0; k < length; ++k) query += pieces[random() % pieces.size()];
      table.AddToHistory(query);
    }
    ASSERT_TRUE(table.Save(dir_));
    const std::string written = ReadStateFile();
    const HistoryTable again = Reloaded();
    for (std::size_t i = 0; i < kHistorySlots; ++i)
      ASSERT_EQ(again.Slot(i), table.Slot(i)) << round << " " << i;
    ASSERT_FALSE(again.DiffersFromFile());
    HistoryTable saved_again = Reloaded();
    ASSERT_TRUE(saved_again.Save(dir_));
    ASSERT_EQ(ReadStateFile(), written);
  }
}

}  // namespace
}  // namespace tolvane
