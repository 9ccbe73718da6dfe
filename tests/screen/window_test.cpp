// The window under the offscreen platform: layout, focus, the search keys, captions, dialogs and
// the accelerators. Every case runs in a fresh scratch folder that is also the working directory,
// with a scratch configuration folder of its own, so that no remembered folder reaches ~/.config.

#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <QTimer>
#include <chrono>
#include <functional>
#include <memory>

#include "app/about_dlg.h"
#include "app/main_frame.h"
#include "app/quit_on_signals.h"
#include "app/tolvane_app.h"
#include "dialog_driver.h"
#include "iconv_text.h"
#include "screen/results_copy.h"
#include "screen/screen_text.h"
#include "screen/term_marks.h"
#include "screen/tolvane_view.h"
#include "test_util.h"

using namespace tolvane;
using tolvane::testing::AnswerNextDialog;
using tolvane::testing::ChooseFile;
using tolvane::testing::MessageBoxCloser;
using tolvane::testing::ScratchDir;

namespace {

constexpr int kEditorWaitMs = 5000;
constexpr char kFrameCaption[] =
    "  - 空白で区切るとand検索、上下カーソルキー：入力履歴、shift+Enter：エディタで結果を開く";
constexpr char kHintCaption[] =
    "　空白で区切るとand検索。上下矢印キーで入力履歴。shift+Enterキー：エディタで結果を開く。";

QByteArray Sjis(const QString& text) { return QByteArray::fromStdString(ToSjis(text).sjis); }

void WriteLines(const QString& path, const QStringList& lines) {
  QFile file(path);
  QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
  for (const QString& line : lines) file.write(Sjis(line) + "\r\n");
}

void WriteBytes(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
  QCOMPARE(file.write(bytes), bytes.size());
}

// `text` in another encoding, as a Linux tool would have written it.
QByteArray Encoded(const char* encoding, const QString& text) {
  return QByteArray::fromStdString(
      testing::IconvText(encoding, "UTF-8", text.toUtf8().toStdString()).value_or(std::string()));
}

QByteArray ReadAll(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Types text the way a keyboard would, one character per key press; QTest's own typing knows
// Latin-1 only.
void Type(QWidget* widget, const QString& text) {
  for (const QChar c : text) {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
    QApplication::sendEvent(widget, &press);
  }
}

using Marks = QList<QPair<int, int>>;  // start and length of each marked stretch

// The marked stretches of every line of `document`, as its highlighter formatted them.
QList<Marks> MarksOf(const QTextDocument* document) {
  QList<Marks> lines;
  for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
    Marks marks;
    for (const QTextLayout::FormatRange& range : block.layout()->formats()) {
      if (range.format.background().style() != Qt::NoBrush)
        marks << qMakePair(range.start, range.length);
    }
    lines << marks;
  }
  return lines;
}

// Answers every message box with the Enter key alone, as a user does who has let go of Shift
// by then: the modifiers the program sees change with the key.
class BoxesAnsweredByKey {
 public:
  BoxesAnsweredByKey() {
    timer_.setInterval(kTickMs);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (box == nullptr) return;
      texts << box->text();
      QTest::keyClick(box, Qt::Key_Return);
    });
    timer_.start();
  }
  QStringList texts;

 private:
  static constexpr int kTickMs = 10;
  QTimer timer_;
};

}  // namespace

class WindowTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<ScratchDir> dir_;
  std::unique_ptr<ScratchDir> config_;
  QString old_dir_;
  QByteArray saved_path_;
  std::unique_ptr<CTolvaneApp> app_;
  // Owns the dialog answerers of one test.
  std::unique_ptr<QObject> answerers_;

  QString Dir() const { return QFile::decodeName(dir_->path().c_str()); }
  QString Path(const QString& name) const { return Dir() + u'/' + name; }
  // A shell script `name` in the scratch folder's bin, which a test puts first on PATH.
  void FakeProgram(const char* name, const QString& body) {
    QVERIFY(QDir().mkpath(Path("bin")));
    QFile program(Path("bin/") + QString::fromLatin1(name));
    QVERIFY(program.open(QIODevice::WriteOnly));
    program.write(("#!/bin/sh\n" + body + u'\n').toUtf8());
    program.close();
    QVERIFY(program.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
  }
  QLineEdit* Query() const { return app_->MainFrame()->View()->QueryBox(); }
  QPlainTextEdit* Results() const { return app_->MainFrame()->View()->ResultsBox(); }
  QString Caption() const { return app_->MainFrame()->windowTitle(); }

  void Start() {
    app_ = std::make_unique<CTolvaneApp>();
    QVERIFY(app_->Start());
    CMainFrame* frame = app_->MainFrame();
    frame->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(frame));
    Query()->setFocus();
    QTRY_VERIFY(Query()->hasFocus());
  }

  // An editor script "<name>.sh" that records its working directory and arguments in "<name>.log".
  QString WriteEditor(const QString& name) {
    const QString script = Path(name + ".sh");
    QFile file(script);
    if (!file.open(QIODevice::WriteOnly)) return {};
    file.write(QStringLiteral(
                   "#!/bin/sh\n{ pwd -P; printf '%s\\n' \"$@\"; } > '%1.tmp' && mv '%1.tmp' '%1'\n")
                   .arg(Path(name + ".log"))
                   .toUtf8());
    file.close();
    if (!file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner)) return {};
    return script;
  }

  // A history file whose editor is WriteEditor's "editor".
  void WriteHistory(const QStringList& queries) {
    const QString script = WriteEditor(QStringLiteral("editor"));
    QVERIFY(!script.isEmpty());
    QStringList lines = queries;
    while (lines.size() < static_cast<int>(kHistoryQueries)) lines << QString();
    WriteLines(Path("history.txt"), lines << script);
  }

  void Search(const QString& query, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    Query()->setText(query);
    QTest::keyClick(Query(), Qt::Key_Return, modifiers);
  }

 private Q_SLOTS:
  void init() {
    answerers_ = std::make_unique<QObject>();
    dir_ = std::make_unique<ScratchDir>();
    QVERIFY(!dir_->path().empty());
    config_ = std::make_unique<ScratchDir>();
    QVERIFY(qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(config_->path())));
    // The default editor's copy of the results goes here, never to the user's own cache.
    QVERIFY(qputenv("XDG_CACHE_HOME", QByteArray::fromStdString(config_->path() + "/cache")));
    saved_path_ = qgetenv("PATH");
    old_dir_ = QDir::currentPath();
    QVERIFY(QDir::setCurrent(Dir()));
    WriteLines(Path("tolvaneken.txt"),
               {QStringLiteral("山田太郎（1998）「近世日本の研究」『日本史研究』"),
                QStringLiteral("佐藤花子（2001）「中世京都の研究」『史林』"),
                QStringLiteral("Smith (1990) Village Society")});
  }

  void cleanup() {
    answerers_.reset();
    app_.reset();
    qputenv("PATH", saved_path_);
    qunsetenv("XDG_DATA_HOME");
    qunsetenv("XDG_DATA_DIRS");
    QDir::setCurrent(old_dir_);
    dir_.reset();
    config_.reset();
  }

  void layoutFollowsTheClientArea() {
    ScreenState state;
    CTolvaneView view(state);
    view.resize(800, 600);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QCOMPARE(view.QueryBox()->geometry(), QRect(9, 8, 782, 20));
    QCOMPARE(view.ResultsBox()->geometry(), QRect(9, 37, 782, 553));

    // Too small for the margins: no negative sizes.
    view.resize(10, 30);
    QTRY_COMPARE(view.ResultsBox()->geometry(), QRect(9, 37, 0, 0));
    QCOMPARE(view.QueryBox()->geometry(), QRect(9, 8, 0, 20));

    // Nothing moves while minimised; the restore lays the boxes out for the new size.
    view.resize(400, 300);
    QTRY_COMPARE(view.QueryBox()->width(), 382);
    view.showMinimized();
    view.resize(500, 200);
    QTRY_COMPARE(view.size(), QSize(500, 200));
    QCOMPARE(view.QueryBox()->width(), 382);
    view.showNormal();
    QTRY_COMPARE(view.QueryBox()->width(), 482);
    QCOMPARE(view.ResultsBox()->height(), 153);

    // A box that does not exist is skipped; the other is still laid out.
    delete view.ResultsBox();
    view.resize(300, 200);
    QTRY_COMPARE(view.QueryBox()->width(), 282);
  }

  void viewInTheFrameIsLaidOutOnRestore() {
    Start();
    CMainFrame* frame = app_->MainFrame();
    CTolvaneView* view = frame->View();
    QCOMPARE(view->QueryBox()->width(), view->width() - 18);
    const int query_width = view->QueryBox()->width();
    frame->showMinimized();
    frame->resize(frame->width() + 100, frame->height() + 50);
    QTRY_COMPARE(view->width(), query_width + 18 + 100);
    QCOMPARE(view->QueryBox()->width(), query_width);
    frame->showNormal();
    QTRY_COMPARE(view->QueryBox()->width(), query_width + 100);
    QCOMPARE(view->ResultsBox()->geometry(), QRect(9, 37, view->width() - 18, view->height() - 47));
  }

  void quitSignalsLeaveIgnoredOnesIgnoredAndPutBackWhatWasThere() {
    // Started under nohup: SIGHUP ignored, and it must stay so; SIGTERM gets ours, then back.
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    struct sigaction hup_before {
    }, term_before{};
    QVERIFY(::sigaction(SIGHUP, &ignore, &hup_before) == 0);
    QVERIFY(::sigaction(SIGTERM, nullptr, &term_before) == 0);
    {
      const QuitOnSignals quit;
      struct sigaction now {};
      ::sigaction(SIGHUP, nullptr, &now);
      QVERIFY(now.sa_handler == SIG_IGN);
      ::sigaction(SIGTERM, nullptr, &now);
      QVERIFY(now.sa_handler != term_before.sa_handler);
    }
    struct sigaction after {};
    ::sigaction(SIGTERM, nullptr, &after);
    QVERIFY(after.sa_handler == term_before.sa_handler);
    ::sigaction(SIGHUP, &hup_before, nullptr);
  }

  void mainWindowIs800By600() {
    Start();
    QCOMPARE(app_->MainFrame()->frameGeometry().size(), QSize(kFrameWidth, kFrameHeight));
  }

  void captionShowsHintOnceThenCount() {
    app_ = std::make_unique<CTolvaneApp>();
    QVERIFY(app_->Start());
    QCOMPARE(Caption(), QString::fromUtf8(kFrameCaption));
    QVERIFY(QTest::qWaitForWindowExposed(app_->MainFrame()));
    QTRY_COMPARE(Caption(), QString::fromUtf8(kHintCaption));
    Search(QStringLiteral("研究"));
    QCOMPARE(
        Caption(),
        QStringLiteral(
            "件数：2   "
            "空白で区切るとand検索。上下矢印キーで入力履歴。shift+Enter：エディタで結果を開く。"));
    // Neither a repaint nor a restore, which shows the view again, brings the hint back; what they
    // might queue is delivered before the caption is read.
    CMainFrame* frame = app_->MainFrame();
    frame->View()->repaint();
    frame->showMinimized();
    frame->showNormal();
    QCoreApplication::sendPostedEvents();
    QVERIFY(Caption().startsWith(QStringLiteral("件数：2")));
  }

  void searchesStackNewestFirst() {
    Start();
    Search(QStringLiteral("佐藤"));
    Search(QStringLiteral("山田 近世"));
    QCOMPARE(Results()->toPlainText(),
             QStringLiteral("山田太郎（1998）「近世日本の研究」『日本史研究』\n\n"
                            "佐藤花子（2001）「中世京都の研究」『史林』\n\n"));
    // The box keeps the text as typed; history holds the widened form.
    QCOMPARE(Query()->text(), QStringLiteral("山田 近世"));
    QCOMPARE(FromSjis(app_->State().history.Slot(0)), QStringLiteral("山田　近世"));
    QCOMPARE(ReadAll(Path("kekka.txt")),
             Sjis(QStringLiteral("山田太郎（1998）「近世日本の研究」『日本史研究』\r\n")));
  }

  void twinCodesAreFoundAsOneCharacter() {
    // "Ⅰ" as the NEC code 0x8754 and as the IBM code 0xFA4A; the box shows both alike.
    QFile records(Path("tolvaneken.txt"));
    QVERIFY(records.open(QIODevice::WriteOnly | QIODevice::Truncate));
    records.write("nec \x87\x54\r\nibm \xfa\x4a\r\nneither \x87\x55\r\n");
    records.close();
    Start();
    Search(QStringLiteral("Ⅰ"));
    QCOMPARE(Results()->toPlainText(), QStringLiteral("nec Ⅰ\nibm Ⅰ\n\n"));
    QCOMPARE(ReadAll(Path("kekka.txt")), QByteArray("nec \x87\x54\r\nibm \xfa\x4a\r\n"));
  }

  void recordsInUtf8OrEucJpShowDecodedAndMarked() {
    const QString records = QStringLiteral(
        "山田太郎（1998）「近世日本の研究」\r\n明治〜大正の出版 1979\r\n昭和～平成の出版\r\n");
    const QString first = QStringLiteral("山田太郎（1998）「近世日本の研究」\r\n");
    const QList<QPair<QByteArray, QByteArray>> files = {
        {QByteArray("\xef\xbb\xbf") + records.toUtf8(), first.toUtf8()},
        {records.toUtf8(), first.toUtf8()},
        {Encoded("EUC-JP", records), Encoded("EUC-JP", first)}};
    for (const auto& [bytes, first_record] : files) {
      QVERIFY(!bytes.isEmpty());
      WriteBytes(Path("tolvaneken.txt"), bytes);
      Start();
      Search(QStringLiteral("近世 研究"));
      QCOMPARE(Results()->toPlainText(), QStringLiteral("山田太郎（1998）「近世日本の研究」\n\n"));
      QCOMPARE(MarksOf(Results()->document()), (QList<Marks>{{{11, 2}, {16, 2}}, {}, {}}));
      QVERIFY(Caption().startsWith(QStringLiteral("件数：1 ")));
      // kekka.txt holds the record's own bytes, never the byte-order mark.
      QCOMPARE(ReadAll(Path("kekka.txt")), first_record);
      // The wave dash is found, and marked, in whichever of its two forms the file holds.
      Search(QStringLiteral("～"));
      QCOMPARE(Results()->toPlainText(),
               QStringLiteral("明治〜大正の出版 1979\n昭和～平成の出版\n\n"
                              "山田太郎（1998）「近世日本の研究」\n\n"));
      QCOMPARE(MarksOf(Results()->document()).mid(0, 2), (QList<Marks>{{{2, 1}}, {{2, 1}}}));
      app_.reset();
    }
  }

  void blocksOfFilesInTwoEncodingsStayReadableSideBySide() {
    // The start folder's file is Shift-JIS (init); the other folder's UTF-8.
    QVERIFY(QDir(Dir()).mkdir(QStringLiteral("utf8")));
    WriteBytes(Path("utf8/tolvaneken.txt"), QStringLiteral("近世の村 ｶﾀｶﾅ\r\n").toUtf8());
    Start();
    Search(QStringLiteral("近世"));
    const QString chosen = Path("utf8/tolvaneken.txt");
    AnswerNextDialog<QFileDialog>(answerers_.get(),
                                  [chosen](QFileDialog* dialog) { ChooseFile(dialog, chosen); });
    QTest::keyClick(Query(), Qt::Key_O, Qt::ControlModifier);
    QCOMPARE(QString::fromStdString(app_->State().start_dir), QDir(Path("utf8")).canonicalPath());
    app_->MainFrame()->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(app_->MainFrame()));
    Query()->setFocus();
    QTRY_VERIFY(Query()->hasFocus());
    Search(QStringLiteral("ｶﾀｶﾅ"));
    QCOMPARE(
        Results()->toPlainText(),
        QStringLiteral("近世の村 ｶﾀｶﾅ\n\n山田太郎（1998）「近世日本の研究」『日本史研究』\n\n"));
    QCOMPARE(MarksOf(Results()->document()), (QList<Marks>{{{5, 4}}, {}, {{11, 2}}, {}, {}}));
    QCOMPARE(ReadAll(Path("utf8/kekka.txt")), QStringLiteral("近世の村 ｶﾀｶﾅ\r\n").toUtf8());
    // Another UTF-8 block on top: the older blocks keep their own text and marks.
    Search(QStringLiteral("近世"));
    QCOMPARE(Results()->toPlainText(),
             QStringLiteral("近世の村 ｶﾀｶﾅ\n\n近世の村 ｶﾀｶﾅ\n\n"
                            "山田太郎（1998）「近世日本の研究」『日本史研究』\n\n"));
    QCOMPARE(MarksOf(Results()->document()),
             (QList<Marks>{{{0, 2}}, {}, {{5, 4}}, {}, {{11, 2}}, {}, {}}));
  }

  void aPastedKangxiRadicalSearchesTheKanjiItStandsFor() {
    WriteLines(Path("tolvaneken.txt"), {QStringLiteral("言語学の研究"), QStringLiteral("語学")});
    Start();
    MessageBoxCloser boxes;
    Search(QStringLiteral("⾔語"));  // U+2F94, as a PDF's text gives it
    QCOMPARE(Results()->toPlainText(), QStringLiteral("言語学の研究\n\n"));
    QCOMPARE(MarksOf(Results()->document()), (QList<Marks>{{{0, 2}}, {}, {}}));
    QCOMPARE(FromSjis(app_->State().history.Slot(0)), QStringLiteral("言語"));
    QVERIFY(boxes.texts.isEmpty());
  }

  void aUtf8HistoryComesBackUnderUpAndIsSavedAsShiftJis() {
    const QString script = WriteEditor(QStringLiteral("editor"));
    QVERIFY(!script.isEmpty());
    QString history = QStringLiteral("近世\n明治😀期\n");
    for (int i = 2; i < static_cast<int>(kHistoryQueries); ++i) history += u'\n';
    WriteBytes(Path("history.txt"), (history + script + u'\n').toUtf8());
    MessageBoxCloser boxes;
    app_ = std::make_unique<CTolvaneApp>();
    QVERIFY(app_->Start());
    Query()->setFocus();
    QTest::keyClick(Query(), Qt::Key_Up);
    QCOMPARE(Query()->text(), QStringLiteral("近世"));
    // What Shift-JIS lacks is kept: nothing is left out, nothing told.
    QTest::keyClick(Query(), Qt::Key_Up);
    QCOMPARE(Query()->text(), QStringLiteral("明治😀期"));
    QTest::keyClick(Query(), Qt::Key_Down);
    QTest::keyClick(Query(), Qt::Key_Return);  // 近世 again: the table is unchanged
    QVERIFY(Caption().startsWith(QStringLiteral("件数：1 ")));
    const QList<QByteArray> lines = ReadAll(Path("history.txt")).split('\n');
    QCOMPARE(lines.size(), 22);
    QCOMPARE(lines[0], Sjis(QStringLiteral("近世")) + "\r");
    QCOMPARE(lines[1], Sjis(QStringLiteral("明治〓期")) + "\r");  // a geta for 😀
    QCOMPARE(lines[20], QFile::encodeName(script) + "\r");
    QCOMPARE(ReadAll(Path("history-utf8.txt")), QStringLiteral("明治😀期\n").toUtf8());
    QVERIFY(boxes.texts.isEmpty());
  }

  void aQueryBeyondShiftJisComesBackUnderUpAfterARestart() {
    WriteBytes(Path("tolvaneken.txt"),
               QStringLiteral("森鷗外全集 1971\r\n𠮷野家 1990\r\n한국 2001\r\n").toUtf8());
    Start();
    MessageBoxCloser boxes;
    Search(QStringLiteral("𠮷野家"));
    QCOMPARE(Results()->toPlainText(), QStringLiteral("𠮷野家 1990\n\n"));
    // The mark covers the whole term, the four-byte character's two UTF-16 units among it.
    QCOMPARE(MarksOf(Results()->document()), (QList<Marks>{{{0, 4}}, {}, {}}));
    Search(QStringLiteral("森鷗外"));
    Search(QStringLiteral("한국"));
    QVERIFY(boxes.texts.isEmpty());
    app_.reset();
    Start();
    QTest::keyClick(Query(), Qt::Key_Up);
    QCOMPARE(Query()->text(), QStringLiteral("한국"));
    QTest::keyClick(Query(), Qt::Key_Up);
    QCOMPARE(Query()->text(), QStringLiteral("森鷗外"));
    QTest::keyClick(Query(), Qt::Key_Up);
    QCOMPARE(Query()->text(), QStringLiteral("𠮷野家"));
  }

  void linesInAnotherEncodingAreToldOncePerSession() {
    QByteArray records = Sjis(QStringLiteral("近世の村 1979")) + "\r\n";
    records += QStringLiteral("近世の追記 1979\r\n").toUtf8();  // appended by a UTF-8 editor
    WriteBytes(Path("tolvaneken.txt"), records);
    Start();
    MessageBoxCloser boxes;
    Search(QStringLiteral("1979"));
    QCOMPARE(boxes.texts, QStringList{QStringLiteral(
                              "tolvaneken.txtの一部の行はほかの文字コードで書かれているようです。"
                              "それらの行は検索で見つからないことがあります。")});
    QVERIFY(Caption().startsWith(QStringLiteral("件数：2 ")));
    Search(QStringLiteral("近世"));
    QCOMPARE(boxes.texts.size(), 1);
  }

  void utf16RecordsAreRefusedByName() {
    WriteBytes(Path("tolvaneken.txt"),
               QByteArray("\xff\xfe") + Encoded("UTF-16LE", QStringLiteral("近世 1979\r\n")));
    Start();
    MessageBoxCloser boxes;
    Search(QStringLiteral("1979"));
    QCOMPARE(boxes.texts,
             QStringList{QStringLiteral("tolvaneken.txtはUTF-16で書かれているため検索できません。"
                                        "UTF-8かShift-JISで保存し直してください。")});
    QVERIFY(!QFile::exists(Path("kekka.txt")));
  }

  void eachBlockMarksItsOwnSearchsTerms() {
    Start();
    Search(QStringLiteral("研究"));
    Search(QStringLiteral("佐藤 京都"));
    QCOMPARE(
        Results()->toPlainText(),
        FromSjis(app_->State().shown.text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    QCOMPARE(Results()->toPlainText(),
             QStringLiteral("佐藤花子（2001）「中世京都の研究」『史林』\n\n"
                            "山田太郎（1998）「近世日本の研究」『日本史研究』\n"
                            "佐藤花子（2001）「中世京都の研究」『史林』\n\n"));
    // The newest block's 研究 is not its search's; the older block's 佐藤 is not its search's.
    const QList<Marks> expected = {{{0, 2}, {13, 2}}, {}, {{16, 2}, {23, 2}}, {{16, 2}}, {}, {}};
    QCOMPARE(MarksOf(Results()->document()), expected);

    // A search without a match leaves text and marks alone.
    Search(QStringLiteral("該当なし"));
    QCOMPARE(MarksOf(Results()->document()), expected);
    QCOMPARE(Results()->toPlainText().size(), BoxLength(FromSjis(app_->State().shown.text)));
  }

  void termsStartOnlyOnCharacterBoundaries() {
    // ソ is 0x83 0x5C: its second byte is a backslash to bytes, but no character of the text.
    QFile records(Path("tolvaneken.txt"));
    QVERIFY(records.open(QIODevice::WriteOnly | QIODevice::Truncate));
    records.write("\x83\x5c\x5c\x83\x5c\r\n\x83\x5c only\r\n");
    records.close();
    Start();
    Search(QStringLiteral("\\"));
    QCOMPARE(Results()->toPlainText(), QStringLiteral("ソ\\ソ\n\n"));
    QCOMPARE(MarksOf(Results()->document()), (QList<Marks>{{{1, 1}}, {}, {}}));
  }

  // The File menu, and its loose-search item, found by their texts.
  QMenu* FileMenu() const {
    for (QAction* menu : app_->MainFrame()->menuBar()->actions()) {
      if (menu->menu() && menu->text() == QStringLiteral("ﾌｧｲﾙ(&F)")) return menu->menu();
    }
    return nullptr;
  }
  QAction* LooseSearchItem() const {
    QMenu* file = FileMenu();
    for (QAction* item : file ? file->actions() : QList<QAction*>()) {
      if (item->text() == QStringLiteral("表記ゆれを区別しない(&L)")) return item;
    }
    return nullptr;
  }

  void looseSearchIsAFileMenuItemThatOutlivesTheSession() {
    WriteLines(Path("tolvaneken.txt"),
               {QStringLiteral("國語學の研究（１９９８）"), QStringLiteral("ｺﾝﾋﾟｭｰﾀ入門"),
                QStringLiteral("ヴァイオリン教本"), QStringLiteral("国語の研究")});
    Start();
    QAction* item = LooseSearchItem();
    QVERIFY(item);
    QVERIFY(item->isCheckable());
    QVERIFY(!item->isChecked());  // off until turned on
    // Above the separator before 終了.
    const QList<QAction*> items = FileMenu()->actions();
    const qsizetype at = items.indexOf(item);
    QVERIFY(at + 2 < items.size() && items[at + 1]->isSeparator());
    QCOMPARE(items[at + 2]->text(), QStringLiteral("終了(&X)"));

    Search(QStringLiteral("国語"));
    QCOMPARE(ReadAll(Path("kekka.txt")), Sjis(QStringLiteral("国語の研究")) + "\r\n");
    item->trigger();
    QVERIFY(item->isChecked());
    Search(QStringLiteral("国語"));
    // The records' own bytes, in file order, and the caption counts them.
    QCOMPARE(ReadAll(Path("kekka.txt")), Sjis(QStringLiteral("國語學の研究（１９９８）")) + "\r\n" +
                                             Sjis(QStringLiteral("国語の研究")) + "\r\n");
    QVERIFY(Caption().startsWith(QStringLiteral("件数：2 ")));
    // Each variant marked as the spelling that matched: 國語 of the first line, 国語 of the second.
    QCOMPARE(MarksOf(Results()->document()).mid(0, 2), (QList<Marks>{{{0, 2}}, {{0, 2}}}));

    // Remembered across a restart, and searched with.
    app_.reset();
    Start();
    item = LooseSearchItem();
    QVERIFY(item && item->isChecked());
    Search(QStringLiteral("コンピュータ 1998"));
    QCOMPARE(Results()->toPlainText(), QString());  // no record holds both
    Search(QStringLiteral("コンピュータ"));
    QCOMPARE(Results()->toPlainText(), QStringLiteral("ｺﾝﾋﾟｭｰﾀ入門\n\n"));
    QCOMPARE(MarksOf(Results()->document()).first(), (Marks{{0, 7}}));  // ﾋﾟ is two characters
    Search(QStringLiteral("1998 學"));
    QCOMPARE(MarksOf(Results()->document()).first(), (Marks{{2, 1}, {7, 4}}));
    // The spelling that matched is marked whatever its length: ヴァイオリン for バイオリン, where
    // the engine found it.
    Search(QStringLiteral("バイオリン"));
    QCOMPARE(Results()->toPlainText().section(u'\n', 0, 0), QStringLiteral("ヴァイオリン教本"));
    QCOMPARE(MarksOf(Results()->document()).first(), (Marks{{0, 6}}));

    // Off again, and so after the next start; the older blocks keep their marks.
    item->trigger();
    QVERIFY(!item->isChecked());
    Search(QStringLiteral("1998"));
    QCOMPARE(ReadAll(Path("kekka.txt")), QByteArray());
    app_.reset();
    Start();
    QVERIFY(!LooseSearchItem()->isChecked());
    QVERIFY(QFile::exists(QFile::decodeName(config_->path().c_str()) +
                          QStringLiteral("/tolvane/settings")));
  }

  void termMarksFollowTheBlocksTheyAreGiven() {
    QPlainTextEdit box;
    const QTextDocument& document = *box.document();
    TermMarks marks(box.document(), box.palette());
    marks.SetBlocks({{2, {{0, 1}}}, {2, {{0, 1}}}});
    box.setPlainText(QStringLiteral("b\r\na\r\n"));
    QCOMPARE(MarksOf(&document), (QList<Marks>{{{0, 1}}, {{0, 1}}, {}}));
    // A block's marks fall on its own lines only; a block of no search stays unmarked.
    marks.SetBlocks({{5, {{0, 2}}}, {2, {{0, 1}}}, {2, {}}});
    box.setPlainText(QStringLiteral("cc\r\nb\r\nb\r\na\r\n"));
    QCOMPARE(MarksOf(&document), (QList<Marks>{{{0, 2}}, {}, {{0, 1}}, {}, {}}));
  }

  void theEnginesByteSpansBecomeBoxPositions() {
    using tolvane::BoxMark;
    using tolvane::TermSpan;
    // Shift-JIS: ｳﾞｧ (B3 DE A7) is three characters of the box, ヴァ (83 94 83 40) two; CR LF is
    // one.
    const std::string sjis = "\xb3\xde\xa7\x83\x43\r\n\x83\x94\x83\x40\x83\x43";
    QCOMPARE(tolvane::BoxMarksOf(sjis, tolvane::TextEncoding::kShiftJis,
                                 std::vector<TermSpan>{{0, 5}, {7, 13}}),
             (std::vector<BoxMark>{{0, 4}, {5, 3}}));
    // UTF-8: a character of four bytes is two positions, one of three bytes one.
    const std::string utf8 = "\xf0\xa0\x80\x8b\xe3\x81\x82x";  // 𠀋 あ x
    QCOMPARE(tolvane::BoxMarksOf(utf8, tolvane::TextEncoding::kUtf8,
                                 std::vector<TermSpan>{{4, 8}, {0, 4}}),
             (std::vector<BoxMark>{{2, 2}, {0, 2}}));
    // A span past the block (cut off) marks nothing.
    QCOMPARE(tolvane::BoxMarksOf("ab", tolvane::TextEncoding::kUtf8, std::vector<TermSpan>{{1, 3}}),
             std::vector<BoxMark>{});
  }

  void busyCursorFromTwoHundredMsUntilTheSearchReturns() {
    // Eight steps of the scan, with the only match at the end.
    QFile records(Path("tolvaneken.txt"));
    QVERIFY(records.open(QIODevice::WriteOnly | QIODevice::Truncate));
    const QByteArray line = Sjis(QStringLiteral("ありふれた文献の一行です。")) + "\r\n";
    for (qint64 written = 0; written < (qint64{2} << 20); written += line.size())
      records.write(line);
    records.write(Sjis(QStringLiteral("末尾の文献")) + "\r\n");
    records.close();
    Start();
    QVERIFY(QApplication::overrideCursor() == nullptr);
    std::chrono::steady_clock::time_point now{};
    std::chrono::milliseconds tick{};
    app_->MainFrame()->View()->SetBusyClock([&] { return now += tick; });
    // The box gets its text while the search still runs.
    bool busy_when_shown = false;
    connect(Results()->document(), &QTextDocument::contentsChange, answerers_.get(), [&] {
      busy_when_shown = QApplication::overrideCursor() != nullptr &&
                        QApplication::overrideCursor()->shape() == Qt::BusyCursor;
    });
    tick = std::chrono::milliseconds(10);
    Search(QStringLiteral("末尾"));
    QVERIFY(Caption().startsWith(QStringLiteral("件数：1 ")));
    QVERIFY(!busy_when_shown);
    tick = std::chrono::milliseconds(100);
    Search(QStringLiteral("末尾"));
    QVERIFY(busy_when_shown);
    QVERIFY(QApplication::overrideCursor() == nullptr);

    // A message box of the search shows the normal cursor.
    QVERIFY(QFile::remove(Path("kekka.txt")));
    QVERIFY(QFile::link(QStringLiteral("/dev/full"), Path("kekka.txt")));
    auto box_cursor = std::make_shared<int>(-1);
    AnswerNextDialog<QMessageBox>(answerers_.get(), [box_cursor](QMessageBox* box) {
      *box_cursor = QApplication::overrideCursor() ? QApplication::overrideCursor()->shape() : -2;
      box->accept();
    });
    Search(QStringLiteral("末尾"));
    QCOMPARE(*box_cursor, static_cast<int>(Qt::ArrowCursor));
    QVERIFY(QApplication::overrideCursor() == nullptr);
  }

  void enterDoesNothingForEmptyBoxOrResultsFocus() {
    WriteHistory({QStringLiteral("古い")});
    Start();
    QTest::keyClick(Query(), Qt::Key_Return, Qt::ShiftModifier);
    Results()->setFocus();
    QTRY_VERIFY(app_->State().results_focus);
    Query()->setText(QStringLiteral("研究"));
    QTest::keyClick(Results(), Qt::Key_Return);
    QTest::keyClick(Results(), Qt::Key_Up);
    // The keys are handled as they are sent, and a search writes its file before returning.
    QVERIFY(!QFile::exists(Path("kekka.txt")));
    QCOMPARE(app_->State().history_cursor, kNoHistoryEntry);
    QCOMPARE(FromSjis(app_->State().history.Slot(0)), QStringLiteral("古い"));

    // Focus back in the query box enables the keys again.
    Query()->setFocus();
    QTRY_VERIFY(!app_->State().results_focus);
    QTest::keyClick(Query(), Qt::Key_Return, Qt::ControlModifier);
    QVERIFY(QFile::exists(Path("kekka.txt")));
    // An editor started by the keys above would have logged before one started now.
    const QString later = WriteEditor(QStringLiteral("later"));
    QVERIFY(!later.isEmpty());
    app_->State().history.SetEditorCommand(ToSjis(later).sjis);
    QTest::keyClick(Query(), Qt::Key_Return, Qt::ShiftModifier);
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(Path("later.log")), kEditorWaitMs);
    QVERIFY(!QFile::exists(Path("editor.log")));
  }

  void blanksOnlyQueryIsStoredAndMatchesEverything() {
    Start();
    Search(QStringLiteral("  "));
    QCOMPARE(FromSjis(app_->State().history.Slot(0)), QStringLiteral("　　"));
    QVERIFY(Caption().startsWith(QStringLiteral("件数：3 ")));
  }

  void upAndDownBrowseHistory() {
    WriteHistory({QStringLiteral("一"), QStringLiteral("二")});
    Start();
    ScreenState& state = app_->State();
    Query()->setText(QStringLiteral("typed"));
    QTest::keyClick(Query(), Qt::Key_Up);
    QCOMPARE(Query()->text(), QStringLiteral("一"));
    QTest::keyClick(Query(), Qt::Key_Up, Qt::ControlModifier);
    QCOMPARE(Query()->text(), QStringLiteral("二"));
    QTest::keyClick(Query(), Qt::Key_Up);  // an empty slot
    QCOMPARE(Query()->text(), QString());
    for (int i = 0; i < 25; ++i) QTest::keyClick(Query(), Qt::Key_Up);
    QCOMPARE(state.history_cursor, kLastHistoryEntry);
    QTest::keyClick(Query(), Qt::Key_Up, Qt::AltModifier);  // the menu's, not ours
    QCOMPARE(state.history_cursor, kLastHistoryEntry);

    // A search does not move the cursor.
    Search(QStringLiteral("研究"));
    QCOMPARE(state.history_cursor, kLastHistoryEntry);
    for (int i = 0; i < 18; ++i) QTest::keyClick(Query(), Qt::Key_Down);
    QCOMPARE(Query()->text(), QStringLiteral("一"));  // slot 1 now that 研究 is slot 0
    QTest::keyClick(Query(), Qt::Key_Down);
    QCOMPARE(Query()->text(), QStringLiteral("研究"));
    QTest::keyClick(Query(), Qt::Key_Down);
    QCOMPARE(state.history_cursor, kNoHistoryEntry);
    Query()->setText(QStringLiteral("typed"));
    QTest::keyClick(Query(), Qt::Key_Down);
    QCOMPARE(state.history_cursor, kNoHistoryEntry);
    QCOMPARE(Query()->text(), QString());
  }

  void shiftEnterStartsEditorEvenWithoutMatch() {
    WriteHistory({});
    Start();
    MessageBoxCloser boxes;
    Search(QStringLiteral("該当なし"), Qt::ShiftModifier);
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(Path("editor.log")), kEditorWaitMs);
    QCOMPARE(ReadAll(Path("editor.log")), (QDir(Dir()).canonicalPath() + "\nkekka.txt\n").toUtf8());
    QCOMPARE(ReadAll(Path("kekka.txt")), QByteArray());
    QVERIFY(boxes.texts.isEmpty());  // a started editor is not announced
  }

  void shiftEnterWithTheDefaultEditorOpensAUtf8CopyOfTheResults() {
    // The desktop opener, faked first on PATH: it records the bytes of the file it is given.
    QVERIFY(QDir().mkpath(Path("bin")));
    QFile opener(Path("bin/xdg-open"));
    QVERIFY(opener.open(QIODevice::WriteOnly));
    opener.write(
        QStringLiteral("#!/bin/sh\ncat -- \"$1\" > '%1.tmp'\n"
                       "{ pwd -P; printf '%s\\n' \"$@\"; } >> '%1.tmp' && mv '%1.tmp' '%1'\n")
            .arg(Path("opener.log"))
            .toUtf8());
    opener.close();
    QVERIFY(opener.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    // The desktop's choice for text is some editor, not this program.
    FakeProgram("xdg-mime", QStringLiteral("echo plain-editor.desktop"));
    QVERIFY(qputenv("PATH", QFile::encodeName(Path("bin")) + ':' + saved_path_));
    Start();
    app_->State().history.SetEditorCommand(kDefaultEditor);

    Search(QStringLiteral("研究"), Qt::ShiftModifier);
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(Path("opener.log")), kEditorWaitMs);
    const QString records = QStringLiteral(
        "山田太郎（1998）「近世日本の研究」『日本史研究』\r\n"
        "佐藤花子（2001）「中世京都の研究」『史林』\r\n");
    const QString copy =
        QFile::decodeName(config_->path().c_str()) + "/cache/" + kProgramCacheFolder + u'/' +
        QString::fromStdString(CopyFolderName(app_->State().start_dir)) + "/kekka.txt";
    QCOMPARE(QString::fromUtf8(ReadAll(Path("opener.log"))),
             records + QDir(Dir()).canonicalPath() + u'\n' + copy + u'\n');
    QCOMPARE(ReadAll(Path("kekka.txt")), Sjis(records));
  }

  // Where the desktop would open text in this program, Shift+Enter never starts a second one:
  // another text editor the desktop lists gets the copy, else the user is told what to do.
  void shiftEnterNeverOpensTheResultsInThisProgram() {
    FakeProgram("xdg-open", QStringLiteral("touch '%1'").arg(Path("opener.log")));
    FakeProgram("xdg-mime", QStringLiteral("echo org.tolvane.Tolvane.desktop"));
    FakeProgram("my-editor", QStringLiteral("printf '%s\\n' \"$@\" > '%1.tmp' && mv '%1.tmp' '%1'")
                                 .arg(Path("editor.log")));
    QVERIFY(QDir().mkpath(Path("data/applications")));
    WriteLines(Path("data/applications/org.tolvane.Tolvane.desktop"),
               {QStringLiteral("[Desktop Entry]"), QStringLiteral("Type=Application"),
                QStringLiteral("Exec=tolvane %f"), QStringLiteral("MimeType=text/plain;")});
    QVERIFY(qputenv("PATH", QFile::encodeName(Path("bin")) + ':' + saved_path_));
    QVERIFY(qputenv("XDG_DATA_HOME", QFile::encodeName(Path("data"))));
    QVERIFY(qputenv("XDG_DATA_DIRS", QFile::encodeName(Path("no-data"))));
    Start();
    app_->State().history.SetEditorCommand(kDefaultEditor);
    {
      MessageBoxCloser boxes;
      Search(QStringLiteral("研究"), Qt::ShiftModifier);
      QTRY_COMPARE(boxes.texts.size(), 1);
      QVERIFY(boxes.texts[0].startsWith(
          QStringLiteral("結果を開くテキストエディタが見つかりません。")));
    }
    WriteLines(Path("data/applications/my-editor.desktop"),
               {QStringLiteral("[Desktop Entry]"), QStringLiteral("Type=Application"),
                QStringLiteral("Exec=my-editor --new %F"), QStringLiteral("MimeType=text/plain;")});
    MessageBoxCloser boxes;
    Search(QStringLiteral("研究"), Qt::ShiftModifier);
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(Path("editor.log")), kEditorWaitMs);
    const QString copy =
        QFile::decodeName(config_->path().c_str()) + "/cache/" + kProgramCacheFolder + u'/' +
        QString::fromStdString(CopyFolderName(app_->State().start_dir)) + "/kekka.txt";
    QCOMPARE(QString::fromUtf8(ReadAll(Path("editor.log"))), "--new\n" + copy + u'\n');
    QVERIFY(boxes.texts.isEmpty());
    QVERIFY(!QFile::exists(Path("opener.log")));
  }

  void editorThatCannotStartIsNamed() {
    Start();
    WriteLines(Path("not-executable"), {QStringLiteral("#!/bin/sh")});
    const QString cases[] = {Path("missing/editor"), Path("not-executable"), Dir(),
                             QStringLiteral("tolvane-no-such-editor --new-window")};
    const QString expected[] = {Path("missing/editor"), Path("not-executable"), Dir(),
                                QStringLiteral("tolvane-no-such-editor")};
    for (int i = 0; i < 4; ++i) {
      app_->State().history.SetEditorCommand(ToSjis(cases[i]).sjis);
      MessageBoxCloser boxes;
      Search(QStringLiteral("研究"), Qt::ShiftModifier);
      QTRY_COMPARE(boxes.texts.size(), 1);
      QCOMPARE(boxes.texts[0], QStringLiteral("エディタ「%1」を起動できません。ファイルメニューの"
                                              "「印刷用エディタの変更」で選んでください。")
                                   .arg(expected[i]));
      QCOMPARE(boxes.titles, QStringList{QStringLiteral("Tolvane")});
      QVERIFY(boxes.plain);
    }
  }

  void noMatchKeepsBoxAndCaption() {
    Start();
    Search(QStringLiteral("研究"));
    const QString shown = Results()->toPlainText();
    const QString caption = Caption();
    QVERIFY(caption.startsWith(QStringLiteral("件数：2")));
    Search(QStringLiteral("該当なし"));
    QCOMPARE(ReadAll(Path("kekka.txt")), QByteArray());  // the search did run
    QCOMPARE(Results()->toPlainText(), shown);
    QCOMPARE(Caption(), caption);
    QCOMPARE(FromSjis(app_->State().history.Slot(0)), QStringLiteral("該当なし"));
  }

  // The beep is silent on most desktops: a note floats over the results box's top edge, taking
  // no room from the boxes, until the next key.
  void noMatchShowsANoteUntilTheNextKey() {
    Start();
    Search(QStringLiteral("研究"));
    const QRect query_box = Query()->geometry();
    const QRect results_box = Results()->geometry();
    QLabel* note = app_->MainFrame()->View()->NoMatchNote();
    QVERIFY(note->isHidden());
    Search(QStringLiteral("該当なし"));
    QVERIFY(note->isVisible());
    QCOMPARE(note->text(), QStringLiteral("該当する文献はありません。kekka.txtは空になりました。"));
    QVERIFY(note->geometry().intersects(results_box));
    QVERIFY(note->geometry().top() < results_box.top());
    QCOMPARE(Query()->geometry(), query_box);
    QCOMPARE(Results()->geometry(), results_box);
    QVERIFY(Query()->hasFocus());
    QTest::keyClick(Query(), Qt::Key_A);
    QVERIFY(note->isHidden());
    // Another folder leaves no note of the last one.
    Search(QStringLiteral("該当なし"));
    QVERIFY(note->isVisible());
    app_->MainFrame()->View()->SetStartDir(app_->State().start_dir);
    QVERIFY(note->isHidden());
  }

  // What a screen reader says of the two boxes, and the count it is told after a search.
  void boxesCarryNamesAndTheCountForScreenReaders() {
    Start();
    QCOMPARE(Query()->accessibleName(), QStringLiteral("検索語"));
    QCOMPARE(Results()->accessibleName(), QStringLiteral("検索結果"));
    QVERIFY(!Query()->accessibleDescription().isEmpty());
    Search(QStringLiteral("研究"));
    QVERIFY(Results()->accessibleDescription().startsWith(QStringLiteral("件数：2")));
    Search(QStringLiteral("該当なし"));  // the box still holds the earlier search's records
    QVERIFY(Results()->accessibleDescription().startsWith(QStringLiteral("件数：2")));
  }

  void scrollBarClicksLeaveTheKeysWhereTheyWere() {
    WriteHistory({QStringLiteral("一")});
    Start();
    for (int i = 0; i < 30; ++i)
      Search(i % 2 ? QStringLiteral("研究 山") : QStringLiteral("研究 佐"));
    QScrollBar* bar = Results()->verticalScrollBar();
    QTRY_VERIFY(bar->maximum() > 0);  // something to scroll
    const QPoint middle = bar->rect().center();
    QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, middle);
    QTest::mouseClick(Results()->horizontalScrollBar(), Qt::LeftButton, Qt::NoModifier,
                      Results()->horizontalScrollBar()->rect().center());
    QVERIFY(Query()->hasFocus());
    QVERIFY(!app_->State().results_focus);
    QTest::keyClick(Query(), Qt::Key_Up);
    QCOMPARE(Query()->text(), QStringLiteral("研究　山"));

    // A click on the text still gives the box the focus, and the scroll bar leaves it there.
    QTest::mouseClick(Results()->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    QTRY_VERIFY(app_->State().results_focus);
    QVERIFY(Results()->hasFocus());
    QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, middle);
    QVERIFY(Results()->hasFocus());
    QVERIFY(app_->State().results_focus);
  }

  // The box told once a session (here the history's) comes after the editor has started: answered
  // with Shift let go, it never keeps Shift+Enter from opening the results.
  void aBoxOfTheSessionNeverKeepsShiftEnterFromTheEditor() {
    QVERIFY(QDir(Dir()).mkdir(QStringLiteral("history.txt")));  // the history cannot be saved
    const QString script = WriteEditor(QStringLiteral("editor"));
    Start();
    app_->State().history.SetEditorCommand(QFile::encodeName(script).toStdString());
    BoxesAnsweredByKey boxes;
    Search(QStringLiteral("研究"), Qt::ShiftModifier);
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(Path("editor.log")), kEditorWaitMs);
    QCOMPARE(ReadAll(Path("editor.log")), (QDir(Dir()).canonicalPath() + "\nkekka.txt\n").toUtf8());
    QTRY_COMPARE(boxes.texts.size(), 1);
    QVERIFY(boxes.texts[0].startsWith(QStringLiteral("検索履歴をhistory.txtに保存できません。")));
  }

  // A kekka.txt its owner made read-only is kept, from root too: the results go to the user's
  // cache, the user is told where once, and Shift+Enter opens them there.
  void aProtectedResultsFileSendsTheResultsToTheCacheAndTellsItOnce() {
    WriteBytes(Path("kekka.txt"), "kept\r\n");
    QVERIFY(QFile::setPermissions(Path("kekka.txt"),
                                  QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    WriteHistory({});
    Start();
    BoxesAnsweredByKey boxes;
    Search(QStringLiteral("研究"), Qt::ShiftModifier);
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(Path("editor.log")), kEditorWaitMs);
    const QString elsewhere =
        QFile::decodeName(config_->path().c_str()) + "/cache/" + kProgramCacheFolder + u'/' +
        QString::fromStdString(StartFolderCacheName(app_->State().start_dir)) +
        "/results/kekka.txt";
    QCOMPARE(QString::fromUtf8(ReadAll(Path("editor.log"))),
             QDir(Dir()).canonicalPath() + u'\n' + elsewhere + u'\n');
    QCOMPARE(ReadAll(elsewhere),
             Sjis(QStringLiteral("山田太郎（1998）「近世日本の研究」『日本史研究』\r\n"
                                 "佐藤花子（2001）「中世京都の研究」『史林』\r\n")));
    QVERIFY(Caption().startsWith(QStringLiteral("件数：2 ")));
    QTRY_COMPARE(
        boxes.texts,
        QStringList{QStringLiteral(
                        "検索したフォルダにはkekka.txtを書き込めないので、検索結果は %1 に"
                        "書き出します。\nshift+Enterキーでは、このファイルをエディタで開きます。")
                        .arg(elsewhere)});
    Search(QStringLiteral("近世"));
    QTest::qWait(100);
    QCOMPARE(boxes.texts.size(), 1);  // once a session
    QVERIFY(Caption().startsWith(QStringLiteral("件数：1 ")));
    QCOMPARE(ReadAll(Path("kekka.txt")), QByteArray("kept\r\n"));
  }

  void missingRecordsFileShowsOneMessageAndStillStartsEditor() {
    WriteHistory({});
    Start();
    Search(QStringLiteral("研究"));
    const QByteArray previous = ReadAll(Path("kekka.txt"));
    QVERIFY(QFile::remove(Path("tolvaneken.txt")));
    MessageBoxCloser boxes;
    Search(QStringLiteral("佐藤"), Qt::ShiftModifier);
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(Path("editor.log")), kEditorWaitMs);
    // The message as it always was, then the folder it was looked for in.
    QCOMPARE(boxes.texts, QStringList{QStringLiteral("tolvaneken.txtがありません。\n") +
                                      QDir::toNativeSeparators(QDir(Dir()).canonicalPath())});
    QCOMPARE(boxes.titles, QStringList{QStringLiteral("Tolvane")});
    QVERIFY(boxes.plain);
    QCOMPARE(ReadAll(Path("kekka.txt")), previous);
  }

  void characterOutsideShiftJisIsNamedNotSearched() {
    Start();
    MessageBoxCloser boxes;
    Search(QStringLiteral("雪☃"));
    QTRY_COMPARE(boxes.texts.size(), 1);
    QVERIFY(boxes.texts[0].contains(QStringLiteral("U+2603")));
    QVERIFY(!QFile::exists(Path("kekka.txt")));
    // Kept all the same: a file in UTF-8 could be searched for it.
    QCOMPARE(QString::fromStdString(app_->State().history.QueryText(0)), QStringLiteral("雪☃"));
  }

  void queryBoxRefusesWhatHistoryCannotHold() {
    Start();
    QLineEdit* box = Query();
    QTest::keyClicks(box, QString(149, u' ') + u'a');  // 149 blanks count 298, plus one byte
    QCOMPARE(box->text().size(), 150);
    QTest::keyClicks(box, QStringLiteral(" b"));
    QCOMPARE(box->text().size(), 150);
    box->clear();
    Type(box, QString(149, u'検'));  // 298 bytes
    Type(box, QStringLiteral("x漢"));
    QCOMPARE(box->text(), QString(149, u'検') + u'x');
    // A character Shift-JIS lacks is let in as two bytes, so that Enter can name it; blanks
    // next to it still count twice.
    box->clear();
    const QString emoji = QString::fromUcs4(U"\U0001F600", 1);
    Type(box, QString(147, u'検'));                                            // 294 bytes
    QKeyEvent pair(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, emoji);  // + 2
    QApplication::sendEvent(box, &pair);
    Type(box, QStringLiteral(" a"));  // 296 + 2 + 1
    QCOMPARE(box->text(), QString(147, u'検') + emoji + QStringLiteral(" a"));
    Type(box, QStringLiteral("b"));
    QCOMPARE(box->text(), QString(147, u'検') + emoji + QStringLiteral(" a"));

    // A paste that does not fit is refused whole, also one beyond the box's own 32767 limit.
    box->setText(QStringLiteral("ab"));
    QApplication::clipboard()->setText(QString(298, u'z'));
    box->paste();
    QCOMPARE(box->text(), QStringLiteral("ab"));
    QApplication::clipboard()->setText(QString(40000, u'z'));
    box->paste();
    QCOMPARE(box->text(), QStringLiteral("ab"));
    QApplication::clipboard()->setText(QStringLiteral("c\r\nd"));
    box->paste();
    QVERIFY(box->text().startsWith(QStringLiteral("abc")));
    QVERIFY(box->text().endsWith(u'd'));
  }

  void unhandledAcceleratorsDoNothingButContextMenuEdits() {
    Start();
    QLineEdit* box = Query();
    QApplication::clipboard()->setText(QStringLiteral("clip"));
    box->setText(QStringLiteral("text"));
    box->selectAll();
    const struct {
      int key;
      Qt::KeyboardModifiers modifiers;
    } keys[] = {{Qt::Key_V, Qt::ControlModifier}, {Qt::Key_Insert, Qt::ShiftModifier},
                {Qt::Key_X, Qt::ControlModifier}, {Qt::Key_Delete, Qt::ShiftModifier},
                {Qt::Key_C, Qt::ControlModifier}, {Qt::Key_Insert, Qt::ControlModifier},
                {Qt::Key_Z, Qt::ControlModifier}, {Qt::Key_Backspace, Qt::AltModifier}};
    for (const auto& k : keys) {
      QTest::keyClick(box, static_cast<Qt::Key>(k.key), k.modifiers);
      QCOMPARE(box->text(), QStringLiteral("text"));
      QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("clip"));
    }
    QTest::keyClick(Results(), Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("clip"));

    std::unique_ptr<QMenu> menu(box->createStandardContextMenu());
    QAction* paste = nullptr;
    for (QAction* action : menu->actions()) {
      if (action->text().startsWith(QStringLiteral("&Paste")))
        paste = action;  // no translations loaded
    }
    QVERIFY(paste != nullptr);
    paste->trigger();
    QCOMPARE(box->text(), QStringLiteral("clip"));
  }

  // The Enter, Up and Down an input method takes during a composition never reach the view: Qt
  // hands the view the composition and its confirmation only, as input method events.
  void inputMethodConfirmationDoesNotSearch() {
    Start();
    const QByteArray history_before = ReadAll(Path("history.txt"));
    QInputMethodEvent preedit(QStringLiteral("けんきゅう"), {});
    QApplication::sendEvent(Query(), &preedit);
    QInputMethodEvent candidate(QStringLiteral("研究"), {});  // Down through the candidates
    QApplication::sendEvent(Query(), &candidate);
    QInputMethodEvent commit;
    commit.setCommitString(QStringLiteral("研究"));
    QApplication::sendEvent(Query(), &commit);
    QCOMPARE(Query()->text(), QStringLiteral("研究"));
    QVERIFY(!QFile::exists(Path("kekka.txt")));
    QCOMPARE(app_->State().history_cursor, kNoHistoryEntry);
    QCOMPARE(QByteArray::fromStdString(app_->State().history.Slot(0)), QByteArray("0000"));
    QCOMPARE(ReadAll(Path("history.txt")), history_before);

    // The first Enter after the confirmation is the user's own.
    QTest::keyClick(Query(), Qt::Key_Return);
    QVERIFY(Caption().startsWith(QStringLiteral("件数：2")));
    QCOMPARE(FromSjis(app_->State().history.Slot(0)), QStringLiteral("研究"));
  }

  void aboutBoxCarriesTheHelp() {
    const QString help = FromSjis(BuildAboutText());
    QCOMPARE(
        help,
        QStringLiteral(
            "文字入力欄に検索語句を入れて、Enterキーを押すと検索します。\n"
            "複数の検索語句を空白で区切るとand検索します。\n"
            "上下矢印キーで入力履歴が出ます。\n"
            "印刷は、shift+Enterキーで結果をエディタで開きますので、そのエディタで行ってください。"
            "なお、エディタの変更はファイルメニューの「印刷用エディタの変更」から行えます。\n"));

    Start();
    QString caption, shown;
    AnswerNextDialog<CAboutDlg>(answerers_.get(), [&](CAboutDlg* dialog) {
      caption = dialog->windowTitle();
      shown = dialog->findChild<QLabel*>(QString::fromLatin1(kAboutTextName))->text();
      dialog->accept();
    });
    QAction* help_item = app_->MainFrame()->menuBar()->actions().last();
    QVERIFY(help_item->menu() == nullptr);  // a command on the bar, not a popup
    help_item->trigger();
    QCOMPARE(caption, QStringLiteral("  Tolvane　Version 1.6"));
    QCOMPARE(shown, help);
  }

  void newAndOpenRunInitialUpdateAgain() {
    Start();
    QTRY_COMPARE(Caption(), QString::fromUtf8(kHintCaption));
    Query()->setText(QStringLiteral("未検索"));
    QTest::keyClick(Query(), Qt::Key_N, Qt::ControlModifier);
    QCOMPARE(Caption(), QString::fromUtf8(kFrameCaption));
    QCOMPARE(Query()->text(), QString());  // the text as of the last Enter, Up or Down

    // Open: the chosen file's folder becomes the start directory and its history is read.
    QVERIFY(QDir(Dir()).mkdir(QStringLiteral("other")));
    WriteLines(Path("other/history.txt"), {QStringLiteral("別の履歴")});
    WriteLines(Path("other/文献.txt"), {});
    const QString chosen = Path("other/文献.txt");
    AnswerNextDialog<QFileDialog>(answerers_.get(),
                                  [chosen](QFileDialog* dialog) { ChooseFile(dialog, chosen); });
    QTest::keyClick(Query(), Qt::Key_O, Qt::ControlModifier);
    QCOMPARE(QString::fromStdString(app_->State().start_dir), QDir(Path("other")).canonicalPath());
    QCOMPARE(QDir::currentPath(), QDir(Dir()).canonicalPath());
    QCOMPARE(Caption(), QStringLiteral("文献.txt") + QString::fromUtf8(kFrameCaption).mid(1));
    QCOMPARE(FromSjis(app_->State().history.Slot(0)), QStringLiteral("別の履歴"));

    // Cancel leaves everything as it was. The frame must be active again for its accelerators;
    // the offscreen platform does not hand the activation back when a dialog closes. Both
    // dialogs begin in the folder being searched, not in the working directory.
    const QString other = QDir(Path("other")).canonicalPath();
    for (const Qt::Key key : {Qt::Key_O, Qt::Key_S}) {
      app_->MainFrame()->activateWindow();
      QVERIFY(QTest::qWaitForWindowActive(app_->MainFrame()));
      auto began_in = std::make_shared<QString>();
      AnswerNextDialog<QFileDialog>(answerers_.get(), [began_in](QFileDialog* dialog) {
        *began_in = dialog->directory().canonicalPath();
        dialog->reject();
      });
      QTest::keyClick(Query(), key, Qt::ControlModifier);
      QCOMPARE(*began_in, other);
      QCOMPARE(QString::fromStdString(app_->State().start_dir), other);
    }

    // New stays in the chosen folder; the process never left its own, and searches go there.
    app_->MainFrame()->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(app_->MainFrame()));
    QTest::keyClick(Query(), Qt::Key_N, Qt::ControlModifier);
    QCOMPARE(Caption(), QString::fromUtf8(kFrameCaption));
    QCOMPARE(QString::fromStdString(app_->State().start_dir), QDir(Path("other")).canonicalPath());
    QCOMPARE(QDir::currentPath(), QDir(Dir()).canonicalPath());
    WriteLines(Path("other/tolvaneken.txt"), {QStringLiteral("別の文献")});
    Search(QStringLiteral("別"));
    QCOMPARE(ReadAll(Path("other/kekka.txt")), Sjis(QStringLiteral("別の文献\r\n")));
    QVERIFY(!QFile::exists(Path("kekka.txt")));
  }

  void saveWritesAnEmptyFileAndNamesTheCaption() {
    Start();
    WriteLines(Path("saved.txt"), {QStringLiteral("中身")});
    const QString chosen = Path("saved.txt");
    AnswerNextDialog<QFileDialog>(answerers_.get(), [chosen](QFileDialog* dialog) {
      dialog->setOption(QFileDialog::DontConfirmOverwrite);
      ChooseFile(dialog, chosen);
    });
    QTest::keyClick(Query(), Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(ReadAll(Path("saved.txt")), QByteArray());
    QVERIFY(Caption().startsWith(QStringLiteral("saved.txt - ")));
  }

  void historyIsWrittenAtEveryChangeOnly() {
    Start();
    QVERIFY(!QFile::exists(Path("history.txt")));  // a load alone writes nothing
    Search(QStringLiteral("山田 近世"));
    QList<QByteArray> lines = ReadAll(Path("history.txt")).split('\n');
    QCOMPARE(lines.size(), 22);
    QCOMPARE(lines[0], Sjis(QStringLiteral("山田　近世")) + "\r");
    QCOMPARE(lines[20], QByteArray("notepad\r"));

    // A query already stored and an editor choice that changes nothing leave the file alone.
    QVERIFY(QFile::remove(Path("history.txt")));
    Search(QStringLiteral("山田　近世"));
    AnswerNextDialog<QFileDialog>(answerers_.get(), [](QFileDialog* dialog) { dialog->reject(); });
    app_->MainFrame()->View()->OnChangeEditor();
    QVERIFY(!QFile::exists(Path("history.txt")));

    const QString editor = WriteEditor(QStringLiteral("chosen"));
    MessageBoxCloser boxes;  // what the chosen program is given
    AnswerNextDialog<QFileDialog>(answerers_.get(),
                                  [editor](QFileDialog* dialog) { ChooseFile(dialog, editor); });
    app_->MainFrame()->View()->OnChangeEditor();
    lines = ReadAll(Path("history.txt")).split('\n');
    QCOMPARE(lines.size(), 22);
    QCOMPARE(lines[0], Sjis(QStringLiteral("山田　近世")) + "\r");
    QCOMPARE(lines[20], editor.toUtf8() + "\r");
  }

  void aQueryIsInTheHistoryFileBeforeItsSearchRuns() {
    // A scan long enough to tell its progress, which looks at the file as a lost display would
    // leave it.
    QFile records(Path("tolvaneken.txt"));
    QVERIFY(records.open(QIODevice::WriteOnly | QIODevice::Truncate));
    const QByteArray line = Sjis(QStringLiteral("ありふれた文献の一行です。")) + "\r\n";
    for (qint64 written = 0; written < (qint64{2} << 20); written += line.size())
      records.write(line);
    records.close();
    Start();
    int looks = 0;
    bool stored_while_scanning = true;
    app_->MainFrame()->View()->SetBusyClock([&] {
      ++looks;
      stored_while_scanning =
          stored_while_scanning &&
          ReadAll(Path("history.txt")).startsWith(Sjis(QStringLiteral("一行")) + "\r\n");
      return std::chrono::steady_clock::now();
    });
    Search(QStringLiteral("一行"));
    QVERIFY(looks > 1);
    QVERIFY(stored_while_scanning);
  }

  void aHistoryFileThatCannotBeWrittenIsToldOncePerSession() {
    QVERIFY(QDir(Dir()).mkdir(QStringLiteral("history.txt")));  // in the way of the file
    Start();
    MessageBoxCloser boxes;
    Search(QStringLiteral("研究"));
    QTRY_COMPARE(boxes.texts.size(), 1);
    QCOMPARE(boxes.texts[0],
             QStringLiteral(
                 "検索履歴をhistory.txtに保存できません。この起動中の検索語は次回に残りません。\n"
                 "通常のファイルではありません。"));
    // The search itself went ahead, and later saves fail quietly.
    QVERIFY(Caption().startsWith(QStringLiteral("件数：2 ")));
    Search(QStringLiteral("近世"));
    QTest::qWait(100);
    QCOMPARE(boxes.texts.size(), 1);
    QCOMPARE(Query()->text(), QStringLiteral("近世"));
  }

  void anotherUsersLinkForTheHistoryIsToldAtTheStartAndNotWrittenThrough() {
    if (::geteuid() != 0) QSKIP("planting another user's link needs root");
    ScratchDir home;
    const QString victim = QFile::decodeName((home / ".bashrc").c_str());
    WriteLines(victim, {QStringLiteral("mine")});
    QVERIFY(QFile::link(victim, Path("history.txt")));
    QCOMPARE(::lchown(QFile::encodeName(Path("history.txt")).constData(), testing::kNobody,
                      testing::kNobody),
             0);
    MessageBoxCloser boxes;
    app_ = std::make_unique<CTolvaneApp>();
    QVERIFY(app_->Start());
    QTRY_COMPARE(boxes.texts.size(), 1);
    QVERIFY(boxes.texts[0].contains(
        QStringLiteral("が作ったシンボリックリンクなので、たどりません。")));
    Query()->setFocus();
    Search(QStringLiteral("研究"));
    QVERIFY(Caption().startsWith(QStringLiteral("件数：2 ")));
    app_->MainFrame()->close();
    app_.reset();
    QCOMPARE(boxes.texts.size(), 1);
    QCOMPARE(ReadAll(victim), QByteArray("mine\r\n"));
  }

  void historyIsSavedWhenTheWindowCloses() {
    Start();
    Search(QStringLiteral("山田 近世"));
    app_->MainFrame()->close();
    app_.reset();
    const QList<QByteArray> lines = ReadAll(Path("history.txt")).split('\n');
    QCOMPARE(lines.size(), 22);  // 21 lines, each ended by CR LF
    QCOMPARE(lines[0], Sjis(QStringLiteral("山田　近世")) + "\r");
    QCOMPARE(lines[1], QByteArray("0000\r"));
    QCOMPARE(lines[20], QByteArray("notepad\r"));
  }

  void startDirectoryLongerThan298BytesIsKeptWhole() {
    QString deep = Dir();
    while (deep.toUtf8().size() <= 320) deep += QStringLiteral("/長いフォルダ名");
    QVERIFY(QDir().mkpath(deep));
    QVERIFY(QDir::setCurrent(deep));
    WriteLines(deep + QStringLiteral("/tolvaneken.txt"), {QStringLiteral("深い所の文献")});
    Start();
    QCOMPARE(QString::fromStdString(app_->State().start_dir), QDir(deep).canonicalPath());
    Search(QStringLiteral("文献"));
    QVERIFY(QFile::exists(deep + QStringLiteral("/kekka.txt")));
  }
};

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  WindowTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "window_test.moc"
