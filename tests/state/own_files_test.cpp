// The user's own folders: made private, and other users' folders and links refused (planted with
// lchown, as root).
#include "state/own_files.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <filesystem>
#include <set>
#include <string>

#include "posix/io.h"
#include "test_util.h"

namespace tolvane {
namespace {

namespace fs = std::filesystem;
using testing::kNobody;
using testing::ReadFile;
using testing::ScratchDir;
using testing::WriteFile;

mode_t PermissionsOf(const std::string& path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 07777;
}

class OwnFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (::geteuid() != 0) GTEST_SKIP() << "planting another user's links takes root";
    ASSERT_FALSE(dir_.path().empty());
  }
  // A symbolic link at `link` to `target`, owned by `owner`.
  static void Link(const std::string& target, const std::string& link, uid_t owner) {
    fs::create_symlink(target, link);
    ASSERT_EQ(::lchown(link.c_str(), owner, owner), 0);
  }
  static UniqueFd OpenFolder(const std::string& path) {
    return UniqueFd(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  }

  ScratchDir dir_;
};

TEST_F(OwnFilesTest, OwnFolderIsMadePrivateWithItsParents) {
  const std::string base = dir_ / "home/.cache";
  const std::array<std::string, 2> subfolders{"tolvane", "0123"};
  {
    const UniqueFd folder = OpenOwnFolder(base, subfolders);
    ASSERT_TRUE(folder.valid());
    ASSERT_EQ(::openat(folder.get(), "kekka.txt", O_WRONLY | O_CREAT | O_CLOEXEC, 0600) >= 0, true);
  }
  for (const std::string& made : {dir_ / "home", base, base + "/tolvane", base + "/tolvane/0123"}) {
    EXPECT_EQ(PermissionsOf(made), 0700u) << made;
  }
  EXPECT_TRUE(fs::exists(base + "/tolvane/0123/kekka.txt"));

  // A folder of the user's own that others may write is narrowed; the base is the user's choice.
  fs::permissions(base, fs::perms::all);
  fs::permissions(base + "/tolvane", fs::perms::all);
  EXPECT_TRUE(OpenOwnFolder(base, subfolders).valid());
  EXPECT_EQ(PermissionsOf(base), 0777u);
  EXPECT_EQ(PermissionsOf(base + "/tolvane"), 0700u);
}

TEST_F(OwnFilesTest, AFolderOfAnotherUsersOrTheirLinkIsRefusedAndLeftAlone) {
  const std::string base = dir_ / "cache";
  fs::create_directories(base);
  fs::create_directories(dir_ / "victim");
  const std::array<std::string, 1> subfolder{"tolvane"};

  // Another user's folder in its place.
  fs::create_directories(base + "/tolvane");
  fs::permissions(base + "/tolvane", fs::perms::all);
  ASSERT_EQ(::chown((base + "/tolvane").c_str(), kNobody, kNobody), 0);
  EXPECT_FALSE(OpenOwnFolder(base, subfolder).valid());
  EXPECT_EQ(PermissionsOf(base + "/tolvane"), 0777u);
  fs::remove(base + "/tolvane");

  // Another user's link to a folder of the user's own.
  Link(dir_ / "victim", base + "/tolvane", kNobody);
  EXPECT_FALSE(OpenOwnFolder(base, subfolder).valid());
  fs::remove(base + "/tolvane");
  // The user's own link is followed.
  Link(dir_ / "victim", base + "/tolvane", 0);
  EXPECT_TRUE(OpenOwnFolder(base, subfolder).valid());
  fs::remove(base + "/tolvane");

  // A file in its place, and names that are no single folder.
  WriteFile(base + "/tolvane", "a file\n");
  EXPECT_FALSE(OpenOwnFolder(base, subfolder).valid());
  for (const std::string name : {"..", ".", "", "a/b"}) {
    EXPECT_FALSE(OpenOwnFolder(base, std::array<std::string, 1>{name}).valid()) << name;
  }
  EXPECT_TRUE(fs::is_empty(dir_ / "victim"));
  EXPECT_FALSE(OpenOwnFolder("relative/cache", {}).valid());
}

TEST(UserCacheHome, IsXdgCacheHomeWhenAbsoluteElseTheHomesCache) {
  const std::string saved_home = ::getenv("HOME") ? ::getenv("HOME") : "";
  ::setenv("HOME", "/home/researcher", 1);
  ::setenv("XDG_CACHE_HOME", "/var/cache/researcher", 1);
  EXPECT_EQ(UserCacheHome(), "/var/cache/researcher");
  // A relative setting is no valid one; it would land wherever the working directory is.
  for (const char* invalid : {"relative/cache", ""}) {
    ::setenv("XDG_CACHE_HOME", invalid, 1);
    EXPECT_EQ(UserCacheHome(), "/home/researcher/.cache");
  }
  ::unsetenv("XDG_CACHE_HOME");
  EXPECT_EQ(UserCacheHome(), "/home/researcher/.cache");
  ::setenv("HOME", saved_home.c_str(), 1);
}

// A folder's results that it cannot take go below its own folder in the cache, which the UTF-8
// copy for the editor shares: one digest of the path for the window and the command alike.
TEST(OwnResultsFolder, LiesInTheStartFoldersOwnFolderOfTheCache) {
  ScratchDir dir;
  ::setenv("XDG_CACHE_HOME", (dir / "cache").c_str(), 1);
  std::string path;
  const UniqueFd folder = OpenOwnResultsFolder("/srv/biblio", path);
  ::unsetenv("XDG_CACHE_HOME");
  ASSERT_TRUE(folder.valid());
  EXPECT_EQ(StartFolderCacheName("/srv/biblio").size(), 16u);
  EXPECT_NE(StartFolderCacheName("/srv/biblio"), StartFolderCacheName("/srv/biblio2"));
  EXPECT_EQ(path, dir / "cache/tolvane/" + StartFolderCacheName("/srv/biblio") + "/results");
  EXPECT_EQ(PermissionsOf(path), 0700u);
  EXPECT_EQ(PermissionsOf(fs::path(path).parent_path()), 0700u);
}

}  // namespace
}  // namespace tolvane
