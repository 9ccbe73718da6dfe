#include "screen/message_box.h"

#include <QApplication>
#include <QMessageBox>

#include "texts/texts.h"

namespace tolvane {
namespace {

QMessageBox::StandardButton RunWithArrow(QMessageBox& box) {
  QApplication::setOverrideCursor(Qt::ArrowCursor);
  const int answer = box.exec();
  QApplication::restoreOverrideCursor();
  return static_cast<QMessageBox::StandardButton>(answer);
}

}  // namespace

std::unique_ptr<QMessageBox> NewMessageBox(QWidget* owner, const QString& text) {
  return std::make_unique<QMessageBox>(QMessageBox::NoIcon, QString::fromLatin1(kApplicationTitle),
                                       text, QMessageBox::Ok, owner);
}

void ShowMessageBox(QWidget* owner, const QString& text) {
  const std::unique_ptr<QMessageBox> box = NewMessageBox(owner, text);
  RunWithArrow(*box);
}

bool AskYesNo(QWidget* owner, const QString& text) {
  const std::unique_ptr<QMessageBox> box = NewMessageBox(owner, text);
  box->setStandardButtons(QMessageBox::Yes | QMessageBox::No);
  box->setDefaultButton(QMessageBox::Yes);
  return RunWithArrow(*box) == QMessageBox::Yes;
}

}  // namespace tolvane
