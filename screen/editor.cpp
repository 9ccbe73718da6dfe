#include "screen/editor.h"

#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QMessageBox>
#include <QProcess>
#include <QRegularExpression>
#include <QSortFilterProxyModel>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <chrono>
#include <optional>

#include "encoding/cp932.h"
#include "screen/busy_cursor.h"
#include "screen/results_copy.h"
#include "screen/screen_text.h"
#include "state/history.h"
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

// How the editor command becomes a program and its arguments, without a shell.
std::optional<Launch> LaunchFor(const std::string& command, const std::string& start_dir) {
  const QStringList results{QString::fromLatin1(kResultsFileName)};
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
bool HandOpenerTheCopy(Launch& launch, const std::string& start_dir,
                       std::optional<TextEncoding> encoding) {
  BusyCursor busy([] { return std::chrono::steady_clock::now(); });
  const ResultsCopy copy = MakeUtf8CopyOfResults(
      start_dir, [&busy] { busy.OnProgress(); }, encoding);
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

}  // namespace

void OnChangeEditor(QWidget* owner, HistoryTable& history, const std::string& start_dir) {
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
  if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
    const QByteArray path = QFile::encodeName(dialog.selectedFiles().constFirst());
    const Cp932Encoding command = Utf8ToCp932(std::string_view(path.constData(), path.size()));
    if (command.ok() && IsStorableEditorCommand(command.sjis)) {
      history.SetEditorCommand(command.sjis);
    } else {
      // Storing a cut or mangled path would start some other program later.
      QMessageBox::warning(owner, QString::fromLatin1(kApplicationTitle), FromSjis(kUnusableEditorMessage));
    }
  } else if (rejected) {
    history.SetEditorCommand(kDefaultEditor);
  }
}

void OpenResultsInEditor(QWidget* owner, const HistoryTable& history, const std::string& start_dir,
                         std::optional<TextEncoding> results_encoding) {
  const std::string& command = history.EditorCommand();
  // Too long for the command line "<command> kekka.txt"; nothing is started.
  if (command.size() > kEditorCommandBytes) return;
  std::optional<Launch> launch = LaunchFor(command, start_dir);
  if (!launch) return;
  const QString folder = QFile::decodeName(start_dir.c_str());
  if (IsStartable(launch->program, folder)) {
    // Made whole before the opener starts, and only once it is known to exist.
    if (command == kDefaultEditor && !HandOpenerTheCopy(*launch, start_dir, results_encoding))
      return;
    // Detached through a double fork: no waiting, no zombie.
    if (QProcess::startDetached(launch->program, launch->arguments, folder)) return;
  }
  QMessageBox box(QMessageBox::NoIcon, QString::fromLatin1(kApplicationTitle),
                  FromSjis(kCannotStartEditorMessage).arg(launch->program), QMessageBox::Ok, owner);
  box.exec();
}

}  // namespace tolvane
