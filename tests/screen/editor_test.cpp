#include "screen/editor.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QListView>
#include <QMessageBox>
#include <QPushButton>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "dialog_driver.h"
#include "encoding/cp932.h"
#include "posix/unique_fd.h"
#include "screen/results_copy.h"
#include "state/history.h"
#include "state/settings.h"
#include "test_util.h"

namespace tolvane {
namespace {

using testing::AnswerNextDialog;
using testing::ChooseFile;
using testing::MessageBoxCloser;
using testing::ScratchDir;

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// Only how long a test waits before it fails; a started program is waited for, never timed.
constexpr auto kLaunchTimeout = std::chrono::seconds(60);

// Waits for a file that a started process writes; empty when it never comes.
std::string WaitForFile(const fs::path& path, Clock::duration timeout) {
  const auto deadline = Clock::now() + timeout;
  while (Clock::now() < deadline) {
    if (fs::exists(path)) return testing::ReadFile(path.string());
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return {};
}

class EditorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(scratch_.path().empty());
    root_ = fs::canonical(scratch_.path());
    start_ = root_ / "start dir";
    fs::create_directories(start_);
    record_ = root_ / "record.out";
    record_bytes_ = root_ / "record.bytes";
    saved_path_ = ::getenv("PATH");
    cache_ = root_ / "cache";
    ::setenv("XDG_CACHE_HOME", cache_.c_str(), 1);
    history_.Load(root_ / "no-such-folder");
    // Not the start folder, so that a launch that moved the process would show.
    fs::current_path(root_);
  }
  void TearDown() override {
    ::setenv("PATH", saved_path_.c_str(), 1);
    ::unsetenv("XDG_CACHE_HOME");
    ::unsetenv("XDG_DATA_HOME");
    ::unsetenv("XDG_DATA_DIRS");
    fs::current_path("/");
  }

  // A program that writes its arguments and working directory, one a line, to `record` (the
  // fixture's by default) after `delay`.
  // With `gate`, a named pipe, the program first waits for a line from it.
  fs::path MakeRecorder(const fs::path& path, const fs::path& gate = {},
                        fs::path record = {}) const {
    if (record.empty()) record = record_;
    fs::create_directories(path.parent_path());
    std::ofstream(path) << "#!/bin/sh\n"
                        << (gate.empty() ? std::string() : "read line < '" + gate.string() + "'\n")
                        << "{ for a in \"$@\"; do printf '%s\\n' \"$a\"; done; pwd -P; } > '"
                        << record.string() << ".part'\n"
                        << "mv '" << record.string() << ".part' '" << record.string() << "'\n";
    fs::permissions(path, fs::perms::owner_all);
    return path;
  }
  // Puts a recorder first on PATH under `name`.
  void RecorderOnPath(const std::string& name) const {
    MakeRecorder(root_ / "bin" / name);
    ::setenv("PATH", ((root_ / "bin").string() + ":" + saved_path_).c_str(), 1);
  }
  // A desktop opener first on PATH that, as soon as it starts, keeps the bytes of the file it is
  // given (its last argument) in `record_bytes_`, then records its arguments and working
  // directory as MakeRecorder.
  void FakeOpenerOnPath() const {
    const fs::path opener = root_ / "bin" / "xdg-open";
    fs::create_directories(opener.parent_path());
    std::ofstream(opener) << "#!/bin/sh\n"
                          << "for file; do :; done\n"
                          << "cat -- \"$file\" > '" << record_bytes_.string()
                          << ".part' 2>/dev/null\n"
                          << "mv '" << record_bytes_.string() << ".part' '"
                          << record_bytes_.string() << "'\n"
                          << "{ for a in \"$@\"; do printf '%s\\n' \"$a\"; done; pwd -P; } > '"
                          << record_.string() << ".part'\n"
                          << "mv '" << record_.string() << ".part' '" << record_.string() << "'\n";
    fs::permissions(opener, fs::perms::owner_all);
    // The desktop's choice for text is some editor, not this program.
    const fs::path query = root_ / "bin" / "xdg-mime";
    std::ofstream(query) << "#!/bin/sh\necho plain-editor.desktop\n";
    fs::permissions(query, fs::perms::owner_all);
    ::setenv("PATH", ((root_ / "bin").string() + ":" + saved_path_).c_str(), 1);
  }
  // Where the copy of `start`'s results is made.
  fs::path CopyOf(const fs::path& start) const {
    return cache_ / kProgramCacheFolder / CopyFolderName(start.string()) / "kekka.txt";
  }
  // Runs Shift+Enter's launch for `start` and gives back what the opener recorded.
  std::string OpenAndRecord(const fs::path& start) {
    fs::remove(record_);
    OpenResultsInEditor(nullptr, history_, start.string());
    return WaitForFile(record_, kLaunchTimeout);
  }
  std::string Expected(const std::string& arguments) const {
    return arguments + start_.string() + "\n";
  }

