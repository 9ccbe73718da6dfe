#pragma once
// The search view: the one-line query box above the read-only results box (placed by BoxLayout),
// which of the two last had the focus, the usage hint on the first show, and the Enter, Up and
// Down keys. The history file is rewritten whenever the table changes, a new query before its
// search runs, so that an end the view never sees (a lost display, a crash, a kill during a long
// search) loses nothing.
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <optional>
#include <string>
#include <string_view>

#include "screen/box_layout.h"
#include "screen/busy_cursor.h"
#include "screen/screen_state.h"
#include "screen/term_marks.h"
#include "session/run.h"

class QKeyEvent;

namespace tolvane {

inline constexpr char kQueryBoxName[] = "queryBox";
inline constexpr char kResultsBoxName[] = "resultsBox";
inline constexpr char kNoMatchNoteName[] = "noMatchNote";

class CTolvaneView : public QWidget {
  Q_OBJECT

 public:
  explicit CTolvaneView(ScreenState& state, QWidget* parent = nullptr);
  // Saves the history if it changed, as long as it was ever loaded.
  ~CTolvaneView() override;
  // Writes the history file if the table changed; nothing before the start folder is first set, so
  // that an empty table never overwrites it. For the desktop session's end. A failure is kept to be
  // told.
  void SaveHistory();

  // Makes `start_dir` the folder of the records, results and state files and loads the history
  // from there. Runs at start-up and again for the new and open commands.
  void SetStartDir(const std::string& start_dir);
  // The File menu's editor choice; the view owns the dialog.
  void OnChangeEditor();
  // The File menu's loose search turned on or off: searches from now on, and remembered.
  void OnLooseSearch(bool on);

  QLineEdit* QueryBox() const { return query_box_; }
  QPlainTextEdit* ResultsBox() const { return results_box_; }
  // The note a search that found nothing leaves over the results box, hidden otherwise.
  QLabel* NoMatchNote() const { return no_match_note_; }
  // The clock the busy cursor measures a search by; tests replace it.
  void SetBusyClock(BusyClock clock) { busy_clock_ = std::move(clock); }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  // The first show puts the usage hint in the caption; a restore from minimised lays out again.
  void showEvent(QShowEvent* event) override;
  // A new palette (a theme change) recolours the marked terms.
  void changeEvent(QEvent* event) override;
  // The no-match note floats over the results box's top edge, wherever that is.
  void resizeEvent(QResizeEvent* event) override;

 private:
  // Looks at a key before the box handles it; never consumes it.
  void HandleSearchKey(const QKeyEvent& key);
  void OnEnter();
  // Runs the search of `query` under the busy cursor and shows its result, or its message.
  SearchResult Search(const std::string& query);
  // What a search has to tell once a session (lines in another encoding, results written
  // elsewhere, a history that cannot be saved): after the editor has started, never before, so
  // that a box answered with Shift let go never keeps Shift+Enter from opening the results.
  void TellOncePerSession(const SearchResult& result);
  void OnUp();
  void OnDown();
  void ShowQueryText();
  // Tells, once a session, that history.txt could not be read or written, if it could not.
  void TellHistoryProblemOnce();

  // A run's message, with the folder or the reason on a line of its own.
  void ShowRunProblem(const RunProblem& problem, RunStatus status);
  // The box's text, its blocks' terms marked.
  void ShowResults();
  void SetCaption(std::string_view caption);
  // Shows the no-match note, and has a screen reader speak it: the beep alone is silent on most
  // desktops. Hidden again by the next key.
  void ShowNoMatchNote();
  void PlaceNoMatchNote();
  // The results box's description for a screen reader, with the caption of its last search.
  void DescribeResults(std::string_view caption);
  void MessageBox(const QString& text);

  ScreenState& state_;
  QPointer<QLineEdit> query_box_;
  QPointer<QPlainTextEdit> results_box_;
  QPointer<QLabel> no_match_note_;  // a child of the view outside its layout, so it takes no room
  // The box's text as of the last Enter, Up or Down; a change of folder puts it back in the box.
  QString query_text_;
  BoxLayout* layout_;           // owned by the view, as its layout
  TermMarks* marks_ = nullptr;  // owned by the results box's document
  BusyClock busy_clock_ = std::chrono::steady_clock::now;
  bool history_loaded_ = false;
  // Why history.txt could not be used, until the user is told.
  std::optional<FileProblem> history_problem_;
};

}  // namespace tolvane
