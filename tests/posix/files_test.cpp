// Files replaced whole: the mode the new version keeps or takes, a symbolic link in its place,
// which stays while the file it ends at is replaced in that file's own folder, another user's link,
// which is never followed, and a new version that a dying process leaves behind.
#include "posix/files.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <optional>
#include <set>
#include <string>

#include "test_util.h"

namespace tolvane {
namespace {

namespace fs = std::filesystem;
using testing::NamesIn;
using testing::ReadFile;
using testing::ScratchDir;
using testing::WriteFile;

// Sets the umask for one scope.
class Umask {
 public:
  explicit Umask(mode_t mask) : old_(::umask(mask)) {}
  ~Umask() { ::umask(old_); }
  Umask(const Umask&) = delete;
  Umask& operator=(const Umask&) = delete;

 private:
  mode_t old_;
};

mode_t PermissionsOf(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 07777;
}

TEST(ReplaceFileWhole, AReplacedFileKeepsItsModeANewOneTakesTheUmask) {
  ScratchDir dir;
  const struct {
    mode_t umask;
    std::optional<mode_t> old_mode;
    mode_t new_mode;
  } cases[] = {
      {022, 0600, 0600},         {022, 0640, 0640},
      {077, 0640, 0640},  // the umask narrows only what is made new
      {022, 0444, 0444},  // a read-only file is still replaced, and stays read-only
      {022, std::nullopt, 0644}, {027, std::nullopt, 0640},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << std::oct << c.umask << " " << c.old_mode.value_or(0));
    const std::string file = dir / "history.txt";
    fs::remove(file);
    if (c.old_mode) {
      WriteFile(file, "old\r\n");
      ASSERT_EQ(::chmod(file.c_str(), *c.old_mode), 0);
    }
    const Umask umask(c.umask);
    EXPECT_TRUE(ReplaceFileWhole(file, "new\r\n"));
    EXPECT_EQ(ReadFile(file), "new\r\n");
    EXPECT_EQ(PermissionsOf(file), c.new_mode);
    EXPECT_EQ(NamesIn(dir.path()), std::set<std::string>{"history.txt"});
  }
}

TEST(ReplaceFileWhole, ALinkStaysAndTheFileItEndsAtIsReplaced) {
  ScratchDir dir;
  fs::create_directories(dir / "config/tolvane");
  fs::create_directories(dir / "dotfiles");
  const std::string real = dir / "dotfiles/last-folder";
  // Relative links are read from their own folder, a chain is followed to its end.
  const struct {
    std::string link;
    std::string points_to;
  } links[] = {
      {dir / "config/tolvane/last-folder", "../../dotfiles/chained"},
      {dir / "dotfiles/chained", "last-folder"},
      {dir / "absolute", real},
  };
  for (const auto& l : links) fs::create_symlink(l.points_to, l.link);
  WriteFile(real, "/old\n");
  ASSERT_EQ(::chmod(real.c_str(), 0600), 0);

  for (const std::string& target : {links[0].link, links[2].link}) {
    SCOPED_TRACE(target);
    EXPECT_TRUE(ReplaceFileWhole(target, target + "\n"));
    EXPECT_EQ(ReadFile(real), target + "\n");
    EXPECT_EQ(PermissionsOf(real), 0600u);
    for (const auto& l : links) {
      EXPECT_TRUE(fs::is_symlink(l.link)) << l.link;
      EXPECT_EQ(fs::read_symlink(l.link), l.points_to) << l.link;
    }
    EXPECT_EQ(NamesIn(dir / "config/tolvane"), std::set<std::string>{"last-folder"});
    EXPECT_EQ(NamesIn(dir / "dotfiles"), (std::set<std::string>{"chained", "last-folder"}));
  }
}

TEST(ReplaceFileWhole, ALinkIntoAnotherFileSystemIsReplacedThere) {
  // /dev/shm is a file system of its own on most machines: a temporary file beside the link could
  // not be renamed onto the target there.
  ScratchDir other_file_system("/dev/shm");
  ScratchDir other_folder;
  const std::string elsewhere =
      other_file_system.path().empty() ? other_folder.path() : other_file_system.path();
  ASSERT_FALSE(elsewhere.empty());
  ScratchDir dir;
  const std::string real = elsewhere + "/history.txt";
  WriteFile(real, "old\r\n");
  ASSERT_EQ(::chmod(real.c_str(), 0640), 0);
  fs::create_symlink(real, dir / "history.txt");

  EXPECT_TRUE(ReplaceFileWhole(dir / "history.txt", "new\r\n"));
  EXPECT_EQ(ReadFile(real), "new\r\n");
  EXPECT_EQ(PermissionsOf(real), 0640u);
  EXPECT_TRUE(fs::is_symlink(dir / "history.txt"));
  EXPECT_EQ(NamesIn(dir.path()), std::set<std::string>{"history.txt"});
  EXPECT_EQ(NamesIn(elsewhere), std::set<std::string>{"history.txt"});
}

TEST(ReplaceFileWhole, ADanglingLinkMakesItsFileOnlyWhereItsFolderExists) {
  ScratchDir dir;
  const Umask umask(022);
  fs::create_symlink("made.txt", dir / "dangling");
  EXPECT_TRUE(ReplaceFileWhole(dir / "dangling", "new\r\n"));
  EXPECT_EQ(ReadFile(dir / "made.txt"), "new\r\n");
  EXPECT_EQ(PermissionsOf(dir / "made.txt"), 0644u);
  EXPECT_TRUE(fs::is_symlink(dir / "dangling"));

  fs::create_symlink("missing/made.txt", dir / "into-nothing");
  EXPECT_FALSE(ReplaceFileWhole(dir / "into-nothing", "new\r\n"));
  EXPECT_EQ(NamesIn(dir.path()), (std::set<std::string>{"dangling", "into-nothing", "made.txt"}));
}

TEST(ReplaceFileWhole, LinksThatGoRoundOrEndAtAFolderFailAndChangeNothing) {
  ScratchDir dir;
  fs::create_symlink("round-b", dir / "round-a");
  fs::create_symlink("round-a", dir / "round-b");
  fs::create_directory(dir / "folder");
  fs::create_symlink("folder", dir / "to-folder");
  for (const char* name : {"round-a", "to-folder"}) {
    EXPECT_FALSE(ReplaceFileWhole(dir / name, "new\r\n")) << name;
  }
  EXPECT_EQ(NamesIn(dir.path()),
            (std::set<std::string>{"folder", "round-a", "round-b", "to-folder"}));
  EXPECT_TRUE(fs::is_empty(dir / "folder"));
  EXPECT_EQ(fs::read_symlink(dir / "round-a"), "round-b");
}

// A symbolic link at `link` to `target`, owned by `owner` as if that user had made it.
void PlantLink(const std::string& target, const std::string& link, uid_t owner) {
  fs::create_symlink(target, link);
  ASSERT_EQ(::lchown(link.c_str(), owner, owner), 0);
}

TEST(LinkRule, AnotherUsersLinkIsNeitherFollowedToReadNorToReplace) {
  if (::geteuid() != 0) GTEST_SKIP() << "planting another user's link needs root";
  ScratchDir home;
  ScratchDir share;
  const std::string victim = home / ".bashrc";
  WriteFile(victim, "mine\n");
  PlantLink(victim, share / "history.txt", testing::kNobody);

  FileProblem problem;
  EXPECT_FALSE(ReplaceFileWhole(share / "history.txt", "queries\r\n", &problem));
  EXPECT_EQ(problem.kind, FileProblem::Kind::kRefusedLink);
  EXPECT_EQ(problem.link, "history.txt");
  EXPECT_EQ(problem.link_owner, testing::kNobody);
  const OpenedFile opened = OpenPathForReading(share / "history.txt");
  ASSERT_TRUE(opened.problem);
  EXPECT_EQ(opened.problem->kind, FileProblem::Kind::kRefusedLink);
  EXPECT_EQ(ReadFile(victim), "mine\n");
  EXPECT_EQ(NamesIn(share.path()), std::set<std::string>{"history.txt"});

  // Every link of a chain is judged in its own folder: the user's own link leads to another
  // user's, which is named as it was reached.
  fs::create_directory(share / "sub");
  PlantLink(victim, share / "sub/planted", testing::kNobody);
  fs::create_symlink(share / "sub/planted", home / "kekka.txt");
  EXPECT_FALSE(ReplaceFileWhole(home / "kekka.txt", "results", &problem));
  EXPECT_EQ(problem.kind, FileProblem::Kind::kRefusedLink);
  EXPECT_EQ(problem.link, share / "sub/planted");
  EXPECT_EQ(ReadFile(victim), "mine\n");
}

TEST(LinkRule, LinksOfTheUserOrOfTheFoldersOwnerAreFollowed) {
  if (::geteuid() != 0) GTEST_SKIP() << "a folder of another user needs root";
  ScratchDir dir;
  fs::create_directory(dir / "target");
  fs::create_directory(dir / "share");
  const std::string target = dir / "target/kekka.txt";
  WriteFile(target, "old");
  // The folder's owner made the link: followed, as the kernel would in a sticky folder.
  ASSERT_EQ(::chown((dir / "share").c_str(), testing::kNobody, testing::kNobody), 0);
  PlantLink(target, dir / "share/kekka.txt", testing::kNobody);
  EXPECT_TRUE(ReplaceFileWhole(dir / "share/kekka.txt", "by the owner's link"));
  EXPECT_EQ(ReadFile(target), "by the owner's link");
  // The user's own link in that folder: followed too.
  fs::create_symlink(target, dir / "share/history.txt");
  EXPECT_TRUE(ReplaceFileWhole(dir / "share/history.txt", "by my link"));
  EXPECT_EQ(ReadFile(target), "by my link");
  EXPECT_FALSE(OpenPathForReading(dir / "share/history.txt").problem);
  EXPECT_TRUE(fs::is_symlink(dir / "share/kekka.txt"));
}

// Writes `content` as a new version of `name` in `dir` and ends this process by `signal` before
// the version is committed, in a child process. True when the child died of that signal.
bool DieWhileReplacing(const ScratchDir& dir, const std::string& name, bool unnamed, int signal) {
  const pid_t child = ::fork();
  if (child == 0) {
    RemoveTemporaryNameOnEndingSignals();
    const UniqueFd folder = OpenFolder(dir.path());
    FileProblem problem;
    auto replacement = WholeFileReplacement::Begin(folder.get(), name, problem,
                                                   {.sync = false, .unnamed_allowed = unnamed});
    if (!replacement || ::write(replacement->fd(), "half", 4) != 4) ::_exit(1);
    ::raise(signal);
    ::_exit(2);
  }
  int status = 0;
  return ::waitpid(child, &status, 0) == child && WIFSIGNALED(status) && WTERMSIG(status) == signal;
}

TEST(WholeFileReplacement, ADyingProcessLeavesTheOldFileAndNoOtherName) {
  const struct {
    bool unnamed;
    int signal;
  } cases[] = {
      {true, SIGKILL}, {true, SIGTERM}, {false, SIGTERM}, {false, SIGINT}, {false, SIGHUP}};
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message()
                 << (c.unnamed ? "unnamed, " : "named, ") << strsignal(c.signal));
    ScratchDir dir;
    WriteFile(dir / "kekka.txt", "old");
    ASSERT_TRUE(DieWhileReplacing(dir, "kekka.txt", c.unnamed, c.signal));
    EXPECT_EQ(ReadFile(dir / "kekka.txt"), "old");
    EXPECT_EQ(NamesIn(dir.path()), std::set<std::string>{"kekka.txt"});
  }
}