  ScratchDir scratch_;
  fs::path root_, start_, record_, cache_;
  fs::path record_bytes_;
  std::string saved_path_;
  HistoryTable history_;
  // Owns the dialog answerers of one test.
  QObject answerers_;
};

TEST_F(EditorTest, DialogTitleAndFiltersAndCancelGivesNotepad) {
  history_.SetEditorCommand("/usr/bin/custom");
  QString title;
  QStringList shown;
  QStringList filter_after_switch;
  bool saw_dialog = false;
  MessageBoxCloser boxes;
  AnswerNextDialog<QFileDialog>(&answerers_, [&](QFileDialog* dialog) {
    saw_dialog = true;
    title = dialog->windowTitle();
    auto* combo = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
    for (int i = 0; combo && i < combo->count(); ++i) shown << combo->itemText(i);
    if (combo) Q_EMIT combo->activated(1);
    if (auto* model = dialog->findChild<QFileSystemModel*>())
      filter_after_switch = model->nameFilters();
    EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptOpen);
    EXPECT_EQ(dialog->fileMode(), QFileDialog::AnyFile);
    dialog->reject();
  });
  ChooseEditor(nullptr, history_, start_.string());

  EXPECT_TRUE(saw_dialog);
  EXPECT_EQ(title,
            QStringLiteral("結果表示用エディタを選択します。キャンセルするとメモ帳になります。"));
  EXPECT_EQ(shown, QStringList({"exe files(*.exe)", "all files(*.*)"}));
  EXPECT_EQ(filter_after_switch, QStringList({"*"}));  // files without a dot show too
  EXPECT_EQ(history_.EditorCommand(), "notepad");
  EXPECT_EQ(fs::current_path(), root_);
  EXPECT_TRUE(boxes.texts.isEmpty());
}

TEST_F(EditorTest, ADialogEndedByTheProgramsQuitKeepsTheEditor) {
  // A quit (a logout's SIGTERM) ends the dialog's loop without the user rejecting it; the editor
  // then saved at exit must be the one chosen before, not "notepad".
  history_.SetEditorCommand("/usr/bin/custom");
  bool saw_dialog = false;
  AnswerNextDialog<QFileDialog>(&answerers_, [&](QFileDialog* dialog) {
    saw_dialog = true;
    dialog->hide();
  });
  ChooseEditor(nullptr, history_, start_.string());
  EXPECT_TRUE(saw_dialog);
  EXPECT_EQ(history_.EditorCommand(), "/usr/bin/custom");
}

// The names the dialog's list shows in its current folder.
QStringList ListedNames(QFileDialog* dialog) {
  QStringList names;
  auto* list = dialog->findChild<QListView*>(QStringLiteral("listView"));
  if (list == nullptr || list->model() == nullptr) return names;
  const QModelIndex folder = list->rootIndex();
  for (int row = 0; row < list->model()->rowCount(folder); ++row) {
    names << list->model()->index(row, 0, folder).data().toString();
  }
  return names;
}

