#include "screen/editor.h"

#include <stdlib.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QProcess>
#include <QRegularExpression>
#include <QSortFilterProxyModel>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <chrono>
#include <optional>
#include <vector>

#include "encoding/cp932.h"
#include "screen/busy_cursor.h"
#include "screen/file_dialogs.h"
#include "screen/message_box.h"
#include "screen/results_copy.h"
#include "screen/screen_text.h"
#include "state/desktop_entries.h"
#include "state/history.h"
#include "state/settings.h"
#include "texts/texts.h"

namespace tolvane {
namespace {

// Qt filters by the pattern in the last brackets and, with the details hidden, shows what comes
// before them: the names read as they always did, and "all files" shows files without a dot too.
QString NameFilter(std::string_view name, const char* pattern) {
  return FromSjis(name) + QStringLiteral(" (") + QString::fromLatin1(pattern) + u')';
}
// Linux has no Notepad; the desktop's own choice for the file stands in for it.
constexpr char kDesktopOpener[] = "xdg-open";
// How the desktop is asked which program opens text, and how long it may take to answer.
constexpr char kDesktopQuery[] = "xdg-mime";
constexpr char kTextMimeType[] = "text/plain";
constexpr int kDesktopQueryMs = 5000;
// Where the dialog opens while the editor is a program found on PATH.
constexpr char kProgramsFolder[] = "/usr/bin";
// Both filters let every name through to the file system model; the executables filter does
// its work in ExecutableFilter, since Linux programs have no extension to match.
constexpr char kEveryName[] = "*";

// Under the first filter the dialog lists what ".exe" stands for here: executable files, and the
// folders to reach them.
class ExecutableFilter : public QSortFilterProxyModel {
 public:
  using QSortFilterProxyModel::QSortFilterProxyModel;
  void SetExecutablesOnly(bool only) {
    if (only == executables_only_) return;
    executables_only_ = only;
    invalidateFilter();
  }

 protected:
  bool filterAcceptsRow(int row, const QModelIndex& parent) const override {
    const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel());
    if (!executables_only_ || files == nullptr) return true;
    const QFileInfo info = files->fileInfo(files->index(row, 0, parent));
    return info.isDir() || info.isExecutable();
  }

 private:
  bool executables_only_ = true;
};

struct Launch {
  QString program;
  QStringList arguments;
};

// How the editor command becomes a program and its arguments, without a shell; the results file
// is its last argument.
std::optional<Launch> LaunchFor(const std::string& command, const std::string& start_dir,
                                const std::string& results_elsewhere = {}) {
  const QStringList results{results_elsewhere.empty()
                                ? QString::fromLatin1(kResultsFileName)
                                : QFile::decodeName(results_elsewhere.c_str())};
  if (command == kDefaultEditor) return Launch{QString::fromLatin1(kDesktopOpener), results};

  const QString local = QString::fromUtf8(Cp932ToUtf8(command));
  // A path to an existing file is the program whole, blanks and all.
  if (local.contains(u'/')) {
    QString path = local;
    if (!path.startsWith(u'/')) path = QFile::decodeName(start_dir.c_str()) + u'/' + path;
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) == 0 && !S_ISDIR(info.st_mode)) {
      return Launch{path, results};
    }
  }
  // Otherwise a program name with arguments of its own, such as "gedit --new-window".
  static const QRegularExpression kBlanks(QStringLiteral("[ \t]+"));
  QStringList words = local.split(kBlanks, Qt::SkipEmptyParts);
  if (words.isEmpty()) return std::nullopt;
  const QString program = words.takeFirst();
  return Launch{program, words + results};
}

// True when `program` can be started: a path (from `start_dir` when relative) to an executable
// file, or a bare name found on PATH.
bool IsStartable(const QString& program, const QString& start_dir) {
  if (!program.contains(u'/')) return !QStandardPaths::findExecutable(program).isEmpty();
  const QFileInfo info(QDir(start_dir), program);
  return info.isFile() && info.isExecutable();
}

// The folder of the current editor's program, or where programs are for a bare name.
QString DialogFolderFor(const std::string& command, const std::string& start_dir) {
  const std::optional<Launch> launch = LaunchFor(command, start_dir);
  if (!launch || !launch->program.contains(u'/')) return QString::fromLatin1(kProgramsFolder);
  return QFileInfo(QDir(QFile::decodeName(start_dir.c_str())), launch->program).absolutePath();
}

