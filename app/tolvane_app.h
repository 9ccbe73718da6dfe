#pragma once
// The application object: checks the command line, builds the document, the main frame and the
// view, chooses the start folder, and answers the about, new, open and save commands. Owns the
// screen's state for the life of the process.
#include <QObject>
#include <QString>
#include <memory>
#include <optional>
#include <string>

#include "app/main_frame.h"
#include "app/start_options.h"
#include "screen/screen_state.h"

namespace tolvane {

class CTolvaneApp : public QObject {
  Q_OBJECT

 public:
  CTolvaneApp();
  // Destroys the frame, whose view saves the history.
  ~CTolvaneApp() override;

  // Sets up the application and shows the main window: with the file of `options` as the
  // document, in the folder of `options`, or else in the folder the working directory and the
  // remembered folder make (see ChooseStartFolder). False, once the problem was reported and no
  // window shown, when the command line has one; that ends the program.
  bool Start(const StartOptions& options = {});

  CMainFrame* MainFrame() const { return frame_.get(); }
  ScreenState& State() { return state_; }

 private:
  void OnAppAbout();
  void OnFileNew();
  void OnFileOpen();
  void OnFileSave();
  void SetJapaneseFont();
  void ShowMessage(const QString& text);
  // Where the open and save dialogs begin: the folder being searched.
  QString StartFolderForDialogs() const;
  // What Open does once the file is known to open: the document takes the file's name and the
  // start folder becomes the file's folder.
  void OpenDocument(const std::string& path);
  // Every change of the start folder: the view moves there, and a folder with records is
  // remembered for a later start from elsewhere.
  void SetStartFolder(const std::string& folder);

  // Declared first so that it outlives the view, which saves from it.
  ScreenState state_;
  std::unique_ptr<CMainFrame> frame_;
  // Where the remembered folder is kept; nothing when it cannot be (no HOME).
  std::optional<std::string> last_folder_file_;
};

}  // namespace tolvane
