// The desktop's entries as Shift+Enter reads them: which applications open text, how their Exec
// lines become command lines, and which of them would start this program again.
#include "state/desktop_entries.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "test_util.h"

namespace tolvane {
namespace {

namespace fs = std::filesystem;
using testing::ScratchDir;
using testing::WriteFile;
using Words = std::vector<std::string>;

TEST(DesktopEntryParse, ReadsTheFirstGroupOnly) {
  const std::optional<DesktopEntry> entry = ParseDesktopEntry(
      "# comment\n[Desktop Entry]\r\nType = Application\r\nExec=gedit "
      "%U\nMimeType=text/plain;;text/x-c ;\n"
      "[Desktop Action new-window]\nExec=gedit --new-window\nMimeType=image/png;\n");
  ASSERT_TRUE(entry);
  EXPECT_TRUE(entry->application);
  EXPECT_EQ(entry->exec, "gedit %U");
  EXPECT_EQ(entry->mime_types, (Words{"text/plain", "text/x-c"}));
  EXPECT_FALSE(entry->HandlesMimeType("image/png"));
}

TEST(DesktopEntryParse, RefusesTextWithoutTheEntryGroupFirst) {
  EXPECT_FALSE(ParseDesktopEntry(""));
  EXPECT_FALSE(ParseDesktopEntry("Exec=x\n[Desktop Entry]\n"));
  EXPECT_FALSE(ParseDesktopEntry("[Other]\n[Desktop Entry]\nExec=x\n"));
}

TEST(DesktopEntryParse, UndoesStringEscapesAndReadsHidden) {
  const std::optional<DesktopEntry> entry = ParseDesktopEntry(
      "[Desktop Entry]\nType=Application\nHidden=true\nExec=\"/opt/my\\sedit\" \\\\x %f\n");
  ASSERT_TRUE(entry);
  EXPECT_TRUE(entry->hidden);
  EXPECT_EQ(entry->exec, "\"/opt/my edit\" \\x %f");
}

TEST(ExecCommandLine, PutsTheFileInPlaceOfItsFieldCode) {
  EXPECT_EQ(ExecArguments("gedit %U", "/c/kekka.txt"), (Words{"gedit", "/c/kekka.txt"}));
  EXPECT_EQ(ExecArguments("mousepad %F", "a b.txt"), (Words{"mousepad", "a b.txt"}));
  EXPECT_EQ(ExecArguments("ed --file=%f --name %c %i", "k.txt"),
            (Words{"ed", "--file=k.txt", "--name"}));
  // One file however many codes ask for it; %% is a percent sign.
  EXPECT_EQ(ExecArguments("ed %f %u 100%%", "k.txt"), (Words{"ed", "k.txt", "100%"}));
}

TEST(ExecCommandLine, UndoesQuoting) {
  EXPECT_EQ(ExecArguments(R"("/opt/my edit/bin/ed" "say \"hi\" \$HOME \\" %f)", "k.txt"),
            (Words{"/opt/my edit/bin/ed", R"(say "hi" $HOME \)", "k.txt"}));
  EXPECT_EQ(ExecArguments(R"(ed "" %f)", "k.txt"), (Words{"ed", "", "k.txt"}));
}

TEST(ExecCommandLine, RefusesWhatCannotOpenTheFile) {
  EXPECT_FALSE(ExecArguments("ed --new-window", "k.txt"));  // takes no file
  EXPECT_FALSE(ExecArguments("\"ed %f", "k.txt"));          // quote left open
  EXPECT_FALSE(ExecArguments("  ", "k.txt"));
  EXPECT_FALSE(ExecArguments("%i %f", ""));  // no program left
}

TEST(ApplicationsFolderList, FollowsTheBaseDirectoryRules) {
  EXPECT_EQ(ApplicationsFolders(nullptr, "/home/u", nullptr),
            (Words{"/home/u/.local/share/applications", "/usr/local/share/applications",
                   "/usr/share/applications"}));
  EXPECT_EQ(ApplicationsFolders("/d", "/home/u", "/a/:relative::/b:/a"),
            (Words{"/d/applications", "/a/applications", "/b/applications"}));
  EXPECT_EQ(ApplicationsFolders("", nullptr, ""),
            (Words{"/usr/local/share/applications", "/usr/share/applications"}));
}

TEST(OwnEntry, KnowsThisProgramUnderAnyId) {
  EXPECT_TRUE(IsOwnEntry({.id = kOwnDesktopId, .exec = "other %f"}));
  EXPECT_TRUE(IsOwnEntry({.id = "userapp-tolvane-X1.desktop", .exec = "/usr/bin/tolvane %f"}));
  EXPECT_TRUE(IsOwnEntry({.id = "t.desktop", .exec = "env LANG=ja_JP.UTF-8 tolvane %f"}));
  EXPECT_FALSE(IsOwnEntry({.id = "t.desktop", .exec = "tolvane-search %f"}));
  EXPECT_FALSE(IsOwnEntry({.id = "t.desktop", .exec = "gedit \"tolvane\" %f"}));
}

class TextEditorsFound : public ::testing::Test {
 protected:
  void Entry(const std::string& folder, const std::string& relative, const std::string& body) {
    const fs::path path = fs::path(dir_.path()) / folder / relative;
    fs::create_directories(path.parent_path());
    WriteFile(path.string(), "[Desktop Entry]\nType=Application\n" + body);
  }
  std::vector<std::string> Folders() const { return {dir_.path() + "/home", dir_.path() + "/usr"}; }
  static Words Ids(const std::vector<DesktopEntry>& entries) {
    Words ids;
    for (const DesktopEntry& entry : entries) ids.push_back(entry.id);
    return ids;
  }
  ScratchDir dir_;
};

TEST_F(TextEditorsFound, InFolderOrderEachIdOnce) {
  Entry("usr", "b-edit.desktop", "Exec=b %f\nMimeType=text/plain;\n");
  Entry("usr", "a-edit.desktop", "Exec=a %f\nMimeType=text/plain;\n");
  Entry("usr", "viewer.desktop", "Exec=v %f\nMimeType=image/png;\n");
  Entry("usr", "kde/kwrite.desktop", "Exec=kwrite %U\nMimeType=text/plain;\n");
  Entry("usr", "link.desktop", "Exec=x %f\nMimeType=text/plain;\n");
  Entry("home", "link.desktop", "Type=Link\nURL=http://example.org/\n");  // shadows the one below
  Entry("home", "z-mine.desktop", "Exec=z %f\nMimeType=text/plain;\n");
  Entry("home", "b-edit.desktop",
        "Exec=b %f\nMimeType=text/plain;\nHidden=true\n");  // removed by the user
  Entry("usr", "notes.txt", "Exec=n %f\nMimeType=text/plain;\n");
  const std::vector<DesktopEntry> found = EntriesForMimeType(Folders(), "text/plain");
  EXPECT_EQ(Ids(found), (Words{"z-mine.desktop", "a-edit.desktop", "kde-kwrite.desktop"}));
}

TEST_F(TextEditorsFound, NothingFromMissingFolders) {
  EXPECT_TRUE(EntriesForMimeType({dir_.path() + "/none"}, "text/plain").empty());
}

TEST_F(TextEditorsFound, AnIdByItsMostImportantFolderAndSubfolder) {
  Entry("usr", "org.example.Ed.desktop", "Exec=usr %f\n");
  Entry("home", "org.example.Ed.desktop", "Exec=home %f\n");
  Entry("usr", "kde/kwrite.desktop", "Exec=kwrite %U\n");
  EXPECT_EQ(FindDesktopEntry(Folders(), "org.example.Ed.desktop")->exec, "home %f");
  EXPECT_EQ(FindDesktopEntry(Folders(), "kde-kwrite.desktop")->exec, "kwrite %U");
  EXPECT_FALSE(FindDesktopEntry(Folders(), "absent.desktop"));
  EXPECT_FALSE(FindDesktopEntry(Folders(), "../usr/org.example.Ed.desktop"));
}

}  // namespace
}  // namespace tolvane
