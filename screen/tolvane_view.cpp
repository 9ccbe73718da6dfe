#include "screen/tolvane_view.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QValidator>
#include <algorithm>

#include "screen/editor.h"
#include "screen/message_box.h"
#include "screen/screen_text.h"
#include "session/file_problem_text.h"
#include "session/search_screen.h"
#include "state/history.h"
#include "state/own_files.h"
#include "state/settings.h"
#include "texts/texts.h"

namespace tolvane {
namespace {
// Where the no-match note floats: its top this far above the results box's top edge, its right
// end this far in from the box's right end (clear of the scroll bar), its text this far inside its
// frame.
constexpr int kNoteAboveResultsBox = 6;
constexpr int kNoteRightInset = 28;
constexpr int kNoteMargin = 3;
// The no-match note is an alert to assistive technology, not a plain label: screen readers speak
// an alert as it is shown, as they do a message box.
class NoteAccessible : public QAccessibleWidget {
 public:
  explicit NoteAccessible(QWidget* note) : QAccessibleWidget(note, QAccessible::AlertMessage) {}
  QString text(QAccessible::Text which) const override {
    if (which == QAccessible::Name) return static_cast<const QLabel*>(widget())->text();
    return QAccessibleWidget::text(which);
  }
};

QAccessibleInterface* NoteAccessibleFactory(const QString& /*class_name*/, QObject* object) {
  if (object == nullptr || !object->isWidgetType() || qobject_cast<QLabel*>(object) == nullptr ||
      object->objectName() != QLatin1String(kNoMatchNoteName)) {
    return nullptr;
  }
  return new NoteAccessible(static_cast<QWidget*>(object));
}

// True when `text` still fits the query limit once converted and widened. A character Shift-JIS
// lacks counts two bytes, as it does in the command.
bool FitsQueryBox(const QString& text) {
  // Every UTF-16 unit is at least one counted byte, so a long paste is refused without converting.
  if (static_cast<std::size_t>(text.size()) > kSlotTextBytes) return false;
  return FitsQueryLimit(text.toStdString());
}

// Refuses an edit, typed or pasted, whose result would not fit; the box keeps its previous text.
class QueryLengthValidator : public QValidator {
 public:
  using QValidator::QValidator;
  State validate(QString& input, int& /*pos*/) const override {
    return FitsQueryBox(input) ? Acceptable : Invalid;
  }
};

}  // namespace

CTolvaneView::CTolvaneView(ScreenState& state, QWidget* parent) : QWidget(parent), state_(state) {
  auto* query = new QLineEdit(this);
  query->setObjectName(QString::fromLatin1(kQueryBoxName));
  query->setValidator(new QueryLengthValidator(query));
  connect(query, &QLineEdit::inputRejected, this, [] { QApplication::beep(); });
  query->installEventFilter(this);
  query->setAccessibleName(FromSjis(kQueryBoxAccessibleName));
  query->setAccessibleDescription(FromSjis(kQueryBoxAccessibleDescription));
  query_box_ = query;

  auto* results = new QPlainTextEdit(this);
  results->setObjectName(QString::fromLatin1(kResultsBoxName));
  results->setReadOnly(true);
  results->setLineWrapMode(QPlainTextEdit::NoWrap);
  results->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  results->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  results->setUndoRedoEnabled(
      false);  // nothing to undo in a read-only box; saves a copy per search
  // A click gives the focus to the nearest ancestor that takes it on a click, so a click on a
  // scroll bar would reach the box and silence the keys. The box takes it from clicks on its text
  // only.
  results->verticalScrollBar()->setFocusPolicy(Qt::NoFocus);
  results->horizontalScrollBar()->setFocusPolicy(Qt::NoFocus);
  results->setFocusPolicy(Qt::TabFocus);
  results->viewport()->installEventFilter(this);
  results->installEventFilter(this);
  results->setAccessibleName(FromSjis(kResultsBoxAccessibleName));
  results->setAccessibleDescription(FromSjis(kResultsBoxAccessibleDescription));
  results_box_ = results;
  marks_ = new TermMarks(results->document(), results->palette());

  layout_ = new BoxLayout(this);
  layout_->AddQueryBox(query);
  layout_->AddResultsBox(results);

  // Tooltip colours, so that it reads as a passing note in any theme; never takes the focus.
  static const bool kNoteFactoryInstalled =
      (QAccessible::installFactory(NoteAccessibleFactory), true);
  (void)kNoteFactoryInstalled;
  auto* note = new QLabel(this);
  note->setObjectName(QString::fromLatin1(kNoMatchNoteName));
  note->setText(FromSjis(kNoMatchNote));
  note->setFrameShape(QFrame::Box);
  note->setMargin(kNoteMargin);
  note->setAutoFillBackground(true);
  note->setBackgroundRole(QPalette::ToolTipBase);
  note->setForegroundRole(QPalette::ToolTipText);
  note->setFocusPolicy(Qt::NoFocus);
  note->hide();
  no_match_note_ = note;

  setTabOrder(query, results);
  query->setFocus();
}

CTolvaneView::~CTolvaneView() { SaveHistory(); }

void CTolvaneView::SaveHistory() {
  // A table that was never loaded would overwrite the state file with empty slots.
  if (!history_loaded_ || !state_.history.DiffersFromFile()) return;
  // Started from the menu in a home without records, or on any text file from the file manager,
  // the folder gets no history.txt it never had: nothing can be searched there.
  if (!HoldsRecordsFile(state_.start_dir) && !HoldsHistoryFile(state_.start_dir)) return;
  // A failed save is tried again at the next change or at exit; the old file stays whole.
  FileProblem problem;
  if (!state_.history.Save(state_.start_dir, &problem)) history_problem_ = problem;
}

void CTolvaneView::TellHistoryProblemOnce() {
  const std::optional<FileProblem> problem = std::exchange(history_problem_, std::nullopt);
  if (!problem || !state_.history_problem.Due()) return;
  QString text = FromSjis(kCannotSaveHistoryMessage);
  if (const std::string reason = FileProblemReason(*problem); !reason.empty()) {
    text += u'\n' + QString::fromStdString(reason);
  }
  MessageBox(text);
}

void CTolvaneView::SetStartDir(const std::string& start_dir) {
  if (query_box_) query_box_->setText(query_text_);
  if (no_match_note_) no_match_note_->hide();  // it spoke of the folder left behind
  // Kept whole, however long: nothing here holds it in a fixed buffer.
  state_.start_dir = start_dir;
  state_.results_elsewhere.clear();
  state_.history.Load(state_.start_dir);
  history_loaded_ = true;
  // Another user's link in the place of history.txt is neither read nor written through; the
  // user hears of it once the window is up.
  if (state_.history.LoadProblem()) {
    history_problem_ = state_.history.LoadProblem();
    QMetaObject::invokeMethod(
        this, [this] { TellHistoryProblemOnce(); }, Qt::QueuedConnection);
  }
  // A history.txt saved by a UTF-8 editor comes back in Shift-JIS; what Shift-JIS lacks is told.
  if (state_.history.LoadDroppedCharacters() && state_.history_characters_dropped.Due()) {
    QMetaObject::invokeMethod(
        this, [this] { MessageBox(FromSjis(kHistoryCharactersDroppedMessage)); },
        Qt::QueuedConnection);
  }
}

void CTolvaneView::OnChangeEditor() {
  ChooseEditor(this, state_.history, state_.start_dir, state_.settings_file);
  SaveHistory();
  TellHistoryProblemOnce();
}

bool CTolvaneView::eventFilter(QObject* watched, QEvent* event) {
  // The boxes are looked at only for the events that matter here: a box being destroyed still
  // sends others through this filter, when it is no longer the box its pointer names.
  switch (event->type()) {
    case QEvent::MouseButtonPress:
      if (results_box_ && watched == results_box_->viewport()) {
        results_box_->setFocus(Qt::MouseFocusReason);
      }
      break;
    case QEvent::FocusIn:
      if (watched == query_box_ || watched == results_box_) {
        state_.results_focus = watched == results_box_;
      }
      break;
    case QEvent::KeyPress:
      if (watched == query_box_ || watched == results_box_) {
        if (no_match_note_) no_match_note_->hide();
        HandleSearchKey(*static_cast<QKeyEvent*>(event));
      }
      break;
    default:
      break;
  }
  return QWidget::eventFilter(watched, event);
}

void CTolvaneView::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  // A restore from minimised shows the view again but may bring no resize with it.
  layout_->Relayout();
  if (!state_.first_show) return;
  state_.first_show = false;
  // Queued, so that the caption changes once the window is up, not while it is being shown.
  QMetaObject::invokeMethod(
      this, [this] { SetCaption(kUsageHint); }, Qt::QueuedConnection);
}

