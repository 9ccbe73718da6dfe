#include "screen/editor.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QMessageBox>
#include <QTimer>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>

#include "state/history.h"

namespace tolvane {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr auto kLaunchTimeout = std::chrono::seconds(10);
constexpr auto kQuietPeriod = std::chrono::milliseconds(700);

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

// Waits for a file that a started process writes; empty when it never comes.
std::string WaitForFile(const fs::path& path, Clock::duration timeout) {
  const auto deadline = Clock::now() + timeout;
  while (Clock::now() < deadline) {
    if (fs::exists(path)) return ReadFile(path);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return {};
}

// Answers the dialogs that OnChangeEditor opens, without blocking the test: the file dialog with
// `on_dialog`, any message box with OK (its text kept in `message`).
class DialogDriver {
 public:
  explicit DialogDriver(std::function<void(QFileDialog*)> on_dialog) : on_dialog_(std::move(on_dialog)) {
    timer_.setInterval(20);
    QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
    timer_.start();
  }
  QString message;
  bool saw_dialog = false;

 private:
  void Poll() {
    QWidget* modal = QApplication::activeModalWidget();
    if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
      saw_dialog = true;
      // A dialog that will not close fails the test instead of hanging it.
      if (++attempts_ > kMaxAttempts) {
        ADD_FAILURE() << "the file dialog did not close";
        dialog->reject();
        return;
      }
      on_dialog_(dialog);
    } else if (auto* box = qobject_cast<QMessageBox*>(modal)) {
      message = box->text();
      box->accept();
    }
  }
  static constexpr int kMaxAttempts = 20;
  std::function<void(QFileDialog*)> on_dialog_;
  int attempts_ = 0;
  QTimer timer_;
};

// What a user does who types a path into the name box and presses Open.
void TypeAndOpen(QFileDialog* dialog, const QString& path) {
  if (auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) name->setText(path);
  static_cast<QDialog*>(dialog)->accept();
}

class EditorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/tolvane-editor-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    root_ = fs::canonical(pattern);
    start_ = root_ / "start dir";
    fs::create_directories(start_);
    record_ = root_ / "record.out";
    saved_path_ = ::getenv("PATH");
    history_.Load(root_ / "no-such-folder");
    // Not the start folder, so that a launch that moved the process would show.
    fs::current_path(root_);
  }
  void TearDown() override {
    ::setenv("PATH", saved_path_.c_str(), 1);
    fs::current_path("/");
    fs::remove_all(root_);
  }

  // A program that writes its arguments and working directory, one a line, after `delay`.
  fs::path MakeRecorder(const fs::path& path, int delay_seconds = 0) const {
    fs::create_directories(path.parent_path());
    std::ofstream(path) << "#!/bin/sh\n"
                        << "sleep " << delay_seconds << "\n"
                        << "{ for a in \"$@\"; do printf '%s\\n' \"$a\"; done; pwd -P; } > '"
                        << record_.string() << ".part'\n"
                        << "mv '" << record_.string() << ".part' '" << record_.string() << "'\n";
    fs::permissions(path, fs::perms::owner_all);
    return path;
  }
  // Puts a recorder first on PATH under `name`.
  void RecorderOnPath(const std::string& name) const {
    MakeRecorder(root_ / "bin" / name);
    ::setenv("PATH", ((root_ / "bin").string() + ":" + saved_path_).c_str(), 1);
  }
  std::string Expected(const std::string& arguments) const { return arguments + start_.string() + "\n"; }

  fs::path root_, start_, record_;
  std::string saved_path_;
  HistoryTable history_;
};

TEST_F(EditorTest, DialogTitleAndFiltersAndCancelGivesNotepad) {
  history_.SetEditorCommand("/usr/bin/custom");
  QString title;
  QStringList shown;
  QStringList filter_after_switch;
  DialogDriver driver([&](QFileDialog* dialog) {
    title = dialog->windowTitle();
    auto* combo = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
    for (int i = 0; combo && i < combo->count(); ++i) shown << combo->itemText(i);
    if (combo) emit combo->activated(1);
    if (auto* model = dialog->findChild<QFileSystemModel*>()) filter_after_switch = model->nameFilters();
    EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptOpen);
    EXPECT_EQ(dialog->fileMode(), QFileDialog::AnyFile);
    dialog->reject();
  });
  OnChangeEditor(nullptr, history_);

  EXPECT_TRUE(driver.saw_dialog);
  EXPECT_EQ(title, QStringLiteral("結果表示用エディタを選択します。キャンセルするとメモ帳になります。"));
  EXPECT_EQ(shown, QStringList({"exe files(*.exe)", "all files(*.*)"}));
  EXPECT_EQ(filter_after_switch, QStringList({"*"}));  // files without a dot show too
  EXPECT_EQ(history_.EditorCommand(), "notepad");
  EXPECT_EQ(fs::current_path(), root_);
  EXPECT_TRUE(driver.message.isEmpty());
}

