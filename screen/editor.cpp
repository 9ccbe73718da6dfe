#include "screen/editor.h"

#include <sys/stat.h>

#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <optional>

#include "screen/screen_text.h"
#include "search/cp932.h"
#include "texts/texts.h"
#include "state/history.h"

namespace tolvane {
namespace {

// Qt filters by the pattern in the last brackets and, with the details hidden, shows what comes
// before them: the names read as they always did, and "all files" shows files without a dot too.
QString NameFilter(std::string_view name, const char* pattern) {
  return FromSjis(name) + QStringLiteral(" (") + QString::fromLatin1(pattern) + u')';
}
// Linux has no Notepad; the desktop's own choice for the file stands in for it.
constexpr char kDesktopOpener[] = "xdg-open";

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

}  // namespace

void OnChangeEditor(QWidget* owner, HistoryTable& history) {
  QFileDialog dialog(owner, FromSjis(kChooseEditorTitle));
  // Details hidden before the filters are set, or the combo box shows the patterns.
  dialog.setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::HideNameFilterDetails);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setNameFilters({NameFilter(kExeFilesFilter, "*.exe"), NameFilter(kAllFilesFilter, "*")});

  if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
    const QByteArray path = QFile::encodeName(dialog.selectedFiles().constFirst());
    const Cp932Encoding command = Utf8ToCp932(std::string_view(path.constData(), path.size()));
    if (command.ok() && IsStorableEditorCommand(command.sjis)) {
      history.SetEditorCommand(command.sjis);
    } else {
      // Storing a cut or mangled path would start some other program later.
      QMessageBox::warning(owner, QString::fromLatin1(kApplicationTitle), FromSjis(kUnusableEditorMessage));
    }
  } else {
    history.SetEditorCommand(kDefaultEditor);
  }
}

void OpenResultsInEditor(const HistoryTable& history, const std::string& start_dir) {
  const std::string& command = history.EditorCommand();
  // Too long for the command line "<command> kekka.txt"; nothing is started.
  if (command.size() > kEditorCommandBytes) return;
  const std::optional<Launch> launch = LaunchFor(command, start_dir);
  if (!launch) return;
  // Detached through a double fork: no waiting, no zombie; a failure stays silent.
  QProcess::startDetached(launch->program, launch->arguments, QFile::decodeName(start_dir.c_str()));
}

}  // namespace tolvane