void CTolvaneView::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() == QEvent::PaletteChange && results_box_) {
    marks_->SetPalette(results_box_->palette());
  }
}

void CTolvaneView::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  PlaceNoMatchNote();
}

void CTolvaneView::HandleSearchKey(const QKeyEvent& key) {
  // Alt combinations belong to the menu bar.
  if (key.modifiers() & Qt::AltModifier) return;
  if (state_.results_focus) return;
  switch (key.key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      OnEnter();
      break;
    case Qt::Key_Up:
      OnUp();
      break;
    case Qt::Key_Down:
      OnDown();
      break;
    default:
      break;
  }
}

void CTolvaneView::OnEnter() {
  if (!query_box_) return;
  query_text_ = query_box_->text();
  if (query_text_.isEmpty()) return;

  // Any character is searched in the records file's own encoding, which decides what it holds.
  const std::string query = query_text_.toStdString();
  // The box refuses text that would not fit a slot, so this fails only for text put there by
  // other means; such a query is neither stored nor searched.
  if (!state_.history.AddQuery(query)) {
    QApplication::beep();
    return;
  }
  // Saved before the search runs: a display lost or a kill during a long search keeps the query.
  SaveHistory();
  const SearchResult result = Search(query);
  if (result.status == RunStatus::kNoMatch) {
    QApplication::beep();
    ShowNoMatchNote();
  }
  // The modifier state as of the last input event handled, so a Shift let go while a message box
  // of the search was open counts as let go.
  if (QGuiApplication::keyboardModifiers() & Qt::ShiftModifier) {
    // The results are in the encoding this search decided, unless the search left the old ones.
    const bool written =
        result.status == RunStatus::kMatched || result.status == RunStatus::kNoMatch;
    const ResultsToOpen results{
        .elsewhere = state_.results_elsewhere,
        .encoding = written ? std::optional(result.encoding) : std::nullopt};
    OpenResultsInEditor(this, state_.history, state_.start_dir, results, state_.settings_file);
  }
  TellOncePerSession(result);
}

