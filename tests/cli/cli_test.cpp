// tolvane-search as a shell user meets it: its outputs, files and exit statuses.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "command_runner.h"
#include "test_util.h"

namespace tolvane {
namespace {

using Outcome = testing::CommandOutcome;

Outcome Command(const testing::ScratchDir& dir, std::vector<std::string> args) {
  return testing::RunCommand(dir, std::move(args));
}

// 夏目漱石 こころ / 森鴎外 舞姫 / 夏目漱石 坊っちゃん, in Shift-JIS with CR LF.
const std::string kRecords =
    "\x89\xc4\x96\xda\x9f\xf9\x90\xce \x82\xb1\x82\xb1\x82\xeb\r\n"
    "\x90\x58\x89\xa8\x8a\x4f \x95\x91\x95\x50\r\n"
    "\x89\xc4\x96\xda\x9f\xf9\x90\xce \x96\x56\x82\xc1\x82\xbf\x82\xe1\x82\xf1\r\n";

class CommandTest : public ::testing::Test {
 protected:
  void SetUp() override { testing::WriteFile(dir_ / "tolvaneken.txt", kRecords); }
  testing::ScratchDir dir_;
};

TEST_F(CommandTest, PrintsTheShownRecordsInUtf8AndWritesTheResultsFile) {
  const Outcome o = Command(dir_, {"夏目漱石"});
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.out, "夏目漱石 こころ\n夏目漱石 坊っちゃん\n");
  EXPECT_EQ(o.err, "");
  EXPECT_EQ(testing::ReadFile(dir_ / "kekka.txt"),
            "\x89\xc4\x96\xda\x9f\xf9\x90\xce \x82\xb1\x82\xb1\x82\xeb\r\n"
            "\x89\xc4\x96\xda\x9f\xf9\x90\xce \x96\x56\x82\xc1\x82\xbf\x82\xe1\x82\xf1\r\n");
  EXPECT_FALSE(testing::Exists(dir_ / "history.txt"));
}

TEST_F(CommandTest, JoinsItsArgumentsIntoOneAndSearch) {
  EXPECT_EQ(Command(dir_, {"夏目", "こころ"}).out, "夏目漱石 こころ\n");
  EXPECT_EQ(Command(dir_, {"夏目　こころ"}).out, "夏目漱石 こころ\n");  // a full-width blank
  // An empty argument makes two blanks in a row: what follows is ignored, as in the window.
  EXPECT_EQ(Command(dir_, {"森", "", "こころ"}).out, "森鴎外 舞姫\n");
}

TEST_F(CommandTest, CountCaptionAndRawOutputs) {
  EXPECT_EQ(Command(dir_, {"--count", "夏目"}).out, "2\n");
  EXPECT_EQ(Command(dir_, {"--caption", "夏目"}).out,
            "件数：2   "
            "空白で区切るとand検索。上下矢印キーで入力履歴。shift+Enter：エディタで結果を開く。\n");
  EXPECT_EQ(Command(dir_, {"--raw", "舞姫"}).out,
            "\x90\x58\x89\xa8\x8a\x4f \x95\x91\x95\x50\r\n\r\n");
}

// The argument converts to one code of a character CP932 holds twice (Ⅰ to NEC's 0x8754, 纊 to
// IBM's 0xFA5C); a bibliography converted elsewhere holds the other, and is found all the same.
TEST_F(CommandTest, FindsACharacterUnderEitherOfItsCodes) {
  testing::WriteFile(dir_ / "tolvaneken.txt",
                     "\x91\xe6\xfa\x4a\x95\x94\r\n"  // 第Ⅰ部, IBM's Ⅰ
                     "\xed\x40\r\n"                  // 纊, the NEC-selected code
                     "I\r\n");
  const Outcome o = Command(dir_, {"Ⅰ"});
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.out, "第Ⅰ部\n");
  EXPECT_EQ(testing::ReadFile(dir_ / "kekka.txt"), "\x91\xe6\xfa\x4a\x95\x94\r\n");
  EXPECT_EQ(Command(dir_, {"第Ⅰ部"}).out, "第Ⅰ部\n");
  EXPECT_EQ(Command(dir_, {"--raw", "纊"}).out, "\xed\x40\r\n\r\n");
}