TEST(WholeFileReplacement, ANamedNewVersionIsRemovedOnEveryFailureAndReplacesWholeOnCommit) {
  for (const bool unnamed : {false, true}) {
    SCOPED_TRACE(unnamed ? "unnamed" : "named");
    ScratchDir dir;
    WriteFile(dir / "kekka.txt", "old");
    const UniqueFd folder = OpenFolder(dir.path());
    FileProblem problem;
    const WholeFileReplacement::Options options{.sync = false, .unnamed_allowed = unnamed};
    {
      auto abandoned = WholeFileReplacement::Begin(folder.get(), "kekka.txt", problem, options);
      ASSERT_TRUE(abandoned);
      ASSERT_EQ(::write(abandoned->fd(), "half", 4), 4);
    }
    EXPECT_EQ(NamesIn(dir.path()), std::set<std::string>{"kekka.txt"});
    EXPECT_EQ(ReadFile(dir / "kekka.txt"), "old");

    // Two new versions at once, as two searches in one folder: the last to commit wins, whole.
    auto first = WholeFileReplacement::Begin(folder.get(), "kekka.txt", problem, options);
    auto second = WholeFileReplacement::Begin(folder.get(), "kekka.txt", problem, options);
    ASSERT_TRUE(first && second);
    ASSERT_EQ(::write(first->fd(), "first", 5), 5);
    ASSERT_EQ(::write(second->fd(), "second", 6), 6);
    EXPECT_TRUE(second->Commit(problem));
    EXPECT_EQ(ReadFile(dir / "kekka.txt"), "second");
    EXPECT_TRUE(first->Commit(problem));
    EXPECT_EQ(ReadFile(dir / "kekka.txt"), "first");
    EXPECT_EQ(NamesIn(dir.path()), std::set<std::string>{"kekka.txt"});
  }
}

TEST(WholeFileReplacement, WhatIsNoRegularFileIsNotReplaced) {
  ScratchDir dir;
  fs::create_directory(dir / "kekka.txt");
  const UniqueFd folder = OpenFolder(dir.path());
  FileProblem problem;
  EXPECT_FALSE(WholeFileReplacement::Begin(folder.get(), "kekka.txt", problem));
  EXPECT_EQ(problem.kind, FileProblem::Kind::kNotRegular);
  fs::create_symlink("/dev/null", dir / "history.txt");
  EXPECT_FALSE(WholeFileReplacement::Begin(folder.get(), "history.txt", problem));
  EXPECT_EQ(problem.kind, FileProblem::Kind::kNotRegular);
  ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
  const OpenedFile fifo = OpenForReading(folder.get(), "fifo");  // never waits for a writer
  ASSERT_TRUE(fifo.problem);
  EXPECT_EQ(fifo.problem->kind, FileProblem::Kind::kNotRegular);
}

}  // namespace
}  // namespace tolvane
