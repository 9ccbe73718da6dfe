#include "app/start_problem.h"

#include <QApplication>
#include <QMessageBox>
#include <cstdio>

namespace tolvane {

void ReportStartProblem(const QString& message) {
  std::fprintf(stderr, "tolvane: %s\n", message.toUtf8().constData());
  QMessageBox box(QMessageBox::NoIcon, QApplication::applicationName(), message, QMessageBox::Ok);
  QObject::connect(&box, &QDialog::finished, qApp, &QCoreApplication::quit);
  box.show();
  QApplication::exec();
}

}  // namespace tolvane