// The loose search as a researcher runs it, on titles that write the same thing differently.
TEST_F(CommandTest, LooseFindsTheNotationalVariantsAndKeepsTheRecordsOwnBytes) {
  testing::WriteFile(dir_ / "tolvaneken.txt",
                     "\x81\x69\x82\x50\x82\x58\x82\x58\x82\x57\x81\x6a\r\n"  // （１９９８）
                     "\x82\x81\x82\x82\x82\x83\r\n"                          // ａｂｃ
                     "\xba\xdd\xcb\xdf\xad\xb0\xc0\r\n"  // ｺﾝﾋﾟｭｰﾀ
                     "\x82\xb1\x82\xf1\x82\xd2\x82\xe3\x81\x5b\x82\xbd\r\n"  // こんぴゅーた
                     "\x83\x66\x81\x7c\x83\x5e\x83\x78\x81\x7c\x83\x58\r\n"  // デ－タベ－ス
                     "\x9a\xa0\x8c\xea\r\n"                                  // 國語
                     "\x8d\x91\x8c\xea\x8a\x77\r\n"                          // 国語学
                     "\xfb\xfc\x8b\xb4\r\n"                                  // 髙橋
                     "\x83\x52\x83\x93\x83\x73\x83\x5e\r\n"                  // コンピタ
                     "\x83\x5c\r\n");                                        // ソ
  const auto loose = [&](const char* term) { return Command(dir_, {"--loose", term}).out; };
  EXPECT_EQ(loose("1998"), "（１９９８）\n");
  EXPECT_EQ(loose("ABC"), "ａｂｃ\n");
  EXPECT_EQ(loose("コンピュータ"), "ｺﾝﾋﾟｭｰﾀ\nこんぴゅーた\n");
  EXPECT_EQ(loose("データベース"), "デ－タベ－ス\n");
  EXPECT_EQ(loose("国語"), "國語\n国語学\n");
  EXPECT_EQ(loose("學"), "国語学\n");
  EXPECT_EQ(loose("高橋"), "髙橋\n");
  const Outcome backslash = Command(dir_, {"--loose", "\\"});
  EXPECT_EQ(backslash.status, 1);  // ソ's trail byte is no backslash
  EXPECT_EQ(backslash.out, "");
  // kekka.txt holds the records' own bytes; the exact search stays exact.
  EXPECT_EQ(Command(dir_, {"--loose", "--count", "高橋"}).out, "1\n");
  EXPECT_EQ(testing::ReadFile(dir_ / "kekka.txt"), "\xfb\xfc\x8b\xb4\r\n");
  EXPECT_EQ(Command(dir_, {"--count", "高橋"}).out, "0\n");
  EXPECT_EQ(Command(dir_, {"--count", "コンピュータ"}).out, "0\n");
}

// 300 matching records of 507 bytes: the window's box stops after 147 of them, passing 74,500
// bytes, but the count, the caption and kekka.txt hold all 300.
TEST_F(CommandTest, LongRecordsPastTheBoxsLimitAreAllCountedAndWritten) {
  const std::string record = std::string(501, 'r') + " hit\r\n";
  std::string records;
  for (int i = 0; i < 300; ++i) records += record;
  testing::WriteFile(dir_ / "tolvaneken.txt", records);
  const Outcome count = Command(dir_, {"--count", "hit"});
  EXPECT_EQ(count.status, 0);
  EXPECT_EQ(count.out, "300\n");
  EXPECT_EQ(testing::ReadFile(dir_ / "kekka.txt"), records);
  EXPECT_EQ(
      Command(dir_, {"--caption", "hit"}).out,
      "件数：300   500件までを表示しています。shift+Enterキーでエディタ上に全体を開きます。\n");
  std::string box;
  for (int i = 0; i < 147; ++i) box += record;
  EXPECT_EQ(Command(dir_, {"--raw", "hit"}).out, box + "\r\n");
  const Outcome shown = Command(dir_, {"hit"});
  EXPECT_EQ(shown.status, 0);
  EXPECT_EQ(std::count(shown.out.begin(), shown.out.end(), '\n'), 147);
}