void CTolvaneView::TellOncePerSession(const SearchResult& result) {
  // A file in no known encoding was searched as Shift-JIS bytes.
  if (result.unknown_encoding && state_.unknown_encoding.Due()) {
    MessageBox(FromSjis(kUnknownEncodingSearchedMessage));
  }
  // Lines in another encoding may be missed by every search of the file.
  if (result.other_encoding_lines && state_.other_encoding_lines.Due()) {
    MessageBox(FromSjis(kOtherEncodingLinesMessage));
  }
  const std::string& elsewhere = result.results_elsewhere;
  if (!elsewhere.empty() && state_.results_elsewhere_place.Due(elsewhere)) {
    const QString path = QFile::decodeName(QByteArray::fromStdString(elsewhere));
    MessageBox(FromSjis(kResultsElsewhereMessage).arg(path) + u'\n' +
               FromSjis(kResultsElsewhereEditorNote));
  }
  TellHistoryProblemOnce();
}

SearchResult CTolvaneView::Search(const std::string& query) {
  BusyCursor busy(busy_clock_);
  RunOptions options;
  options.scan.on_progress = [&busy] { busy.OnProgress(); };
  options.loose = state_.loose_search;
  // A folder the user may not write is searched all the same; its results go to the user's cache.
  const std::string start_dir = state_.start_dir;
  options.results_fallback = [&start_dir] {
    ResultsFolder own;
    own.fd = OpenOwnResultsFolder(start_dir, own.path);
    return own;
  };
  // The window as the session shows a search on it; state_.shown is the box's text.
  struct Screen final : SearchScreen {
    Screen(CTolvaneView& view, BusyCursor& busy) : view(view), busy(busy) {}
    void ShowProblem(const RunProblem& problem, RunStatus status) override {
      busy.Restore();  // a message box shows the ordinary cursor
      view.ShowRunProblem(problem, status);
    }
    void ShowResults(const ShownResults&) override { view.ShowResults(); }
    void ShowCaption(std::string_view caption) override {
      view.SetCaption(caption);
      view.DescribeResults(caption);
    }
    CTolvaneView& view;
    BusyCursor& busy;
  } screen(*this, busy);
  SearchResult result = SearchAndShow(query, state_.start_dir, state_.shown, options, screen);
  if (!result.problem) state_.results_elsewhere = result.results_elsewhere;
  return result;
}

