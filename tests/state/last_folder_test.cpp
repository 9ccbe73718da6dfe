// The remembered folder: which start folder wins, where the file is, what content it takes back,
// and that a save writes only a change, whole, or nothing at all.
#include "state/last_folder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <set>
#include <string>

#include "state/settings.h"
#include "test_util.h"

namespace tolvane {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;
using testing::ReadFile;
using testing::ScratchDir;
using testing::WriteFile;

TEST(ChooseStartFolder, ArgumentThenWorkingWithRecordsThenRememberedWithRecordsThenWorking) {
  const std::set<std::string> with_records = {"/work", "/kept"};
  const auto holds = [&](const std::string& folder) { return with_records.count(folder) > 0; };
  const struct {
    StartFolderCandidates candidates;
    std::optional<std::string> chosen;
  } cases[] = {
      {{"/arg", "/work", "/kept"}, "/arg"},  // even an argument without records
      {{std::nullopt, "/work", "/kept"}, "/work"},
      {{std::nullopt, "/empty", "/kept"}, "/kept"},
      {{std::nullopt, "/empty", "/lost"}, "/empty"},  // the remembered folder lost its records
      {{std::nullopt, "/empty", std::nullopt}, "/empty"},
      {{std::nullopt, std::nullopt, "/kept"}, "/kept"},  // the working directory was removed
      {{std::nullopt, std::nullopt, "/lost"}, std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ChooseStartFolder(c.candidates, holds), c.chosen)
        << c.candidates.working.value_or("-") << " " << c.candidates.remembered.value_or("-");
  }
}

TEST(LastFolderFile, IsUnderAnAbsoluteXdgConfigHomeElseUnderHome) {
  EXPECT_EQ(LastFolderFile("/cfg", "/home/u"), "/cfg/tolvane/last-folder");
  EXPECT_EQ(LastFolderFile("/cfg//", "/home/u"), "/cfg/tolvane/last-folder");
  EXPECT_EQ(LastFolderFile("/", nullptr), "/tolvane/last-folder");
  EXPECT_EQ(LastFolderFile(nullptr, "/home/u"), "/home/u/.config/tolvane/last-folder");
  EXPECT_EQ(LastFolderFile("", "/home/u/"), "/home/u/.config/tolvane/last-folder");
  EXPECT_EQ(LastFolderFile("relative/cfg", "/home/u"), "/home/u/.config/tolvane/last-folder");
  EXPECT_EQ(LastFolderFile(nullptr, nullptr), std::nullopt);
  EXPECT_EQ(LastFolderFile("relative/cfg", nullptr), std::nullopt);
  EXPECT_EQ(LastFolderFile(nullptr, ""), std::nullopt);
  EXPECT_EQ(LastFolderFile(nullptr, "home/u"), std::nullopt);
}

class LastFolderFileTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_FALSE(scratch_.path().empty()); }
  std::string File() const { return scratch_ / "config/tolvane/last-folder"; }
  void WriteContent(const std::string& bytes) const {
    fs::create_directories(scratch_ / "config/tolvane");
    WriteFile(File(), bytes);
  }
  std::size_t EntriesBesideTheFile() const {
    return static_cast<std::size_t>(std::distance(
        fs::directory_iterator(scratch_ / "config/tolvane"), fs::directory_iterator()));
  }
  ino_t Inode() const {
    struct stat info {};
    return ::stat(File().c_str(), &info) == 0 ? info.st_ino : 0;
  }

  ScratchDir scratch_{testing::kEveryonesTempDir};
};

