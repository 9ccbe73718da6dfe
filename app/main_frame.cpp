#include "app/main_frame.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>

#include "app/unhandled_accelerators.h"
#include "screen/screen_text.h"
#include "screen/tolvane_view.h"
#include "texts/texts.h"

namespace tolvane {

CMainFrame::CMainFrame(ScreenState& state) {
  // A high-resolution screen at a large scale may offer fewer logical pixels than 800x600.
  outer_size_ = QSize(kFrameWidth, kFrameHeight);
  if (const QScreen* screen = this->screen()) {
    outer_size_ = outer_size_.boundedTo(screen->availableGeometry().size());
  }
  // Qt sizes the client area; the frame, once the window manager (or Qt's own title bar on
  // Wayland) has added it, is taken off again by FitOuterSize. Without a window manager there is
  // no frame and the two sizes agree.
  resize(outer_size_);

  view_ = new CTolvaneView(state, this);
  setCentralWidget(view_);

  QMenu* file = menuBar()->addMenu(FromSjis(kFileMenu));
  connect(file->addAction(FromSjis(kChangeEditorItem)), &QAction::triggered, view_,
          &CTolvaneView::OnChangeEditor);
  QAction* loose = file->addAction(FromSjis(kLooseSearchItem));
  loose->setCheckable(true);
  loose->setChecked(state.loose_search);
  connect(loose, &QAction::toggled, view_, &CTolvaneView::OnLooseSearch);
  file->addSeparator();
  connect(file->addAction(FromSjis(kExitItem)), &QAction::triggered, this, &QWidget::close);
  // A command straight on the menu bar, not a popup.
  connect(menuBar()->addAction(FromSjis(kHelpItem)), &QAction::triggered, this,
          &CMainFrame::AppAbout);

  AddAccelerator(QKeySequence(Qt::CTRL | Qt::Key_N), &CMainFrame::FileNew);
  AddAccelerator(QKeySequence(Qt::CTRL | Qt::Key_O), &CMainFrame::FileOpen);
  AddAccelerator(QKeySequence(Qt::CTRL | Qt::Key_S), &CMainFrame::FileSave);
  // Last, so that it sees the keys before the view's own filter and the boxes themselves.
  auto* unhandled = new UnhandledAcceleratorFilter(this);
  view_->QueryBox()->installEventFilter(unhandled);
  view_->ResultsBox()->installEventFilter(unhandled);
}

void CMainFrame::AddAccelerator(const QKeySequence& keys, void (CMainFrame::*command)()) {
  auto* action = new QAction(this);
  action->setShortcut(keys);
  action->setShortcutContext(Qt::WindowShortcut);
  connect(action, &QAction::triggered, this, command);
  addAction(action);
}

void CMainFrame::SetDocumentName(const QString& document_name) {
  ShowCaption(*this, document_name + FromSjis(kTitleSeparator) + FromSjis(kFrameTitle));
}

bool CMainFrame::event(QEvent* event) {
  const bool result = QMainWindow::event(event);
  // An X11 window manager tells its frame with a move; Qt's own title bar on Wayland is only
  // known once the window is shown, and is there by its first paint.
  if (!outer_size_fitted_ && (event->type() == QEvent::Move || event->type() == QEvent::Resize ||
                              event->type() == QEvent::Show || event->type() == QEvent::Paint)) {
    FitOuterSize();
  }
  return result;
}

void CMainFrame::FitOuterSize() {
  const QSize frame_extra = frameGeometry().size() - geometry().size();
  if (frame_extra.width() <= 0 && frame_extra.height() <= 0) return;  // no frame (yet)
  outer_size_fitted_ = true;
  resize(outer_size_ - frame_extra);
}

}  // namespace tolvane