TEST_F(EditorTest, ChosenPathBecomesTheCommandInShiftJis) {
  const struct {
    QString chosen;
    std::string stored;
  } cases[] = {
      {QString::fromStdString((root_ / "My Editor" / "edit").string()), (root_ / "My Editor" / "edit").string()},
      // 検索 as a folder name, Shift-JIS 0x8C 0x9F 0x8D 0xF5; the files need not exist.
      {QString::fromStdString(root_.string()) + QStringLiteral("/検索/ed"), root_.string() + "/\x8c\x9f\x8d\xf5/ed"},
  };
  fs::create_directories(root_ / "My Editor");
  fs::create_directories(root_ / "\xe6\xa4\x9c\xe7\xb4\xa2");
  for (const auto& one : cases) {
    DialogDriver driver([&](QFileDialog* dialog) {
      TypeAndOpen(dialog, one.chosen);
    });
    OnChangeEditor(nullptr, history_);
    EXPECT_EQ(history_.EditorCommand(), one.stored);
    EXPECT_TRUE(driver.message.isEmpty());
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
    DialogDriver driver([&](QFileDialog* dialog) {
      TypeAndOpen(dialog, chosen);
    });
    OnChangeEditor(nullptr, history_);
    EXPECT_EQ(history_.EditorCommand(), "/usr/bin/previous");
    EXPECT_FALSE(driver.message.isEmpty());
    EXPECT_EQ(fs::current_path(), root_);
  }
}

TEST_F(EditorTest, ProgramWithBlankInItsPathGetsResultsFileAndStartDirectory) {
  const fs::path editor = MakeRecorder(root_ / "My Editor" / "record", /*delay_seconds=*/2);
  history_.SetEditorCommand(editor.string());
  const auto started = Clock::now();
  OpenResultsInEditor(history_, start_.string());
  EXPECT_LT(Clock::now() - started, std::chrono::seconds(1));  // it never waits for the editor
  EXPECT_EQ(fs::current_path(), root_);
  EXPECT_EQ(WaitForFile(record_, kLaunchTimeout), Expected("kekka.txt\n"));
  // Detached: nothing is left for this process to reap.
  EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
}

TEST_F(EditorTest, ShiftJisPathIsStartedByItsLocalName) {
  const fs::path editor = MakeRecorder(root_ / "\xe6\xa4\x9c\xe7\xb4\xa2 dir" / "record");  // 検索 dir
  history_.SetEditorCommand(root_.string() + "/\x8c\x9f\x8d\xf5 dir/record");
  OpenResultsInEditor(history_, start_.string());
  EXPECT_EQ(WaitForFile(record_, kLaunchTimeout), Expected("kekka.txt\n"));
}

TEST_F(EditorTest, CommandThatIsNoFileIsProgramAndArguments) {
  RecorderOnPath("my-editor");
  history_.SetEditorCommand("my-editor  --new-window");
  OpenResultsInEditor(history_, start_.string());
  EXPECT_EQ(WaitForFile(record_, kLaunchTimeout), Expected("--new-window\nkekka.txt\n"));
}

TEST_F(EditorTest, NotepadOpensTheResultsWithTheDesktopOpener) {
  RecorderOnPath("xdg-open");
  history_.SetEditorCommand("notepad");
  OpenResultsInEditor(history_, start_.string());
  EXPECT_EQ(WaitForFile(record_, kLaunchTimeout), Expected("kekka.txt\n"));
  EXPECT_EQ(history_.EditorCommand(), "notepad");
}

TEST_F(EditorTest, EmptyOrOverlongCommandStartsNothingAndSaysNothing) {
  RecorderOnPath("xdg-open");
  const fs::path editor = MakeRecorder(root_ / "rec");
  // An existing program, but padded past what the command line holds.
  const std::string padded = root_.string() + std::string(290 - root_.string().size() - 4, '/') + "/rec";
  ASSERT_EQ(padded.size(), 290u);
  for (const std::string& command : {std::string(), std::string("   "), padded}) {
    history_.SetEditorCommand(command);
    OpenResultsInEditor(history_, start_.string());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  }
  EXPECT_EQ(WaitForFile(record_, kQuietPeriod), "");

  // One slash fewer, the same program starts.
  std::string fits = padded;
  fits.erase(root_.string().size(), 1);
  history_.SetEditorCommand(fits);
  OpenResultsInEditor(history_, start_.string());
  EXPECT_EQ(WaitForFile(record_, kLaunchTimeout), Expected("kekka.txt\n"));
}

}  // namespace
}  // namespace tolvane

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