// The desktop opener's editors mostly take a file for UTF-8, so it is handed the UTF-8 copy of the
// results; kekka.txt itself when no copy could be made, shown garbled by some editors but whole.
// False when nothing is to be opened: kekka.txt is another user's link or no regular file.
bool HandOpenerTheCopy(Launch& launch, const std::string& start_dir, const ResultsToOpen& results) {
  BusyCursor busy([] { return std::chrono::steady_clock::now(); });
  const auto on_progress = [&busy] { busy.OnProgress(); };
  const ResultsCopy copy =
      results.elsewhere.empty()
          ? MakeUtf8CopyOfResults(start_dir, on_progress, results.encoding)
          : MakeUtf8CopyOfResultsAt(start_dir, results.elsewhere, on_progress, results.encoding);
  switch (copy.outcome) {
    case CopyOutcome::kMade:
      launch.arguments = QStringList{QFile::decodeName(copy.path.c_str())};
      return true;
    case CopyOutcome::kResultsRefused:
      return false;
    case CopyOutcome::kFailed:
      return true;
  }
  return true;
}

// The id of the desktop's choice for text, "org.gnome.TextEditor.desktop" say; empty when there
// is none or the desktop cannot be asked.
std::string DesktopChoiceForText() {
  QProcess query;
  query.start(
      QString::fromLatin1(kDesktopQuery),
      {QStringLiteral("query"), QStringLiteral("default"), QString::fromLatin1(kTextMimeType)});
  if (!query.waitForFinished(kDesktopQueryMs)) {
    query.kill();
    query.waitForFinished();
    return {};
  }
  if (query.exitStatus() != QProcess::NormalExit || query.exitCode() != 0) return {};
  // Some desktops answer with a list; the first is the choice.
  const QString answer =
      QString::fromUtf8(query.readAllStandardOutput()).section(u';', 0, 0).trimmed();
  return answer.toStdString();
}

std::vector<std::string> ApplicationsFoldersOfEnvironment() {
  return ApplicationsFolders(::getenv("XDG_DATA_HOME"), ::getenv("HOME"),
                             ::getenv("XDG_DATA_DIRS"));
}

// True when the desktop's opener would start this program again on a text file, or nothing at all.
bool DesktopOpenerFailsText(const std::vector<std::string>& folders) {
  const std::string choice = DesktopChoiceForText();
  if (choice.empty()) return true;
  const std::optional<DesktopEntry> entry = FindDesktopEntry(folders, choice);
  // An id the folders lack is the desktop's own business (a choice it keeps elsewhere): trusted,
  // unless it is this program's.
  if (!entry) return choice == kOwnDesktopId;
  return IsOwnEntry(*entry);
}

// Another installed text editor, started on `file` with `folder` as its working directory. False
// when there is none that starts.
bool StartOtherTextEditor(const std::vector<std::string>& folders, const QString& file,
                          const QString& folder) {
  const QByteArray local = QFile::encodeName(file);
  for (const DesktopEntry& entry : EntriesForMimeType(folders, kTextMimeType)) {
    if (IsOwnEntry(entry)) continue;
    const std::optional<std::vector<std::string>> words =
        ExecArguments(entry.exec, std::string_view(local.constData(), local.size()));
    if (!words) continue;
    const QString program = QFile::decodeName(words->front().c_str());
    if (!IsStartable(program, folder)) continue;
    QStringList arguments;
    for (std::size_t i = 1; i < words->size(); ++i)
      arguments << QFile::decodeName((*words)[i].c_str());
    if (QProcess::startDetached(program, arguments, folder)) return true;
  }
  return false;
}

// True when `program` (a path) is one of the text editors the desktop lists, under any name.
bool IsListedTextEditor(const QString& program) {
  const QString chosen = QFileInfo(program).canonicalFilePath();
  if (chosen.isEmpty()) return false;
  for (const DesktopEntry& entry :
       EntriesForMimeType(ApplicationsFoldersOfEnvironment(), kTextMimeType)) {
    if (IsOwnEntry(entry)) continue;
    const std::optional<std::vector<std::string>> words =
        ExecArguments(entry.exec, kResultsFileName);
    if (!words) continue;
    QString listed = QFile::decodeName(words->front().c_str());
    if (!listed.contains(u'/')) listed = QStandardPaths::findExecutable(listed);
    if (!listed.isEmpty() && QFileInfo(listed).canonicalFilePath() == chosen) return true;
  }
  return false;
}

