#pragma once
// The application object: builds the document, the main frame and the view, and answers the
// about, new, open and save commands. Owns the screen's state for the life of the process.
#include <QObject>
#include <memory>

#include "app/main_frame.h"
#include "app/tolvane_doc.h"
#include "screen/screen_state.h"

namespace tolvane {

class CTolvaneApp : public QObject {
  Q_OBJECT

 public:
  CTolvaneApp();
  // Destroys the frame, whose view saves the history.
  ~CTolvaneApp() override;

  // Sets up the application and shows the main window; false ends the program.
  bool InitInstance();

  CMainFrame* MainFrame() const { return frame_.get(); }
  const CTolvaneDoc& Document() const { return document_; }
  ScreenState& State() { return state_; }

 private:
  void OnAppAbout();
  void OnFileNew();
  void OnFileOpen();
  void OnFileSave();
  void SetJapaneseFont();
  void ShowMessage(const QString& text);

  // Declared first so that it outlives the view, which saves from it.
  ScreenState state_;
  CTolvaneDoc document_;
  std::unique_ptr<CMainFrame> frame_;
};

}  // namespace tolvane
