// A path given to open or to start in: what each kind of file and each failure is taken for.
#include "state/given_path.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "test_util.h"

namespace tolvane {
namespace {

namespace fs = std::filesystem;
using testing::ScratchDir;

TEST(GivenPath, FilesAndFoldersOpenEverythingElseSaysWhy) {
  ScratchDir dir;
  testing::WriteFile(dir / "tolvaneken.txt", "a\r\n");
  fs::create_directory(dir / "folder");
  fs::create_symlink(dir / "folder", dir / "link");
  fs::create_symlink(dir / "gone", dir / "dangling");
  ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
  const struct {
    std::string path;
    GivenPathKind kind;
  } cases[] = {
      {dir / "tolvaneken.txt", GivenPathKind::kFile},
      {dir / "folder", GivenPathKind::kFolder},
      {dir / "link", GivenPathKind::kFolder},
      {dir / "folder/", GivenPathKind::kFolder},
      {dir / "missing", GivenPathKind::kMissing},
      {dir / "dangling", GivenPathKind::kMissing},
      {dir / "tolvaneken.txt/below", GivenPathKind::kMissing},  // a file on the way
      {"", GivenPathKind::kMissing},
      {dir / "fifo", GivenPathKind::kCannotOpen},  // and no wait for a writer
      {"/dev/null", GivenPathKind::kCannotOpen},
  };
  for (const auto& c : cases) EXPECT_EQ(InspectGivenPath(c.path), c.kind) << c.path;
}

TEST(GivenPath, WhatTheUserMayNotReadOrEnterIsNoPermission) {
  ScratchDir dir(testing::kEveryonesTempDir);
  fs::permissions(dir.path(), fs::perms(0755));
  ASSERT_TRUE(testing::OthersCanEnter(dir.path())) << dir.path();
  testing::WriteFile(dir / "readable.txt", "a\r\n");
  fs::permissions(dir / "readable.txt", fs::perms(0644));
  testing::WriteFile(dir / "unreadable.txt", "a\r\n");
  fs::permissions(dir / "unreadable.txt", fs::perms::none);
  fs::create_directories(dir / "closed/inner");
  testing::WriteFile(dir / "closed/inner/tolvaneken.txt", "a\r\n");
  fs::permissions(dir / "closed", fs::perms(0644));  // readable, but cannot be entered
  // The readable file beside them shows that the user got as far as the folder.
  const std::string readable = dir / "readable.txt";
  const auto kind_as_user = [&](const std::string& path, GivenPathKind expected) {
    return testing::AsOrdinaryUser([&] {
      return InspectGivenPath(readable) == GivenPathKind::kFile &&
             InspectGivenPath(path) == expected;
    });
  };
  EXPECT_EQ(kind_as_user(dir / "unreadable.txt", GivenPathKind::kNoPermission), true);
  EXPECT_EQ(kind_as_user(dir / "closed", GivenPathKind::kNoPermission), true);
  EXPECT_EQ(kind_as_user(dir / "closed/inner/tolvaneken.txt", GivenPathKind::kNoPermission), true);
  fs::permissions(dir / "closed", fs::perms(0755));
}

}  // namespace
}  // namespace tolvane
