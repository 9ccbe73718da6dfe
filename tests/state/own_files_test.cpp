// The user's own folders and files: links of other users refused (planted with lchown, as root),
// folders made private, files written whole.
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

#include "search/io.h"
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

std::set<std::string> NamesIn(const std::string& dir) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) names.insert(entry.path().filename());
  return names;
}

std::string ReadAllFrom(int fd) {
  std::string text;
  char buffer[256];
  for (ssize_t got; (got = ReadRetry(fd, buffer, sizeof buffer)) > 0;) text.append(buffer, got);
  return text;
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

TEST_F(OwnFilesTest, ALinkIsFollowedOnlyWhenTheUserOrTheFoldersOwnerOwnsIt) {
  WriteFile(dir_ / "secret", "the user's own\n");
  const struct {
    const char* what;
    uid_t folder_owner;
    uid_t link_owner;
    bool followed;
  } cases[] = {
      {"the user's link", 0, 0, true},
      {"another user's link in the user's folder", 0, kNobody, false},
      {"the folder owner's link in a shared folder", kNobody, kNobody, true},
      {"the user's link in another user's folder", kNobody, 0, true},
  };
  int n = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string folder = dir_ / ("folder" + std::to_string(n++));
    fs::create_directories(folder);
    // Relative, so that it is read from the link's folder, not the working directory.
    Link("../secret", folder + "/kekka.txt", c.link_owner);
    ASSERT_EQ(::chown(folder.c_str(), c.folder_owner, c.folder_owner), 0);
    const UniqueFd fd = OpenFolder(folder);
    OpenedName opened = OpenWithoutForeignLink(fd.get(), "kekka.txt", O_RDONLY);
    EXPECT_EQ(opened.fd.valid(), c.followed);
    EXPECT_EQ(opened.refused_link, !c.followed);
    if (c.followed) {
      EXPECT_EQ(ReadAllFrom(opened.fd.get()), "the user's own\n");
    }
  }
  // A plain file and a missing name are no links.
  WriteFile(dir_ / "plain", "plain\n");
  const UniqueFd top = OpenFolder(dir_.path());
  OpenedName plain = OpenWithoutForeignLink(top.get(), "plain", O_RDONLY);
  EXPECT_EQ(ReadAllFrom(plain.fd.get()), "plain\n");
  const OpenedName missing = OpenWithoutForeignLink(top.get(), "missing", O_RDONLY);
  EXPECT_FALSE(missing.fd.valid());
  EXPECT_FALSE(missing.refused_link);
}

TEST_F(OwnFilesTest, OwnFolderIsMadePrivateWithItsParents) {
  const std::string base = dir_ / "home/.cache";
  const std::array<std::string, 2> subfolders{"tolvane", "0123"};
  {
    const UniqueFd folder = OpenOwnFolder(base, subfolders);
    ASSERT_TRUE(folder.valid());
    EXPECT_TRUE(WriteWholeFileAt(folder.get(), "kekka.txt", 0600, [](int fd) { return WriteAll(fd, "x"); }));
  }
  for (const std::string& made : {dir_ / "home", base, base + "/tolvane", base + "/tolvane/0123"}) {
    EXPECT_EQ(PermissionsOf(made), 0700u) << made;
  }
  EXPECT_EQ(ReadFile(base + "/tolvane/0123/kekka.txt"), "x");

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

TEST_F(OwnFilesTest, AWholeFileReplacesTheNameAndNeverWritesThroughALink) {
  const UniqueFd folder = OpenFolder(dir_.path());
  WriteFile(dir_ / "victim", "not to be touched\n");
  Link(dir_ / "victim", dir_ / "kekka.txt", kNobody);
  ASSERT_TRUE(WriteWholeFileAt(folder.get(), "kekka.txt", 0600, [&](int fd) {
    // While it is written, the name still shows what was there.
    EXPECT_TRUE(fs::is_symlink(dir_ / "kekka.txt"));
    return WriteAll(fd, "first\r\n");
  }));
  EXPECT_FALSE(fs::is_symlink(dir_ / "kekka.txt"));
  EXPECT_EQ(ReadFile(dir_ / "kekka.txt"), "first\r\n");
  EXPECT_EQ(PermissionsOf(dir_ / "kekka.txt"), 0600u);
  EXPECT_EQ(ReadFile(dir_ / "victim"), "not to be touched\n");

  // A fill that fails leaves the old file and no other name.
  EXPECT_FALSE(WriteWholeFileAt(folder.get(), "kekka.txt", 0600, [](int fd) {
    WriteAll(fd, "half");
    return false;
  }));
  EXPECT_EQ(ReadFile(dir_ / "kekka.txt"), "first\r\n");
  EXPECT_EQ(NamesIn(dir_.path()), (std::set<std::string>{"kekka.txt", "victim"}));

  // A folder in the name's place cannot be replaced; nothing is left behind either.
  fs::create_directories(dir_ / "taken");
  EXPECT_FALSE(WriteWholeFileAt(folder.get(), "taken", 0600, [](int fd) { return WriteAll(fd, "x"); }));
  EXPECT_TRUE(fs::is_directory(dir_ / "taken"));
  EXPECT_EQ(NamesIn(dir_.path()), (std::set<std::string>{"kekka.txt", "taken", "victim"}));
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

}  // namespace
}  // namespace tolvane