TEST_F(EditorTest, FirstFilterListsExecutablesAndFolders) {
  const fs::path folder = root_ / "programs";
  const fs::path tool = MakeRecorder(folder / "tool");
  std::ofstream(folder / "notes.txt") << "not a program\n";
  fs::create_directories(folder / "sub");
  history_.SetEditorCommand(tool.string());
  QStringList executables_listed, all_listed;
  AnswerNextDialog<QFileDialog>(&answerers_, [&](QFileDialog* dialog) {
    auto* combo = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
    ASSERT_NE(combo, nullptr);
    // The folder loads in the background; each list is taken once the folder shows in it.
    const QStringList names = ListedNames(dialog);
    if (executables_listed.isEmpty()) {
      if (!names.contains(QStringLiteral("sub"))) return;
      executables_listed = names;
      // What a user's pick in the combo box emits.
      combo->setCurrentIndex(1);
      Q_EMIT combo->activated(1);
      Q_EMIT combo->textActivated(combo->currentText());
    } else if (names.contains(QStringLiteral("notes.txt"))) {
      all_listed = names;
      dialog->reject();
    }
  });
  ChooseEditor(nullptr, history_, start_.string());
  EXPECT_TRUE(executables_listed.contains(QStringLiteral("tool")));
  EXPECT_FALSE(executables_listed.contains(QStringLiteral("notes.txt")));
  EXPECT_TRUE(all_listed.contains(QStringLiteral("tool")));
  EXPECT_TRUE(all_listed.contains(QStringLiteral("sub")));
}

TEST_F(EditorTest, DialogOpensInTheEditorsFolderOrWhereProgramsAre) {
  fs::create_directories(root_ / "tools");
  fs::create_directories(start_ / "relative");
  const struct {
    std::string command;
    QString folder;
  } cases[] = {
      {"notepad", QStringLiteral("/usr/bin")},
      {"gedit --new-window", QStringLiteral("/usr/bin")},
      {(root_ / "tools" / "edit").string(), QString::fromStdString((root_ / "tools").string())},
      {"relative/edit", QString::fromStdString((start_ / "relative").string())},
  };
  for (const auto& one : cases) {
    history_.SetEditorCommand(one.command);
    QString opened_in;
    AnswerNextDialog<QFileDialog>(&answerers_, [&](QFileDialog* dialog) {
      opened_in = dialog->directory().absolutePath();
      dialog->reject();
    });
    ChooseEditor(nullptr, history_, start_.string());
    EXPECT_EQ(opened_in, one.folder) << one.command;
  }
}

TEST_F(EditorTest, ChosenPathBecomesTheCommandInShiftJis) {
  const struct {
    QString chosen;
    std::string stored;
  } cases[] = {
      {QString::fromStdString((root_ / "My Editor" / "edit").string()),
       (root_ / "My Editor" / "edit").string()},
      // 検索 as a folder name, Shift-JIS 0x8C 0x9F 0x8D 0xF5; the files need not exist.
      {QString::fromStdString(root_.string()) + QStringLiteral("/検索/ed"),
       root_.string() + "/\x8c\x9f\x8d\xf5/ed"},
  };
  fs::create_directories(root_ / "My Editor");
  fs::create_directories(root_ / "\xe6\xa4\x9c\xe7\xb4\xa2");
  for (const auto& one : cases) {
    MessageBoxCloser boxes;
    AnswerNextDialog<QFileDialog>(&answerers_,
                                  [&](QFileDialog* dialog) { ChooseFile(dialog, one.chosen); });
    ChooseEditor(nullptr, history_, start_.string());
    EXPECT_EQ(history_.EditorCommand(), one.stored);
    // Once chosen, the program is said to get kekka.txt in the records file's encoding.
    EXPECT_EQ(boxes.texts,
              QStringList{QStringLiteral(
                  "選んだプログラムには、kekka.txtを文献ファイルと同じ文字コード（Shift-"
                  "JISなど）のまま渡します。")});
    EXPECT_EQ(fs::current_path(), root_);
  }
}

