// The folder a given file or folder makes the start folder: resolved on its bytes, so that a
// folder name that is not UTF-8 is kept exactly.
#include "state/start_dir.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "test_util.h"

namespace tolvane {
namespace {

namespace fs = std::filesystem;
using testing::ScratchDir;

// "検索" in Shift-JIS: not UTF-8, as a folder copied from Windows may be named.
constexpr char kSjisName[] = "\x8c\x9f\x8d\xf5";

// Runs `body` with `folder` as the working directory, then goes back.
template <typename Body>
void InFolder(const std::string& folder, Body body) {
  const std::optional<std::string> before = CurrentDirectory();
  ASSERT_TRUE(before);
  ASSERT_EQ(::chdir(folder.c_str()), 0);
  body();
  ASSERT_EQ(::chdir(before->c_str()), 0);
}

TEST(StartFolderOfAPath, KeepsBytesThatAreNotUtf8) {
  ScratchDir scratch;
  const std::string root = fs::canonical(scratch.path()).string();
  const std::string folder = root + "/" + kSjisName;
  fs::create_directory(folder);
  testing::WriteFile(folder + "/tolvaneken.txt", "a\r\n");

  EXPECT_EQ(ResolvedFolder(folder), folder);
  EXPECT_EQ(FolderOfFile(folder + "/tolvaneken.txt"), folder);
  InFolder(root, [&] {
    EXPECT_EQ(ResolvedFolder(kSjisName), folder);
    EXPECT_EQ(FolderOfFile(std::string(kSjisName) + "/tolvaneken.txt"), folder);
  });
  InFolder(folder, [&] { EXPECT_EQ(FolderOfFile("tolvaneken.txt"), folder); });
}

TEST(StartFolderOfAPath, ResolvesLinksAndDotsButNotTheFileItself) {
  ScratchDir scratch;
  const std::string root = fs::canonical(scratch.path()).string();
  fs::create_directories(root + "/data/biblio");
  fs::create_directory_symlink(root + "/data/biblio", root + "/biblio");
  testing::WriteFile(root + "/data/biblio/tolvaneken.txt", "a\r\n");
  fs::create_directory(root + "/elsewhere");
  fs::create_symlink(root + "/data/biblio/tolvaneken.txt", root + "/elsewhere/tolvaneken.txt");

  EXPECT_EQ(ResolvedFolder(root + "/biblio"), root + "/data/biblio");
  EXPECT_EQ(ResolvedFolder(root + "/biblio/../biblio/"), root + "/data/biblio");
  EXPECT_EQ(FolderOfFile(root + "/biblio/tolvaneken.txt"), root + "/data/biblio");
  // A link to a file opens in the link's folder, as the file manager showed it.
  EXPECT_EQ(FolderOfFile(root + "/elsewhere/tolvaneken.txt"), root + "/elsewhere");
  EXPECT_EQ(FolderOfFile("/tolvaneken.txt"), "/");
}

TEST(StartFolderOfAPath, AFolderThatIsGoneStaysAbsolute) {
  ScratchDir scratch;
  const std::string root = fs::canonical(scratch.path()).string();
  EXPECT_EQ(ResolvedFolder(root + "/gone"), root + "/gone");
  EXPECT_EQ(FolderOfFile(root + "/gone/tolvaneken.txt"), root + "/gone");
  InFolder(root, [&] { EXPECT_EQ(ResolvedFolder("gone"), root + "/gone"); });
}

}  // namespace
}  // namespace tolvane