void CTolvaneView::OnLooseSearch(bool on) {
  state_.loose_search = on;
  // Remembering is a convenience: the choice holds for this session whatever happens to the file.
  // The other settings, which another window may have changed meanwhile, stay as the file has them.
  if (!state_.settings_file) return;
  Settings settings = LoadSettings(*state_.settings_file);
  settings.loose_search = on;
  (void)SaveSettings(*state_.settings_file, settings);
}

void CTolvaneView::OnUp() {
  state_.history_cursor = std::min(state_.history_cursor + 1, kLastHistoryEntry);
  query_text_ = QString::fromStdString(
      state_.history.QueryText(static_cast<std::size_t>(state_.history_cursor)));
  ShowQueryText();
}

void CTolvaneView::OnDown() {
  state_.history_cursor = std::max(state_.history_cursor - 1, kNoHistoryEntry);
  if (state_.history_cursor < 0) {
    query_text_.clear();
  } else {
    query_text_ = QString::fromStdString(
        state_.history.QueryText(static_cast<std::size_t>(state_.history_cursor)));
  }
  ShowQueryText();
}

void CTolvaneView::ShowQueryText() {
  if (query_box_) query_box_->setText(query_text_);
}

void CTolvaneView::ShowRunProblem(const RunProblem& problem, RunStatus status) {
  QString text = QString::fromStdString(RunProblemMessage(problem));
  const std::string reason = problem.file ? FileProblemReason(*problem.file) : std::string();
  if (!reason.empty()) {
    text += u'\n' + QString::fromStdString(reason);
  } else if (status == RunStatus::kNoRecordsFile && !state_.start_dir.empty()) {
    // The start folder may not be the one the user has in mind (a remembered one, say).
    const QString folder = QFile::decodeName(QByteArray::fromStdString(state_.start_dir));
    text += u'\n' + QDir::toNativeSeparators(folder);
  }
  MessageBox(text);
}

void CTolvaneView::ShowResults() {
  if (!results_box_) return;
  const ShownResults& shown = state_.shown;
  // Each block in its own file's encoding: blocks of files in different encodings side by side.
  QString text;
  std::vector<TermMarks::Block> blocks;
  std::size_t at = 0;
  for (const ShownBlock& block : shown.blocks) {
    const std::string_view bytes = std::string_view(shown.text).substr(at, block.bytes);
    const QString decoded = FromEncoded(bytes, block.encoding);
    blocks.push_back({BoxLength(decoded), BoxMarksOf(bytes, block.encoding, block.spans)});
    text += decoded;
    at += block.bytes;
  }
  marks_->SetBlocks(std::move(blocks));
  results_box_->setPlainText(text);
}

void CTolvaneView::SetCaption(std::string_view caption) {
  ShowCaption(*window(), FromSjis(caption));
}

void CTolvaneView::ShowNoMatchNote() {
  if (!no_match_note_) return;
  no_match_note_->adjustSize();
  PlaceNoMatchNote();
  no_match_note_->raise();
  no_match_note_->show();
  // Qt 6.4 has no announcement event; the shown alert is what a screen reader speaks.
  QAccessibleEvent alert(no_match_note_, QAccessible::Alert);
  QAccessible::updateAccessibility(&alert);
}

void CTolvaneView::PlaceNoMatchNote() {
  if (!no_match_note_ || !results_box_) return;
  const QRect box = results_box_->geometry();
  const QSize size = no_match_note_->sizeHint();
  // Right-aligned where the box is wide enough, else from its left; never above the view.
  const int x = std::max(box.left(), box.right() - kNoteRightInset - size.width());
  const int y = std::max(0, box.top() - kNoteAboveResultsBox);
  no_match_note_->setGeometry(QRect(QPoint(x, y), size));
}

void CTolvaneView::DescribeResults(std::string_view caption) {
  if (!results_box_) return;
  // A new description is sent to assistive technology as an event of its own, so the count is
  // spoken, not only put in the caption.
  results_box_->setAccessibleDescription(FromSjis(caption) + u'\n' +
                                         FromSjis(kResultsBoxAccessibleDescription));
}

void CTolvaneView::MessageBox(const QString& text) { ShowMessageBox(this, text); }

}  // namespace tolvane
