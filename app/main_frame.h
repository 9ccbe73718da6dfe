#pragma once
// The main window: menu, accelerators, the caption and the search view inside.
#include <QMainWindow>
#include <QString>

#include "screen/screen_state.h"

namespace tolvane {

class CTolvaneView;

// The window's outer size, frame and title bar included, in the desktop's logical pixels; a
// screen whose free area is smaller gets the largest size that fits it.
inline constexpr int kFrameWidth = 800;
inline constexpr int kFrameHeight = 600;

class CMainFrame : public QMainWindow {
  Q_OBJECT

 public:
  explicit CMainFrame(ScreenState& state);

  CTolvaneView* View() const { return view_; }
  // The caption for a document of that name: "<document name> - <frame title>".
  void SetDocumentName(const QString& document_name);

 Q_SIGNALS:
  // The commands the application object answers.
  void AppAbout();
  void FileNew();
  void FileOpen();
  void FileSave();

 protected:
  bool event(QEvent* event) override;

 private:
  void AddAccelerator(const QKeySequence& keys, void (CMainFrame::*command)());
  void FitOuterSize();

  CTolvaneView* view_;
  // What the outer size is to be: 800x600 bounded by the screen's free area.
  QSize outer_size_;
  bool outer_size_fitted_ = false;
};

}  // namespace tolvane