// The command run as an ordinary user (nobody, when the tests run as root) in `dir`, from a copy
// every user may run: the build tree may lie where nobody cannot enter. Its output and errors are
// opened before it drops root, in a folder of the test's. The cache is `cache`.
Outcome CommandAsOrdinaryUser(const std::string& dir, const std::string& cache,
                              std::vector<std::string> args) {
  Outcome outcome;
  testing::ScratchDir bin(testing::kEveryonesTempDir);
  testing::ScratchDir caught;
  const std::string program = bin / "tolvane-search";
  std::error_code error;
  std::filesystem::copy_file(TOLVANE_SEARCH_BIN, program, error);
  if (error || ::chmod(bin.path().c_str(), 0755) != 0 || ::chmod(program.c_str(), 0755) != 0)
    return outcome;
  args.insert(args.begin(), program);
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  const std::string cache_setting = "XDG_CACHE_HOME=" + cache;
  char* envp[] = {const_cast<char*>(cache_setting.c_str()), const_cast<char*>("LANG=C.UTF-8"),
                  nullptr};
  const int out = ::open((caught / "out").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  const int err = ::open((caught / "err").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  const pid_t child = ::fork();
  if (child == 0) {
    if (::dup2(out, 1) < 0 || ::dup2(err, 2) < 0 || ::chdir(dir.c_str()) != 0) ::_exit(127);
    if (::geteuid() == 0 && !testing::BecomeNobody()) ::_exit(127);
    ::execve(argv[0], argv.data(), envp);
    ::_exit(127);
  }
  ::close(out);
  ::close(err);
  int status = 0;
  if (child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status))
    outcome.status = WEXITSTATUS(status);
  outcome.out = testing::ReadFile(caught / "out");
  outcome.err = testing::ReadFile(caught / "err");
  return outcome;
}

// A folder of mode 555: searched, its results in the user's cache, said on standard error at every
// search, and the folder left as it was.
TEST(CommandElsewhere, AFolderTheUserMayNotWriteIsSearchedAndItsResultsGoToTheCache) {
  testing::ScratchDir dir(testing::kEveryonesTempDir);
  testing::ScratchDir cache(testing::kEveryonesTempDir);
  testing::WriteFile(dir / "tolvaneken.txt", kRecords);
  testing::WriteFile(dir / "kekka.txt", "shared\r\n");
  ASSERT_EQ(::chmod((dir / "tolvaneken.txt").c_str(), 0644), 0);
  ASSERT_EQ(::chmod((dir / "kekka.txt").c_str(), 0666), 0);
  ASSERT_EQ(::chmod(dir.path().c_str(), 0555), 0);
  if (::geteuid() == 0) {
    ASSERT_EQ(::chown(cache.path().c_str(), testing::kNobody, testing::kNobody), 0);
  }
  const Outcome o = CommandAsOrdinaryUser(dir.path(), cache.path(), {"--count", "夏目"});
  ASSERT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(o.out, "2\n");
  // The folder's own in the cache, as the window's: the only one there.
  std::string digest;
  for (const auto& entry : std::filesystem::directory_iterator(cache / "tolvane"))
    digest = entry.path().filename();
  const std::string elsewhere = cache / "tolvane/" + digest + "/results/kekka.txt";
  EXPECT_EQ(o.err, "tolvane-search: 検索したフォルダにはkekka.txtを書き込めないので、検索結果は " +
                       elsewhere + " に書き出します。\n");
  EXPECT_EQ(testing::ReadFile(elsewhere),
            "\x89\xc4\x96\xda\x9f\xf9\x90\xce \x82\xb1\x82\xb1\x82\xeb\r\n"
            "\x89\xc4\x96\xda\x9f\xf9\x90\xce \x96\x56\x82\xc1\x82\xbf\x82\xe1\x82\xf1\r\n");
  EXPECT_EQ(testing::ReadFile(dir / "kekka.txt"), "shared\r\n");
  EXPECT_EQ(testing::NamesIn(dir.path()), (std::set<std::string>{"kekka.txt", "tolvaneken.txt"}));
  // No match exits 1 as anywhere, and the results there are emptied.
  EXPECT_EQ(CommandAsOrdinaryUser(dir.path(), cache.path(), {"芥川"}).status, 1);
  EXPECT_EQ(testing::ReadFile(elsewhere), "");
}

TEST_F(CommandTest, NoMatchExitsOne) {
  const Outcome o = Command(dir_, {"--count", "芥川"});
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.out, "0\n");
  EXPECT_EQ(Command(dir_, {"芥川"}).out, "");
  EXPECT_EQ(Command(dir_, {"--raw", "芥川"}).out, "");
  EXPECT_EQ(testing::ReadFile(dir_ / "kekka.txt"), "");
}