TEST_F(EditorTest, UnusablePathKeepsThePreviousEditorAndSaysSo) {
  history_.SetEditorCommand("/usr/bin/previous");
  const QString base = QString::fromStdString(root_.string()) + u'/';
  // Nested so that no single name passes the file system's own limit.
  const fs::path deep = root_ / std::string(150, 'd') / std::string(150, 'e');
  fs::create_directories(deep);
  const QString too_long = QString::fromStdString((deep / "edit").string());
  const QString not_shift_jis = base + QStringLiteral("caf\u00e9/edit");  // é has no Shift-JIS form
  for (const QString& chosen : {too_long, not_shift_jis}) {
    MessageBoxCloser boxes;
    AnswerNextDialog<QFileDialog>(&answerers_,
                                  [&](QFileDialog* dialog) { ChooseFile(dialog, chosen); });
    ChooseEditor(nullptr, history_, start_.string());
    EXPECT_EQ(history_.EditorCommand(), "/usr/bin/previous");
    EXPECT_EQ(boxes.texts.size(), 1);
    EXPECT_EQ(fs::current_path(), root_);
  }
}

TEST_F(EditorTest, AChosenTextEditorMayBeGivenTheUtf8Copy) {
  // The desktop lists the chosen program as a text editor: asked, the user takes the copy, which
  // the settings file keeps for this editor alone.
  const fs::path editor = MakeRecorder(root_ / "tools" / "my-edit");
  fs::create_directories(root_ / "data" / "applications");
  std::ofstream(root_ / "data" / "applications" / "my-edit.desktop")
      << "[Desktop Entry]\nType=Application\nExec=\"" << editor.string()
      << "\" %F\nMimeType=text/plain;\n";
  ::setenv("XDG_DATA_HOME", (root_ / "data").c_str(), 1);
  ::setenv("XDG_DATA_DIRS", (root_ / "no-data").c_str(), 1);
  const std::string settings = (root_ / "config" / "settings").string();
  std::ofstream(start_ / "kekka.txt") << "\x8c\x9f\x8d\xf5\r\n";  // 検索 in Shift-JIS
  QString asked;
  AnswerNextDialog<QFileDialog>(&answerers_, [&](QFileDialog* dialog) {
    EXPECT_GE(dialog->width(), 800);
    EXPECT_GE(dialog->height(), 520);
    ChooseFile(dialog, QString::fromStdString(editor.string()));
  });
  AnswerNextDialog<QMessageBox>(&answerers_, [&](QMessageBox* box) {
    asked = box->text();
    box->button(QMessageBox::Yes)->click();
  });
  ChooseEditor(nullptr, history_, start_.string(), settings);
  EXPECT_TRUE(asked.contains(QStringLiteral("UTF-8に変換した写しを渡しますか")));
  EXPECT_EQ(LoadSettings(settings).utf8_copy_editor, editor.string());
  OpenResultsInEditor(nullptr, history_, start_.string(), {}, settings);
  EXPECT_EQ(WaitForFile(record_, kLaunchTimeout), Expected(CopyOf(start_).string() + "\n"));
  EXPECT_EQ(testing::ReadFile(CopyOf(start_).string()), "\xe6\xa4\x9c\xe7\xb4\xa2\r\n");
}

TEST_F(EditorTest, ProgramWithBlankInItsPathGetsResultsFileAndStartDirectory) {
  // The editor waits for a line on a pipe that the test writes only once the launch has returned:
  // a launch that waited for the editor would never return.
  const fs::path gate = root_ / "gate";
  ASSERT_EQ(::mkfifo(gate.c_str(), 0600), 0);
  const UniqueFd gate_fd(
      ::open(gate.c_str(), O_RDWR | O_CLOEXEC));  // the editor's open never waits
  ASSERT_TRUE(gate_fd.valid());
  const fs::path editor = MakeRecorder(root_ / "My Editor" / "record", gate);
  history_.SetEditorCommand(editor.string());
  OpenResultsInEditor(nullptr, history_, start_.string());
  EXPECT_FALSE(fs::exists(record_));
  ASSERT_EQ(::write(gate_fd.get(), "go\n", 3), 3);
  EXPECT_EQ(fs::current_path(), root_);
  EXPECT_EQ(WaitForFile(record_, kLaunchTimeout), Expected("kekka.txt\n"));
  // Detached: nothing is left for this process to reap.
  EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
}

TEST_F(EditorTest, ShiftJisPathIsStartedByItsLocalName) {
  const fs::path editor =
      MakeRecorder(root_ / "\xe6\xa4\x9c\xe7\xb4\xa2 dir" / "record");  // 検索 dir
  history_.SetEditorCommand(root_.string() + "/\x8c\x9f\x8d\xf5 dir/record");
  OpenResultsInEditor(nullptr, history_, start_.string());
  EXPECT_EQ(WaitForFile(record_, kLaunchTimeout), Expected("kekka.txt\n"));
}

