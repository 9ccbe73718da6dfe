#include "app/start_problem.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <cstdio>

#include "screen/message_box.h"
#include "screen/screen_text.h"
#include "texts/texts.h"

namespace tolvane {

std::optional<GivenPathKind> KindOfGivenPath(const StartOptions& options) {
  if (!options.path) return std::nullopt;
  return InspectGivenPath(*options.path);
}

std::optional<QString> StartProblem(const StartOptions& options,
                                    std::optional<GivenPathKind> path_kind) {
  switch (options.problem) {
    case StartOptionsProblem::kUnknownOption:
      return FromSjis(kUnknownOptionMessage).arg(FromLocal(options.unknown_option));
    case StartOptionsProblem::kTooManyPaths:
      return FromSjis(kTooManyPathsMessage);
    case StartOptionsProblem::kNone:
      break;
  }
  if (path_kind && *path_kind != GivenPathKind::kFile && *path_kind != GivenPathKind::kFolder) {
    return PathProblem(*path_kind, FromLocal(*options.path));
  }
  return std::nullopt;
}

QString PathProblem(GivenPathKind kind, const QString& path) {
  const QString shown = QDir::toNativeSeparators(path);
  switch (kind) {
    case GivenPathKind::kMissing:
      return FromSjis(kPathNotFoundMessage).arg(shown);
    case GivenPathKind::kNoPermission:
      return FromSjis(kNoPermissionMessage).arg(shown);
    default:
      return FromSjis(kCannotOpenMessage).arg(shown);
  }
}

QString FromLocal(const std::string& bytes) {
  return QFile::decodeName(QByteArray::fromStdString(bytes));
}

void PrintStartProblem(const QString& message) {
  std::fprintf(stderr, "tolvane: %s\n", message.toUtf8().constData());
}

void ReportStartProblem(const QString& message) {
  PrintStartProblem(message);
  // Shown without a loop of its own: the application's loop runs until the box is closed.
  const std::unique_ptr<QMessageBox> box = NewMessageBox(nullptr, message);
  QObject::connect(box.get(), &QDialog::finished, qApp, &QCoreApplication::quit);
  box->show();
  QApplication::exec();
}

}  // namespace tolvane