TEST_F(LastFolderFileTest, GivesBackOneAbsoluteFolderOnly) {
  const std::string longest = "/" + std::string(kLastFolderBytes - 1, 'a');
  const struct {
    std::string content;
    std::optional<std::string> folder;
  } cases[] = {
      {"/home/u/biblio\n", "/home/u/biblio"},
      {"/home/u/biblio", "/home/u/biblio"},  // written by hand without its line feed
      // Any byte but NUL and LF is the folder's.
      {"/home/u/\x8c\x9f\x8d\xf5 dir\r\n", "/home/u/\x8c\x9f\x8d\xf5 dir\r"},
      {longest + "\n", longest},
      {"", std::nullopt},
      {"\n", std::nullopt},
      {"relative/biblio\n", std::nullopt},
      {"~/biblio\n", std::nullopt},
      {"/home/u\0/biblio\n"s, std::nullopt},
      {"/home/u/biblio\n/elsewhere\n", std::nullopt},
      {"/home/u/biblio\n\n", std::nullopt},
      {longest + "b\n", std::nullopt},
      {longest + "b", std::nullopt},
      {"/" + std::string(3 * kLastFolderBytes, 'a'), std::nullopt},
  };
  for (const auto& c : cases) {
    WriteContent(c.content);
    EXPECT_EQ(LoadLastFolder(File()), c.folder) << c.content.substr(0, 40);
  }
}

TEST_F(LastFolderFileTest, NothingWhenMissingOrNoRegularFile) {
  EXPECT_EQ(LoadLastFolder(File()), std::nullopt);
  fs::create_directories(File());
  EXPECT_EQ(LoadLastFolder(File()), std::nullopt);
  fs::remove(File());
  // A FIFO nobody writes to would block a plain open.
  ASSERT_EQ(::mkfifo(File().c_str(), 0600), 0);
  EXPECT_EQ(LoadLastFolder(File()), std::nullopt);
}

TEST_F(LastFolderFileTest, SaveMakesTheFoldersAndWritesOnlyAChange) {
  ASSERT_TRUE(SaveLastFolder(File(), "/home/u/biblio"));
  EXPECT_EQ(ReadFile(File()), "/home/u/biblio\n");
  EXPECT_EQ(fs::status(scratch_ / "config").permissions(), fs::perms::owner_all);
  EXPECT_EQ(fs::status(scratch_ / "config/tolvane").permissions(), fs::perms::owner_all);

  // A replacement is a new file, so an unchanged inode shows that nothing was written.
  const ino_t first = Inode();
  EXPECT_TRUE(SaveLastFolder(File(), "/home/u/biblio"));
  EXPECT_EQ(Inode(), first);
  EXPECT_TRUE(SaveLastFolder(File(), "/home/u/other"));
  EXPECT_EQ(ReadFile(File()), "/home/u/other\n");
  EXPECT_NE(Inode(), first);
  EXPECT_EQ(EntriesBesideTheFile(), 1u);  // no temporary file left

  // What the file could not give back is not written at all.
  for (const std::string& folder :
       {"relative"s, ""s, "/a\nb"s, "/a\0b"s, "/" + std::string(kLastFolderBytes, 'a')}) {
    EXPECT_FALSE(SaveLastFolder(File(), folder));
    EXPECT_EQ(ReadFile(File()), "/home/u/other\n");
  }
}

TEST_F(LastFolderFileTest, SaveThatCannotWriteFailsQuietlyAndKeepsTheOldFile) {
  WriteContent("/home/u/biblio\n");
  fs::permissions(scratch_.path(), fs::perms(0755));
  fs::permissions(scratch_ / "config", fs::perms(0755));
  fs::permissions(File(), fs::perms(0644));
  fs::permissions(scratch_ / "config/tolvane", fs::perms(0555));
  // A folder the user may write shows that the save below fails for its folder alone.
  fs::create_directory(scratch_ / "writable");
  fs::permissions(scratch_ / "writable", fs::perms::all);
  ASSERT_TRUE(testing::OthersCanEnter(scratch_ / "writable")) << scratch_.path();
  const std::string file = File();
  const std::string writable_file = scratch_ / "writable/last-folder";
  EXPECT_EQ(testing::AsOrdinaryUser([&] {
              return SaveLastFolder(writable_file, "/home/u/other") &&
                     !SaveLastFolder(file, "/home/u/other");
            }),
            true);
  EXPECT_EQ(ReadFile(writable_file), "/home/u/other\n");
  EXPECT_EQ(ReadFile(File()), "/home/u/biblio\n");
  EXPECT_EQ(EntriesBesideTheFile(), 1u);
  fs::permissions(scratch_ / "config/tolvane", fs::perms(0755));

  // A configuration "folder" that is a file: nothing can be made below it.
  WriteFile(scratch_ / "plain", "x");
  EXPECT_FALSE(SaveLastFolder(scratch_ / "plain/tolvane/last-folder", "/home/u/other"));
  EXPECT_EQ(ReadFile(scratch_ / "plain"), "x");
}

}  // namespace
}  // namespace tolvane

