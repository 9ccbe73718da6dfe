#include "app/main_frame.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <iterator>

#include "texts/texts.h"
#include "screen/screen_text.h"
#include "screen/tolvane_view.h"

namespace tolvane {
namespace {

struct KeyCombination {
  int key;
  Qt::KeyboardModifiers modifiers;
};

// Accelerators bound to undo, cut, copy, paste and the pane commands, none of which the program
// handles: in either box they do nothing at all.
constexpr KeyCombination kUnhandledAccelerators[] = {
    {Qt::Key_Z, Qt::ControlModifier},        {Qt::Key_Backspace, Qt::AltModifier},
    {Qt::Key_X, Qt::ControlModifier},        {Qt::Key_Delete, Qt::ShiftModifier},
    {Qt::Key_C, Qt::ControlModifier},        {Qt::Key_Insert, Qt::ControlModifier},
    {Qt::Key_V, Qt::ControlModifier},        {Qt::Key_Insert, Qt::ShiftModifier},
    {Qt::Key_F6, Qt::NoModifier},            {Qt::Key_F6, Qt::ShiftModifier},
};

constexpr Qt::KeyboardModifiers kAcceleratorModifiers =
    Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;

bool IsUnhandledAccelerator(const QKeyEvent& key) {
  const Qt::KeyboardModifiers modifiers = key.modifiers() & kAcceleratorModifiers;
  for (const KeyCombination& combination : kUnhandledAccelerators) {
    if (key.key() == combination.key && modifiers == combination.modifiers) return true;
  }
  return false;
}

}  // namespace

CMainFrame::CMainFrame(ScreenState& state) {
  PreCreateWindow();
  view_ = new CTolvaneView(state, this);
  setCentralWidget(view_);

  QMenu* file = menuBar()->addMenu(FromSjis(kFileMenu));
  connect(file->addAction(FromSjis(kChangeEditorItem)), &QAction::triggered, view_,
          &CTolvaneView::OnChangeEditor);
  file->addSeparator();
  connect(file->addAction(FromSjis(kExitItem)), &QAction::triggered, this, &QWidget::close);
  // A command straight on the menu bar, not a popup.
  connect(menuBar()->addAction(FromSjis(kHelpItem)), &QAction::triggered, this, &CMainFrame::AppAbout);

  AddAccelerator(QKeySequence(Qt::CTRL | Qt::Key_N), &CMainFrame::FileNew);
  AddAccelerator(QKeySequence(Qt::CTRL | Qt::Key_O), &CMainFrame::FileOpen);
  AddAccelerator(QKeySequence(Qt::CTRL | Qt::Key_S), &CMainFrame::FileSave);
  // The boxes claim the editing keys before any shortcut sees them; the frame must get in first.
  qApp->installEventFilter(this);
}

void CMainFrame::PreCreateWindow() {
  // Qt sizes the client area; the frame, once the window manager has added it, is taken off
  // again by FitOuterSize. Without a window manager there is no frame and the two sizes agree.
  resize(kFrameWidth, kFrameHeight);
}

void CMainFrame::AddAccelerator(const QKeySequence& keys, void (CMainFrame::*command)()) {
  auto* action = new QAction(this);
  action->setShortcut(keys);
  action->setShortcutContext(Qt::WindowShortcut);
  connect(action, &QAction::triggered, this, command);
  addAction(action);
}

void CMainFrame::UpdateFrameTitleForDocument(const QString& document_name) {
  setWindowTitle(LiteralTitle(document_name + FromSjis(kTitleSeparator) + FromSjis(kFrameTitle)));
}

bool CMainFrame::event(QEvent* event) {
  const bool result = QMainWindow::event(event);
  if (!outer_size_fitted_ && (event->type() == QEvent::Move || event->type() == QEvent::Resize ||
                              event->type() == QEvent::Show)) {
    FitOuterSize();
  }
  return result;
}

void CMainFrame::FitOuterSize() {
  const QSize frame_extra = frameGeometry().size() - geometry().size();
  if (frame_extra.width() <= 0 && frame_extra.height() <= 0) return;  // no frame (yet)
  outer_size_fitted_ = true;
  resize(kFrameWidth - frame_extra.width(), kFrameHeight - frame_extra.height());
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress) {
    const auto* widget = qobject_cast<QWidget*>(watched);
    if (widget != nullptr && widget->window() == this &&
        IsUnhandledAccelerator(*static_cast<QKeyEvent*>(event))) {
      return true;
    }
  }
  return QMainWindow::eventFilter(watched, event);
}

}  // namespace tolvane