TEST_F(EditorTest, CommandThatIsNoFileIsProgramAndArguments) {
  RecorderOnPath("my-editor");
  history_.SetEditorCommand("my-editor  --new-window");
  OpenResultsInEditor(nullptr, history_, start_.string());
  EXPECT_EQ(WaitForFile(record_, kLaunchTimeout), Expected("--new-window\nkekka.txt\n"));
}

// Shift-JIS results of more than one conversion block, a character cut at each block's end: 近世
// and CR LF after one ASCII byte, a byte that is no CP932 and a lead byte at the very end.
std::string ResultsAcrossBlocks(std::string_view line) {
  std::string sjis = "x";
  while (sjis.size() < kCopyReadBytes + kCopyReadBytes / 4) sjis += line;
  return sjis + "\x80\r\n\x82";
}

TEST_F(EditorTest, NotepadHandsTheDesktopOpenerAWholeUtf8CopyInTheUsersCache) {
  FakeOpenerOnPath();
  const std::string sjis = ResultsAcrossBlocks("\x8b\xdf\x90\xa2\r\n");
  testing::WriteFile(start_ / "kekka.txt", sjis);
  history_.SetEditorCommand("notepad");

  EXPECT_EQ(OpenAndRecord(start_), Expected(CopyOf(start_).string() + "\n"));
  // What the opener read the moment it started: the whole copy, in UTF-8.
  const std::string utf8 = testing::ReadFile(record_bytes_);
  EXPECT_EQ(utf8.substr(0, 9), "x近世\r\n");
  EXPECT_EQ(utf8.substr(utf8.size() - 8), "\xef\xbf\xbd\r\n\xef\xbf\xbd");
  // Compared whole without a diff, which would take minutes for a megabyte.
  EXPECT_TRUE(utf8 == Cp932ToUtf8(sjis));
  EXPECT_TRUE(testing::ReadFile(start_ / "kekka.txt") == sjis);  // the results stay Shift-JIS
  EXPECT_EQ(fs::status(cache_ / kProgramCacheFolder).permissions(), fs::perms::owner_all);
  EXPECT_EQ(fs::status(CopyOf(start_).parent_path()).permissions(), fs::perms::owner_all);
  EXPECT_EQ(fs::status(CopyOf(start_)).permissions(),
            fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_EQ(history_.EditorCommand(), "notepad");

  // A window on another folder gets a copy of its own and leaves this one as it was; the next
  // Shift+Enter here replaces this folder's copy.
  const fs::path other = root_ / "other";
  fs::create_directories(other);
  testing::WriteFile(other / "kekka.txt", "\x8e\x52\x8c\x60\r\n");  // 山形
  EXPECT_EQ(OpenAndRecord(other), CopyOf(other).string() + "\n" + other.string() + "\n");
  EXPECT_EQ(testing::ReadFile(record_bytes_), "山形\r\n");
  EXPECT_TRUE(testing::ReadFile(CopyOf(start_)) == utf8);
  testing::WriteFile(start_ / "kekka.txt", "\x8e\x52\r\n");
  EXPECT_EQ(OpenAndRecord(start_), Expected(CopyOf(start_).string() + "\n"));
  EXPECT_EQ(testing::ReadFile(record_bytes_), "山\r\n");
  for (const fs::path& copy : {CopyOf(start_), CopyOf(other)}) {
    std::vector<fs::path> names;
    for (const auto& entry : fs::directory_iterator(copy.parent_path()))
      names.push_back(entry.path());
    EXPECT_EQ(names, std::vector<fs::path>{copy});  // no temporary file left
  }
}

TEST_F(EditorTest, AChosenEditorGetsKekkaTxtItselfEvenOneNamedXdgOpen) {
  FakeOpenerOnPath();
  testing::WriteFile(start_ / "kekka.txt", "\x8e\x52\r\n");
  history_.SetEditorCommand((root_ / "bin" / "xdg-open").string());
  EXPECT_EQ(OpenAndRecord(start_), Expected("kekka.txt\n"));
  EXPECT_EQ(testing::ReadFile(record_bytes_), "\x8e\x52\r\n");
  history_.SetEditorCommand("xdg-open --new-window");
  EXPECT_EQ(OpenAndRecord(start_), Expected("--new-window\nkekka.txt\n"));
  EXPECT_FALSE(fs::exists(cache_));
}

TEST_F(EditorTest, WithoutACopyTheOpenerGetsKekkaTxtOrNothing) {
  FakeOpenerOnPath();
  history_.SetEditorCommand("notepad");
  // No results file yet: the opener is started on it as it always was.
  EXPECT_EQ(OpenAndRecord(start_), Expected("kekka.txt\n"));
  EXPECT_FALSE(fs::exists(cache_ / kProgramCacheFolder));

  // No cache to write in: the results themselves, Shift-JIS.
  testing::WriteFile(start_ / "kekka.txt", "\x8e\x52\r\n");
  testing::WriteFile(cache_.string(), "a file, no folder\n");
  EXPECT_EQ(OpenAndRecord(start_), Expected("kekka.txt\n"));
  EXPECT_EQ(testing::ReadFile(record_bytes_), "\x8e\x52\r\n");
  fs::remove(cache_);

  // Results that are another user's link: neither they nor a copy are opened, and nothing is said.
  if (::geteuid() != 0) GTEST_SKIP() << "planting another user's link takes root";
  testing::WriteFile(root_ / "elsewhere.txt", "\x8e\x52\r\n");
  fs::remove(start_ / "kekka.txt");
  fs::create_symlink(root_ / "elsewhere.txt", start_ / "kekka.txt");
  ASSERT_EQ(::lchown((start_ / "kekka.txt").c_str(), testing::kNobody, testing::kNobody), 0);
  fs::remove(record_);
  MessageBoxCloser boxes;
  OpenResultsInEditor(nullptr, history_, start_.string());
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  // Anything started above would have recorded before a program started now.
  const fs::path later_record = root_ / "later.out";
  history_.SetEditorCommand(MakeRecorder(root_ / "later", {}, later_record).string());
  OpenResultsInEditor(nullptr, history_, start_.string());
  EXPECT_EQ(WaitForFile(later_record, kLaunchTimeout), Expected("kekka.txt\n"));
  EXPECT_FALSE(fs::exists(record_));
  EXPECT_FALSE(fs::exists(CopyOf(start_)));
  EXPECT_TRUE(boxes.texts.isEmpty());
}

TEST_F(EditorTest, EmptyOrOverlongCommandStartsNothingAndSaysNothing) {
  RecorderOnPath("xdg-open");
  const fs::path editor = MakeRecorder(root_ / "rec");
  // An existing program, but padded past what the command line holds.
  const std::string padded =
      root_.string() + std::string(290 - root_.string().size() - 4, '/') + "/rec";
  ASSERT_EQ(padded.size(), 290u);
  for (const std::string& command : {std::string(), std::string("   "), padded}) {
    history_.SetEditorCommand(command);
    OpenResultsInEditor(nullptr, history_, start_.string());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  }
  // Anything started above would have recorded before a program started now.
  const fs::path later_record = root_ / "later.out";
  history_.SetEditorCommand(MakeRecorder(root_ / "later", {}, later_record).string());
  OpenResultsInEditor(nullptr, history_, start_.string());
  EXPECT_EQ(WaitForFile(later_record, kLaunchTimeout), Expected("kekka.txt\n"));
  EXPECT_FALSE(fs::exists(record_));

  // One slash fewer, the same program starts.
  std::string fits = padded;
  fits.erase(root_.string().size(), 1);
  history_.SetEditorCommand(fits);
  OpenResultsInEditor(nullptr, history_, start_.string());
  EXPECT_EQ(WaitForFile(record_, kLaunchTimeout), Expected("kekka.txt\n"));
}

}  // namespace
}  // namespace tolvane

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // The file dialogs keep their state in Qt's own settings file: a scratch one, not ~/.config's.
  const tolvane::testing::ScratchDir config;
  qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(config.path()));
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