namespace tolvane {
namespace {

TEST(SettingsFile, SitsBesideTheRememberedFolder) {
  EXPECT_EQ(ConfigFile("/xdg", "/home/u", "settings"), "/xdg/tolvane/settings");
  EXPECT_EQ(ConfigFile(nullptr, "/home/u/", "settings"), "/home/u/.config/tolvane/settings");
  EXPECT_EQ(ConfigFile("relative", nullptr, "settings"), std::nullopt);
}

TEST(SettingsFile, RoundTripsAndFallsBackToTheDefaults) {
  testing::ScratchDir dir;
  const std::string file = dir / "made/on/the/way/settings";
  EXPECT_EQ(LoadSettings(file), Settings{});  // missing: the loose search is off
  ASSERT_TRUE(SaveSettings(file, Settings{.loose_search = true}));
  EXPECT_TRUE(LoadSettings(file).loose_search);
  EXPECT_EQ(testing::ReadFile(file), "loose-search=on\n");
  // Lines it does not know, a value it does not know, no final line feed: read what is there.
  testing::WriteFile(file, "colour=blue\nloose-search=on");
  EXPECT_TRUE(LoadSettings(file).loose_search);
  testing::WriteFile(file, "loose-search=yes please\n");
  EXPECT_FALSE(LoadSettings(file).loose_search);
  // Saved by an editor with CR LF, and others' lines kept by a save.
  testing::WriteFile(file, "colour=blue\r\nloose-search=on\r\n");
  EXPECT_TRUE(LoadSettings(file).loose_search);
  ASSERT_TRUE(SaveSettings(file, Settings{.loose_search = false}));
  EXPECT_EQ(testing::ReadFile(file), "colour=blue\nloose-search=off\n");
  // A folder where the file should be: the defaults, and a save that says it failed.
  const std::string folder = dir / "a-folder";
  std::filesystem::create_directory(folder);
  EXPECT_EQ(LoadSettings(folder), Settings{});
  EXPECT_FALSE(SaveSettings(folder, Settings{.loose_search = true}));
}

TEST(SettingsFile, KeepsTheDialogSizeAndTheCopyEditor) {
  testing::ScratchDir dir;
  const std::string file = dir / "settings";
  // The editor's path in Shift-JIS: /opt/エディタ/ed (83 47 83 66 83 42 83 5E).
  const std::string editor = "/opt/\x83\x47\x83\x66\x83\x42\x83\x5e/ed";
  ASSERT_TRUE(SaveSettings(
      file, Settings{.dialog_width = 900, .dialog_height = 600, .utf8_copy_editor = editor}));
  EXPECT_EQ(testing::ReadFile(file),
            "loose-search=off\nfile-dialog-size=900x600\nutf8-copy-editor=" + editor + "\n");
  EXPECT_EQ(LoadSettings(file),
            (Settings{.dialog_width = 900, .dialog_height = 600, .utf8_copy_editor = editor}));
  // Damaged sizes are no size: a side missing, zero, too large, signed, or not digits.
  for (const char* size : {"900x", "x600", "0x600", "900x16385", "-900x600", "900x6OO",
                           "99999999999x1", "900 x 600"}) {
    testing::WriteFile(file, std::string("file-dialog-size=") + size + "\n");
    const Settings loaded = LoadSettings(file);
    EXPECT_EQ(loaded.dialog_width, 0) << size;
    EXPECT_EQ(loaded.dialog_height, 0) << size;
  }
  // An editor command holding a line break would split into two lines: not kept.
  ASSERT_TRUE(SaveSettings(file, Settings{.utf8_copy_editor = "ed\nloose-search=on"}));
  EXPECT_EQ(testing::ReadFile(file), "loose-search=off\n");
}

}  // namespace
}  // namespace tolvane
