#pragma once
// Answers the modal dialogs a test opens, without blocking it: each helper polls for the active
// modal widget on a timer, so the test can open the dialog with a plain blocking call. Qt only, so
// that both the Qt Test and the GoogleTest suites use it.
#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <memory>

namespace tolvane::testing {

// What a user does who types a path into a file dialog's name box and presses OK.
inline void ChooseFile(QFileDialog* dialog, const QString& path) {
  if (auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
    name->setText(path);
  QMetaObject::invokeMethod(dialog, "accept");
}

// Closes every modal message box as soon as it opens and remembers what it showed.
class MessageBoxCloser {
 public:
  MessageBoxCloser() {
    timer_.setInterval(kTickMs);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (box == nullptr) return;
      titles << box->windowTitle();
      texts << box->text();
      plain = plain && box->icon() == QMessageBox::NoIcon &&
              box->standardButtons() == QMessageBox::StandardButtons(QMessageBox::Ok);
      box->accept();
    });
    timer_.start();
  }
  QStringList titles, texts;
  // True while every box had no icon and only an OK button.
  bool plain = true;

 private:
  static constexpr int kTickMs = 10;
  QTimer timer_;
};

// Answers the next modal dialog of type T, again on every tick until that dialog has closed: a
// file dialog may still be loading its folder and ignore the first answer. Gives up after a while
// by rejecting, so that a test fails instead of hanging. The timer dies with `owner`.
template <typename T>
void AnswerNextDialog(QObject* owner, std::function<void(T*)> answer) {
  constexpr int kTickMs = 20;
  constexpr int kMaxAnswers = 250;
  auto* timer = new QTimer(owner);
  timer->setInterval(kTickMs);
  auto dialog = std::make_shared<QPointer<T>>();
  auto answers = std::make_shared<int>(0);
  QObject::connect(timer, &QTimer::timeout, [timer, answer, dialog, answers] {
    T* modal = qobject_cast<T*>(QApplication::activeModalWidget());
    if (*answers == 0 && modal == nullptr) return;
    if (*answers > 0 && (dialog->isNull() || modal != *dialog)) {
      timer->stop();
      return;
    }
    *dialog = modal;
    if (++*answers > kMaxAnswers) {
      QMetaObject::invokeMethod(modal, "reject");
      return;
    }
    answer(modal);
  });
  timer->start();
}

}  // namespace tolvane::testing