// Says, once the user has chosen `program`, what it will be given; a text editor may be given the
// UTF-8 copy instead, if the user wants: the answer is remembered for this editor alone.
void TellChosenEditorsEncoding(QWidget* owner, const QString& program, const std::string& command,
                               const std::optional<std::string>& settings_file) {
  bool copy = false;
  if (IsListedTextEditor(program)) {
    copy = AskYesNo(owner, FromSjis(kChosenTextEditorQuestion));
  } else {
    ShowMessageBox(owner, FromSjis(kChosenEditorEncodingMessage));
  }
  if (!settings_file) return;
  Settings settings = LoadSettings(*settings_file);
  settings.utf8_copy_editor = copy ? command : std::string();
  (void)SaveSettings(*settings_file, settings);
}

}  // namespace

void ChooseEditor(QWidget* owner, HistoryTable& history, const std::string& start_dir,
                  const std::optional<std::string>& settings_file) {
  QFileDialog dialog(owner, FromSjis(kChooseEditorTitle));
  // Details hidden before the filters are set, or the combo box shows the patterns.
  dialog.setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::HideNameFilterDetails);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::AnyFile);
  const QString executables = NameFilter(kExeFilesFilter, kEveryName);
  dialog.setNameFilters({executables, NameFilter(kAllFilesFilter, kEveryName)});
  auto* filter = new ExecutableFilter(&dialog);
  dialog.setProxyModel(filter);
  // The signal carries the filter as shown, without its pattern; the dialog still knows it whole.
  QObject::connect(&dialog, &QFileDialog::filterSelected, filter, [&dialog, filter, executables] {
    filter->SetExecutablesOnly(dialog.selectedNameFilter() == executables);
  });
  dialog.setDirectory(DialogFolderFor(history.EditorCommand(), start_dir));

  // Cancel and the window's close button reject the dialog; a quit of the whole program (a
  // logout's SIGTERM) only ends its loop, and must not reset the editor that is saved at exit.
  bool rejected = false;
  QObject::connect(&dialog, &QDialog::rejected, [&rejected] { rejected = true; });
  PrepareFileDialog(dialog, settings_file);
  const int outcome = dialog.exec();
  RememberFileDialogSize(dialog, settings_file);
  if (outcome == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
    const QByteArray path = QFile::encodeName(dialog.selectedFiles().constFirst());
    const Cp932Encoding command = Utf8ToCp932(std::string_view(path.constData(), path.size()));
    if (command.ok() && IsStorableEditorCommand(command.sjis)) {
      history.SetEditorCommand(command.sjis);
      TellChosenEditorsEncoding(owner, dialog.selectedFiles().constFirst(), command.sjis,
                                settings_file);
    } else {
      // Storing a cut or mangled path would start some other program later.
      ShowMessageBox(owner, FromSjis(kUnusableEditorMessage));
    }
  } else if (rejected) {
    history.SetEditorCommand(kDefaultEditor);
  }
}

void OpenResultsInEditor(QWidget* owner, const HistoryTable& history, const std::string& start_dir,
                         const ResultsToOpen& results,
                         const std::optional<std::string>& settings_file) {
  const std::string& command = history.EditorCommand();
  // Too long for the command line "<command> kekka.txt"; nothing is started.
  if (command.size() > kEditorCommandBytes) return;
  std::optional<Launch> launch = LaunchFor(command, start_dir, results.elsewhere);
  if (!launch) return;
  const QString folder = QFile::decodeName(start_dir.c_str());
  if (IsStartable(launch->program, folder)) {
    // Made whole before the opener starts, and only once it is known to exist.
    if (command == kDefaultEditor && !HandOpenerTheCopy(*launch, start_dir, results)) return;
    if (command != kDefaultEditor && settings_file &&
        LoadSettings(*settings_file).utf8_copy_editor == command &&
        !HandOpenerTheCopy(*launch, start_dir, results)) {
      return;
    }
    // The opener must not start this program on its own results: another editor opens them then,
    // or the user is told how to choose one.
    if (command == kDefaultEditor) {
      const std::vector<std::string> folders = ApplicationsFoldersOfEnvironment();
      if (DesktopOpenerFailsText(folders)) {
        if (StartOtherTextEditor(folders, launch->arguments.constFirst(), folder)) return;
        ShowMessageBox(owner, FromSjis(kNoTextEditorMessage));
        return;
      }
    }
    // Detached through a double fork: no waiting, no zombie.
    if (QProcess::startDetached(launch->program, launch->arguments, folder)) return;
  }
  ShowMessageBox(owner, FromSjis(kCannotStartEditorMessage).arg(launch->program));
}

}  // namespace tolvane
