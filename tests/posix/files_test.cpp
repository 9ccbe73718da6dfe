// Replacing a state file whole: the mode it keeps or takes, and a symbolic link in its place,
// which stays while the file it ends at is replaced in that file's own folder.
#include "posix/files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

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
      {022, 0600, 0600},
      {022, 0640, 0640},
      {077, 0640, 0640},  // the umask narrows only what is made new
      {022, 0444, 0444},  // a read-only file is still replaced, and stays read-only
      {022, std::nullopt, 0644},
      {027, std::nullopt, 0640},
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

}  // namespace
}  // namespace tolvane