TEST_F(CommandTest, TheRunsErrorsGoToStderrInUtf8AndExitTwo) {
  std::filesystem::remove(dir_ / "tolvaneken.txt");
  Outcome o = Command(dir_, {"--count", "a"});
  EXPECT_EQ(o.status, 2);
  EXPECT_EQ(o.out, "");
  EXPECT_NE(o.err.find("tolvaneken.txtがありません。"), std::string::npos);
  // The working directory, as the command reads it.
  EXPECT_EQ(o.err, "tolvane-search: " + std::filesystem::canonical(dir_.path()).string() +
                       ": tolvaneken.txtがありません。\n");

  SetUp();
  std::filesystem::create_directory(dir_ / "kekka.txt");
  o = Command(dir_, {"a"});
  EXPECT_EQ(o.status, 2);
  EXPECT_NE(o.err.find("kekka.txtが作れません。"), std::string::npos);

  std::filesystem::remove(dir_ / "kekka.txt");
  // A link to a device is not written through; the reason follows the message.
  std::filesystem::create_symlink("/dev/full", dir_ / "kekka.txt");
  o = Command(dir_, {"--count", "夏目"});
  EXPECT_EQ(o.status, 2);
  EXPECT_EQ(o.out, "");
  EXPECT_EQ(o.err, "tolvane-search: kekka.txtが作れません。通常のファイルではありません。\n");
}

TEST_F(CommandTest, RefusesAQueryItCannotSearchFaithfully) {
  testing::WriteFile(dir_ / "kekka.txt", "previous");
  Outcome o = Command(dir_, {"夏目", "😀"});
  EXPECT_EQ(o.status, 2);
  EXPECT_NE(o.err.find("U+1F600"), std::string::npos);
  EXPECT_EQ(testing::ReadFile(dir_ / "kekka.txt"), "previous");

  o = Command(dir_, {std::string(300, 'a')});
  EXPECT_EQ(o.status, 2);
  EXPECT_NE(o.err.find("too long"), std::string::npos);
  // 299 bytes pass; the same with a blank does not, since the window stores blanks full-width.
  EXPECT_EQ(Command(dir_, {std::string(299, 'a')}).status, 1);
  EXPECT_EQ(Command(dir_, {std::string(148, 'a'), std::string(150, 'a')}).status, 2);

  EXPECT_EQ(Command(dir_, {}).status, 2);
  EXPECT_EQ(Command(dir_, {""}).status, 2);
  EXPECT_EQ(Command(dir_, {"--count", "--raw", "a"}).status, 2);
  EXPECT_EQ(Command(dir_, {"--bogus"}).status, 2);
}

TEST_F(CommandTest, SearchesAnotherDirectoryWithDashC) {
  testing::ScratchDir other;
  testing::WriteFile(other / "tolvaneken.txt", "elsewhere\n");
  EXPECT_EQ(Command(dir_, {"-C", other.path(), "elsewhere"}).out, "elsewhere\n");
  EXPECT_EQ(testing::ReadFile(other / "kekka.txt"), "elsewhere\r\n");
  EXPECT_EQ(Command(dir_, {"-C", other / "missing", "a"}).status, 2);
  // Terms that look like options go after --.
  EXPECT_EQ(Command(dir_, {"--count", "--", "-x"}).out, "0\n");
}

TEST_F(CommandTest, HelpAndVersion) {
  const Outcome help = Command(dir_, {"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("Usage: tolvane-search"), std::string::npos);
  const Outcome version = Command(dir_, {"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out.rfind("tolvane-search ", 0), 0u);
}

}  // namespace
}  // namespace tolvane
