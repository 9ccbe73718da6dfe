#pragma once
// Every message of the program's own is shown one way: a modal box with the application's title,
// no icon, only OK (or Yes and No for a question), and the ordinary arrow whatever cursor the
// window was showing.
#include <QString>
#include <memory>

class QMessageBox;
class QWidget;

namespace tolvane {

// The box, ready to be shown or run; `owner` may be null (no window yet).
std::unique_ptr<QMessageBox> NewMessageBox(QWidget* owner, const QString& text);
// Shows `text` until the user closes the box.
void ShowMessageBox(QWidget* owner, const QString& text);
// Asks `text`; true for Yes, the default.
bool AskYesNo(QWidget* owner, const QString& text);

}  // namespace tolvane
