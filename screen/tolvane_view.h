#pragma once
// The search view: the one-line query box above the read-only results box (placed by BoxLayout),
// which of the two last had the focus, the usage hint on the first show, and the Enter, Up and
// Down keys. The history file is rewritten whenever the table changes, so that an end the view
// never sees (a lost display, a crash) loses nothing.
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <string>
#include <string_view>

#include "screen/box_layout.h"
#include "screen/screen_state.h"
#include "session/run.h"

class QKeyEvent;

namespace tolvane {

inline constexpr char kQueryBoxName[] = "queryBox";
inline constexpr char kResultsBoxName[] = "resultsBox";

class CTolvaneView : public QWidget {
  Q_OBJECT

 public:
  explicit CTolvaneView(ScreenState& state, QWidget* parent = nullptr);
  // Saves the history, as long as it was ever loaded.
  ~CTolvaneView() override;
  // Writes the history file now; nothing before the first initial update, so that an empty table
  // never overwrites it. For the desktop session's end.
  void SaveHistory();

  // Makes `start_dir` the folder of the records, results and state files and loads the history
  // from there. Runs at start-up and again for the new and open commands.
  void OnInitialUpdate(const std::string& start_dir);
  // The File menu's editor choice; the view owns the dialog.
  void OnChangeEditor();

  // What a search run may do to the screen.
  DisplayOps MakeDisplayOps();

  QLineEdit* QueryBox() const { return query_box_; }
  QPlainTextEdit* ResultsBox() const { return results_box_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  // The first show puts the usage hint in the caption; a restore from minimised lays out again.
  void showEvent(QShowEvent* event) override;

 private:
  // Looks at a key before the box handles it; never consumes it.
  void PreTranslateMessage(const QKeyEvent& key);
  void OnEnter();
  void OnUp();
  void OnDown();
  void ShowQueryText();
  void SaveHistoryIfChanged();

  void ShowError(std::string_view message);
  void SetResultsText(std::string_view text);
  void SetCaption(std::string_view caption);
  void MessageBox(const QString& text);

  ScreenState& state_;
  QPointer<QLineEdit> query_box_;
  QPointer<QPlainTextEdit> results_box_;
  // The box's text as of the last Enter, Up or Down; an initial update puts it back in the box.
  QString query_text_;
  BoxLayout* layout_;  // owned by the view, as its layout
  bool history_loaded_ = false;
  // The table's revision the history file holds.
  std::uint64_t saved_revision_ = 0;
};

}  // namespace tolvane
