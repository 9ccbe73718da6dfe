// The window program's start: a file or a folder named on the command line, the remembered
// folder, and the command lines it cannot start with. The message box of a bad line is checked in
// this process, where it can be answered; the real program is run for what only it shows: its
// standard output and error and its exit status. Every case runs in a scratch working directory
// with a scratch configuration folder, so that no remembered folder reaches ~/.config.
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QProcess>
#include <QTest>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/display_check.h"
#include "app/main_frame.h"
#include "app/start_options.h"
#include "app/tolvane_app.h"
#include "dialog_driver.h"
#include "screen/screen_text.h"
#include "screen/tolvane_view.h"
#include "test_util.h"
#include "texts/texts.h"

using namespace tolvane;
using tolvane::testing::MessageBoxCloser;
using tolvane::testing::ScratchDir;

namespace {

// How long a start of the real program may take: generous, since a machine busy with a build
// may take seconds to start a Qt program, and the wait ends as soon as the program answers.
constexpr int kProgramWaitMs = 60000;
// The exit status of a child that could not become an ordinary user; the program never gives it.
constexpr int kCannotDropRoot = 99;
constexpr char kUntitledCaption[] =
    "  - 空白で区切るとand検索、上下カーソルキー：入力履歴、shift+Enter：エディタで結果を開く";

void WriteRecords(const QString& folder, const QString& record) {
  QFile file(folder + QStringLiteral("/tolvaneken.txt"));
  QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
  file.write(QByteArray::fromStdString(ToSjis(record).sjis) + "\r\n");
}

QByteArray ReadAll(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

StartOptions Parse(const QStringList& args) {
  std::vector<std::string> bytes;
  for (const QString& arg : args) bytes.push_back(QFile::encodeName(arg).toStdString());
  return ParseStartOptions(bytes);
}

QString Canonical(const QString& path) { return QDir(path).canonicalPath(); }

struct ProgramOutcome {
  int status = -1;  // -1 when the program did not end by itself or through its exit
  QByteArray out, err;
};

// The program's own complete lines on standard error; Qt may add warnings of its own around them.
QByteArrayList MessageLines(const QByteArray& err) {
  QByteArrayList lines = err.split('\n');
  lines.removeLast();  // what follows the last line feed is no complete line
  QByteArrayList own;
  for (const QByteArray& line : lines) {
    if (line.startsWith("tolvane: ")) own << line;
  }
  return own;
}

// Fake answers for the display choice: which plugins exist and which displays answer.
struct FakeDisplays {
  QStringList plugins{QStringLiteral("xcb"), QStringLiteral("wayland"), QStringLiteral("offscreen"),
                      QStringLiteral("vnc")};
  bool x_answers = true;
  bool wayland_answers = true;

  DisplayProbes Probes() const {
    return {[this](const std::string& platform) {
              return plugins.contains(QString::fromStdString(platform));
            },
            [this](const std::string&) { return x_answers; },
            [this](const std::string&) { return wayland_answers; }};
  }
};

QString Chosen(const DisplaySetting& setting, const FakeDisplays& displays) {
  return QString::fromStdString(ChooseDisplay(setting, displays.Probes()).platform);
}

DisplaySetting WaylandSession(const char* desktop) {
  DisplaySetting setting;
  setting.x_display = ":1";
  setting.wayland_display = "wayland-0";
  setting.session_type = "wayland";
  setting.current_desktop = desktop;
  return setting;
}

}  // namespace

class StartTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<ScratchDir> dir_;
  std::unique_ptr<ScratchDir> config_;
  // Where a copy of the program for another user is kept, when one is needed.
  std::unique_ptr<ScratchDir> shared_bin_;
  QString old_dir_;
  std::unique_ptr<CTolvaneApp> app_;

  QString Dir() const { return QFile::decodeName(dir_->path().c_str()); }
  QString Path(const QString& name) const { return Dir() + u'/' + name; }
  QString LastFolderFile() const {
    return QFile::decodeName(config_->path().c_str()) + QStringLiteral("/tolvane/last-folder");
  }
  QString StartDir() const {
    return QFile::decodeName(QByteArray::fromStdString(app_->State().start_dir));
  }
  QString Caption() const { return app_->MainFrame()->windowTitle(); }
  static QString PlatformsFolder() {
    return QLibraryInfo::path(QLibraryInfo::PluginsPath) + QStringLiteral("/platforms");
  }

  bool Start(const QStringList& args = {}) {
    app_ = std::make_unique<CTolvaneApp>();
    return app_->Start(Parse(args));
  }

  void Search(const QString& query) {
    QLineEdit* box = app_->MainFrame()->View()->QueryBox();
    box->setText(query);
    QTest::keyClick(box, Qt::Key_Return);
  }

  QProcessEnvironment ProgramEnvironment() const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), QFile::decodeName(config_->path().c_str()));
    return env;
  }

  // A copy of `program` that every user may run: the build tree may lie in a folder that only
  // its owner may enter (a home of mode 0700, mktemp -d), where nobody could not start it. The
  // program needs no file of the build tree beside it. Empty when no copy could be made.
  QString CopyForOtherUsers(const QString& program) {
    shared_bin_ = std::make_unique<ScratchDir>(tolvane::testing::kEveryonesTempDir);
    const QString folder = QFile::decodeName(shared_bin_->path().c_str());
    const QString copy = folder + QStringLiteral("/tolvane");
    const QFileDevice::Permissions everyone_runs =
        QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup |
        QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther;
    if (shared_bin_->path().empty() || !QFile::copy(program, copy) ||
        !QFile::setPermissions(copy, everyone_runs) ||
        !QFile::setPermissions(folder, everyone_runs)) {
      return {};
    }
    return copy;
  }

  // Runs the real program in the scratch folder until it ends. With `end_after_message`, the
  // program is ended by SIGTERM once it has printed its message line: the box it then shows cannot
  // be answered from here, and a quit signal is what a logout would send it.
  ProgramOutcome RunProgram(const QStringList& args, const QProcessEnvironment& env,
                            bool end_after_message, bool as_ordinary_user = false) {
    QProcess program;
    program.setProcessEnvironment(env);
    program.setWorkingDirectory(Dir());
    QString path = QStringLiteral(TOLVANE_BIN);
    if (as_ordinary_user && ::geteuid() == 0) {
      path = CopyForOtherUsers(path);
      if (path.isEmpty()) return {};
      program.setChildProcessModifier([] {
        if (!tolvane::testing::BecomeNobody()) ::_exit(kCannotDropRoot);
      });
    }
    program.setReadChannel(QProcess::StandardError);
    program.start(path, args);
    ProgramOutcome outcome;
    if (!program.waitForStarted(kProgramWaitMs)) return outcome;
    if (end_after_message) {
      // Until the message line is complete or the program has ended: a read may bring only part
      // of it, or Qt's own warnings first.
      const QDeadlineTimer deadline(kProgramWaitMs);
      while (MessageLines(outcome.err).isEmpty() && program.state() == QProcess::Running &&
             !deadline.hasExpired()) {
        program.waitForReadyRead(static_cast<int>(std::max<qint64>(1, deadline.remainingTime())));
        outcome.err += program.readAllStandardError();
      }
      program.terminate();
    }
    if (!program.waitForFinished(kProgramWaitMs)) {
      program.kill();
      program.waitForFinished(kProgramWaitMs);
      return outcome;
    }
    outcome.err += program.readAllStandardError();
    outcome.out = program.readAllStandardOutput();
    if (program.exitStatus() == QProcess::NormalExit) outcome.status = program.exitCode();
    return outcome;
  }

  // The environment of a start from a terminal with nowhere to show the window.
  QProcessEnvironment WithoutDisplay() const {
    QProcessEnvironment env = ProgramEnvironment();
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY", "XDG_SESSION_TYPE",
                             "QT_PLUGIN_PATH", "QT_QPA_PLATFORM_PLUGIN_PATH", "WAYLAND_SOCKET"}) {
      env.remove(QString::fromLatin1(name));
    }
    return env;
  }

  // Runs the program, which is to end at once, and expects exactly `line` on standard error.
  void ExpectOneLine(const QStringList& args, const QProcessEnvironment& env, const QString& line) {
    const ProgramOutcome outcome = RunProgram(args, env, false);
    QCOMPARE(QString::fromUtf8(outcome.err), QStringLiteral("tolvane: %1\n").arg(line));
    QCOMPARE(outcome.status, 2);
    QCOMPARE(outcome.out, QByteArray());
  }

  // Each bad line in this process: its one box, and no window.
  void ExpectRefused(const QStringList& args, const QString& message) {
    CTolvaneApp app;
    MessageBoxCloser boxes;
    QVERIFY2(!app.Start(Parse(args)), qPrintable(args.join(u' ')));
    QCOMPARE(boxes.texts, QStringList{message});
    QCOMPARE(boxes.titles, QStringList{QStringLiteral("Tolvane")});
    QVERIFY(boxes.plain);
    QVERIFY(app.MainFrame() == nullptr);
    QVERIFY(!QFile::exists(LastFolderFile()));
  }

 private Q_SLOTS:
  void init() {
    dir_ = std::make_unique<ScratchDir>();
    config_ = std::make_unique<ScratchDir>();
    QVERIFY(!dir_->path().empty() && !config_->path().empty());
    QVERIFY(qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(config_->path())));
    old_dir_ = QDir::currentPath();
    QVERIFY(QDir::setCurrent(Dir()));
  }

  void cleanup() {
    app_.reset();
    QDir::setCurrent(old_dir_);
    dir_.reset();
    config_.reset();
    shared_bin_.reset();
  }

  void fileArgumentOpensTheDocumentInItsFolder() {
    QVERIFY(QDir(Dir()).mkdir(QStringLiteral("biblio")));
    WriteRecords(Path("biblio"), QStringLiteral("別の文献"));
    WriteRecords(Dir(), QStringLiteral("ここの文献"));
    QVERIFY(QFile(Path("biblio/文献.txt")).open(QIODevice::WriteOnly));
    QVERIFY(QFile::link(Path("biblio"), Path("link")));

    QVERIFY(Start({QStringLiteral("link/文献.txt")}));
    QCOMPARE(Caption(), QStringLiteral("文献.txt") + QString::fromUtf8(kUntitledCaption).mid(1));
    QCOMPARE(StartDir(), Canonical(Path("biblio")));
    QCOMPARE(QDir::currentPath(), Canonical(Dir()));
    Search(QStringLiteral("文献"));
    QCOMPARE(ReadAll(Path("biblio/kekka.txt")),
             QByteArray::fromStdString(ToSjis(QStringLiteral("別の文献\r\n")).sjis));
    QVERIFY(!QFile::exists(Path("kekka.txt")));
    QCOMPARE(ReadAll(LastFolderFile()), (Canonical(Path("biblio")) + u'\n').toUtf8());
  }

  // A folder copied from Windows may carry its name in Shift-JIS, which QString cannot hold.
  void pathsThatAreNotUtf8KeepTheirBytes() {
    const std::string folder =
        QFile::encodeName(Canonical(Dir())).toStdString() + "/\x8c\x9f\x8d\xf5";
    QVERIFY(std::filesystem::create_directory(folder));
    const std::string record = ToSjis(QStringLiteral("検索の文献")).sjis + "\r\n";
    tolvane::testing::WriteFile(folder + "/tolvaneken.txt", record);
    for (const std::string& arg : {folder, folder + "/tolvaneken.txt"}) {
      app_ = std::make_unique<CTolvaneApp>();
      QVERIFY(app_->Start(ParseStartOptions(std::vector<std::string>{arg})));
      QCOMPARE(app_->State().start_dir, folder);
      Search(QStringLiteral("文献"));
      QCOMPARE(tolvane::testing::ReadFile(folder + "/kekka.txt"), record);
      QCOMPARE(ReadAll(LastFolderFile()), QByteArray::fromStdString(folder + "\n"));
      QVERIFY(std::filesystem::remove(folder + "/kekka.txt"));
    }
  }

  // Opened on any text file, or from the menu in a home without records: no history.txt appears
  // where nothing can be searched. A folder that has one keeps it up to date.
  void aFolderWithoutRecordsGetsNoHistoryItNeverHad() {
    QVERIFY(QFile(Path("notes.txt")).open(QIODevice::WriteOnly));
    {
      MessageBoxCloser boxes;
      QVERIFY(Start({QStringLiteral("notes.txt")}));
      Search(QStringLiteral("文献"));
      QTRY_COMPARE(boxes.texts.size(), 1);
      app_.reset();
    }
    QVERIFY(!QFile::exists(Path("history.txt")));

    QVERIFY(QFile(Path("history.txt")).open(QIODevice::WriteOnly));
    {
      MessageBoxCloser boxes;
      QVERIFY(Start({QStringLiteral("notes.txt")}));
      Search(QStringLiteral("文献"));
      QTRY_COMPARE(boxes.texts.size(), 1);
      app_.reset();
    }
    QVERIFY(
        ReadAll(Path("history.txt"))
            .startsWith(QByteArray::fromStdString(ToSjis(QStringLiteral("文献")).sjis) + "\r\n"));
  }

  void folderArgumentIsTheStartFolderAndItsMissingRecordsAreNamed() {
    // The working directory holds records; the argument wins all the same.
    WriteRecords(Dir(), QStringLiteral("ここの文献"));
    QVERIFY(QDir(Dir()).mkpath(QStringLiteral("資料")));
    QVERIFY(QFile::link(Path("資料"), Path("資料へ")));
    QVERIFY(Start({QStringLiteral("資料へ")}));
    QCOMPARE(Caption(), QString::fromUtf8(kUntitledCaption));
    QCOMPARE(StartDir(), Canonical(Path("資料")));
    QVERIFY(!QFile::exists(LastFolderFile()));  // a folder without records is not remembered

    MessageBoxCloser boxes;
    Search(QStringLiteral("文献"));
    QTRY_COMPARE(boxes.texts.size(), 1);
    const QStringList lines = boxes.texts[0].split(u'\n');
    QCOMPARE(lines.size(), 2);
    QCOMPARE(QByteArray::fromStdString(ToSjis(lines[0]).sjis),
             QByteArray(kNoRecordsFileMessage.data(), kNoRecordsFileMessage.size()));
    QCOMPARE(lines[1], QDir::toNativeSeparators(Canonical(Path("資料"))));
    QVERIFY(!QFile::exists(Path("kekka.txt")));

    // Records that arrive later are remembered at the next New.
    WriteRecords(Path("資料"), QStringLiteral("新しい文献"));
    Q_EMIT app_->MainFrame()->FileNew();
    QCOMPARE(ReadAll(LastFolderFile()), (Canonical(Path("資料")) + u'\n').toUtf8());
  }

  void rememberedFolderServesAStartFromAFolderWithoutRecords() {
    QVERIFY(QDir(Dir()).mkpath(QStringLiteral("biblio")));
    WriteRecords(Path("biblio"), QStringLiteral("覚えた文献"));
    const QString biblio = Canonical(Path("biblio"));
    QVERIFY(QDir::setCurrent(biblio));
    QVERIFY(Start());
    QCOMPARE(ReadAll(LastFolderFile()), (biblio + u'\n').toUtf8());

    // From the desktop menu: the working directory (home) holds no records.
    QVERIFY(QDir::setCurrent(Dir()));
    QVERIFY(Start());
    QCOMPARE(StartDir(), biblio);
    Search(QStringLiteral("文献"));
    QVERIFY(QFile::exists(biblio + QStringLiteral("/kekka.txt")));
    QVERIFY(!QFile::exists(Path("kekka.txt")));

    // A remembered folder that lost its records leaves the working directory, and stays remembered.
    QVERIFY(QFile::remove(biblio + QStringLiteral("/tolvaneken.txt")));
    QVERIFY(Start());
    QCOMPARE(StartDir(), Canonical(Dir()));
    QCOMPARE(ReadAll(LastFolderFile()), (biblio + u'\n').toUtf8());

    // A configuration folder that cannot be made disturbs nothing.
    WriteRecords(Dir(), QStringLiteral("ここの文献"));
    QVERIFY(QFile(Path("plain")).open(QIODevice::WriteOnly));
    QVERIFY(qputenv("XDG_CONFIG_HOME", Path("plain").toUtf8()));
    MessageBoxCloser boxes;
    QVERIFY(Start());
    QCOMPARE(StartDir(), Canonical(Dir()));
    Search(QStringLiteral("ここ"));
    QVERIFY(Caption().startsWith(QStringLiteral("件数：1")));
    QVERIFY(boxes.texts.isEmpty());
  }

  void badCommandLinesShowOneBoxAndNoWindow() {
    QVERIFY(QFile(Path("plain.txt")).open(QIODevice::WriteOnly));
    QVERIFY(::mkfifo(QFile::encodeName(Path("fifo")).constData(), 0600) == 0);
    ExpectRefused({QStringLiteral("nothing/here")},
                  QStringLiteral("nothing/here が見つかりません。"));
    ExpectRefused({QStringLiteral("plain.txt/below")},
                  QStringLiteral("plain.txt/below が見つかりません。"));
    ExpectRefused({QStringLiteral("fifo")}, QStringLiteral("fifo を開けません。"));
    ExpectRefused({QStringLiteral("plain.txt"), Dir()},
                  QStringLiteral("指定できるファイルまたはフォルダは一つだけです。"));
    ExpectRefused({QStringLiteral("--bogus")}, QStringLiteral("--bogus は不明なオプションです。"));
    ExpectRefused({QStringLiteral("--help"), QStringLiteral("-x")},
                  QStringLiteral("-x は不明なオプションです。"));
    // After "--" a name that begins with '-' is a path.
    ExpectRefused({QStringLiteral("--"), QStringLiteral("-x")},
                  QStringLiteral("-x が見つかりません。"));
  }

  void helpAndVersionNeedNoDisplay() {
    QProcessEnvironment env = ProgramEnvironment();
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) {
      env.remove(QString::fromLatin1(name));
    }
    const ProgramOutcome help = RunProgram({QStringLiteral("--help")}, env, false);
    QCOMPARE(help.status, 0);
    QVERIFY2(help.out.startsWith("Usage: tolvane [--help] [--version] [FILE | DIR]\n"),
             help.out.constData());
    QVERIFY(MessageLines(help.err).isEmpty());
    const ProgramOutcome version = RunProgram({QStringLiteral("--version")}, env, false);
    QCOMPARE(version.status, 0);
    QCOMPARE(version.out, QByteArray("tolvane " TOLVANE_VERSION "\n"));

    // Qt takes its own arguments first, whatever stands around them.
    const ProgramOutcome late = RunProgram(
        {QStringLiteral("-platform"), QStringLiteral("offscreen"), QStringLiteral("--version")},
        env, false);
    QCOMPARE(late.status, 0);
    QCOMPARE(late.out, version.out);
  }

  void badCommandLineWithoutDisplayIsToldWithoutQtsAbort() {
    QProcessEnvironment env = ProgramEnvironment();
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) {
      env.remove(QString::fromLatin1(name));
    }
    const QByteArrayList expected{
        QStringLiteral("tolvane: %1 が見つかりません。").arg(Path("missing")).toUtf8()};
    const ProgramOutcome missing = RunProgram({Path("missing")}, env, false);
    QCOMPARE(missing.status, 2);
    QCOMPARE(MessageLines(missing.err), expected);
    QCOMPARE(missing.out, QByteArray());

    // A display that is set but answers nobody, as one left behind by an ended ssh session.
    env.insert(QStringLiteral("DISPLAY"), QStringLiteral(":4093"));
    const ProgramOutcome gone = RunProgram({Path("missing")}, env, false);
    QCOMPARE(gone.status, 2);
    QCOMPARE(MessageLines(gone.err), expected);
  }

  // Qt, left to itself, ends the process with an abort when its platform will not start.
  void nowhereToShowTheWindowIsOneLineAndStatusTwo() {
    const QStringList dir_argument{Dir()};
    QProcessEnvironment env = WithoutDisplay();
    ExpectOneLine(dir_argument, env, FromSjis(kNoDisplayMessage));
    env.insert(QStringLiteral("DISPLAY"), QStringLiteral(":4093"));
    ExpectOneLine(dir_argument, env, FromSjis(kXDisplayGoneMessage).arg(QStringLiteral(":4093")));
    env = WithoutDisplay();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("no-such-platform"));
    ExpectOneLine(dir_argument, env,
                  FromSjis(kPlatformPluginMissingMessage).arg(QStringLiteral("no-such-platform")));
    // Asked for by name, X11 without a display says so rather than that nothing is set.
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("WAYLAND_DISPLAY"), QStringLiteral("wayland-none"));
    ExpectOneLine(dir_argument, env, FromSjis(kNoXDisplayMessage));
  }

  void waylandDisplayThatDoesNotAnswerIsNamed() {
    if (!QFile::exists(PlatformsFolder() + QStringLiteral("/libqwayland-generic.so"))) {
      QSKIP("qt6-wayland is not installed");
    }
    QProcessEnvironment env = WithoutDisplay();
    env.insert(QStringLiteral("WAYLAND_DISPLAY"), QStringLiteral("wayland-none"));
    ExpectOneLine({Dir()}, env,
                  FromSjis(kWaylandDisplayGoneMessage).arg(QStringLiteral("wayland-none")));
    // A session that only says it is Wayland means libwayland's default display.
    env = WithoutDisplay();
    env.insert(QStringLiteral("XDG_SESSION_TYPE"), QStringLiteral("wayland"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), Dir());
    ExpectOneLine({Dir()}, env,
                  FromSjis(kWaylandDisplayGoneMessage).arg(QStringLiteral("wayland-0")));
  }

  // Without qt6-wayland: Qt's platform folder is replaced, for the program alone, by one that holds
  // every plugin but Wayland's, in a mount namespace of its own.
  void waylandWithoutItsPluginTellsHowToGetIt() {
    const QString platforms = PlatformsFolder();
    const QString hidden = Path("platforms");
    QVERIFY(QDir().mkdir(hidden));
    for (const QString& file : QDir(platforms).entryList(QDir::Files)) {
      if (!file.startsWith(QStringLiteral("libqwayland"))) {
        QVERIFY(QFile::link(platforms + u'/' + file, hidden + u'/' + file));
      }
    }
    // An ordinary user may still have a user namespace in which to mount.
    const QStringList namespace_args =
        ::geteuid() == 0 ? QStringList{QStringLiteral("--mount")}
                         : QStringList{QStringLiteral("--user"), QStringLiteral("--map-root-user"),
                                       QStringLiteral("--mount")};
    const QString unshare = QStringLiteral("unshare");
    if (QProcess::execute(unshare, namespace_args + QStringList{QStringLiteral("true")}) != 0) {
      QSKIP("no mount namespace for this user");
    }
    QProcessEnvironment env = WithoutDisplay();
    env.insert(QStringLiteral("WAYLAND_DISPLAY"), QStringLiteral("wayland-none"));
    QProcess program;
    program.setProcessEnvironment(env);
    program.setWorkingDirectory(Dir());
    // The listing shows the mount took: no Wayland plugin where Qt looks.
    const QString script =
        QStringLiteral("mount --bind \"$1\" \"$2\" && ls \"$2\" && exec \"$3\" \"$4\"");
    program.start(unshare, namespace_args +
                               QStringList{QStringLiteral("--propagation"),
                                           QStringLiteral("private"), QStringLiteral("sh"),
                                           QStringLiteral("-c"), script, QStringLiteral("sh"),
                                           hidden, platforms, QStringLiteral(TOLVANE_BIN), Dir()});
    QVERIFY(program.waitForFinished(kProgramWaitMs));
    const QByteArray listing = program.readAllStandardOutput();
    QVERIFY2(listing.contains("libqxcb.so") && !listing.contains("wayland"), listing.constData());
    QCOMPARE(QString::fromUtf8(program.readAllStandardError()),
             QStringLiteral("tolvane: %1\n").arg(FromSjis(kWaylandPluginMissingMessage)));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 2);
  }

  // Qt's order, but a GNOME session stays on XWayland while the user has not chosen.
  void displayChoiceFollowsQtsOrderButKeepsGnomeOnXWayland() {
    FakeDisplays displays;
    QCOMPARE(Chosen(WaylandSession("ubuntu:GNOME"), displays), QStringLiteral("xcb"));
    QCOMPARE(Chosen(WaylandSession("KDE"), displays), QStringLiteral("wayland"));
    DisplaySetting chosen = WaylandSession("GNOME");
    chosen.qpa_platform = "wayland;xcb";
    QCOMPARE(Chosen(chosen, displays), QStringLiteral("wayland"));
    chosen.qpa_platform = "vnc:size=800x600";
    QCOMPARE(Chosen(chosen, displays), QStringLiteral("vnc:size=800x600"));
    // The argument wins and tells Qt itself.
    chosen.platform_argument = "offscreen";
    const DisplayChoice by_argument = ChooseDisplay(chosen, displays.Probes());
    QVERIFY(by_argument.platform.empty());
    QVERIFY(!by_argument.problem);

    // GNOME without XWayland goes native; any session without the plugin goes through XWayland.
    displays.x_answers = false;
    QCOMPARE(Chosen(WaylandSession("GNOME"), displays), QStringLiteral("wayland"));
    displays.x_answers = true;
    displays.plugins.removeAll(QStringLiteral("wayland"));
    QCOMPARE(Chosen(WaylandSession("KDE"), displays), QStringLiteral("xcb"));
    // Neither: the Wayland session's own problem is told, whatever the desktop.
    displays.x_answers = false;
    const DisplayChoice none = ChooseDisplay(WaylandSession("GNOME"), displays.Probes());
    QVERIFY(none.platform.empty());
    QCOMPARE(none.problem, FromSjis(kWaylandPluginMissingMessage));
  }

  void badCommandLinesEndTheProgramWithStatusTwo() {
    // The unreadable file is tried as an ordinary user: root reads it whatever its mode says.
    QVERIFY(QFile::setPermissions(Dir(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                             QFile::ReadOther | QFile::ExeOther));
    QVERIFY(QFile(Path("unreadable.txt")).open(QIODevice::WriteOnly));
    QVERIFY(QFile::setPermissions(Path("unreadable.txt"), {}));
    const struct {
      QStringList args;
      QString message;
      bool as_ordinary_user;
    } cases[] = {
        {{Path("missing")}, Path("missing") + QStringLiteral(" が見つかりません。"), false},
        {{QStringLiteral("--bogus"), QStringLiteral("unreadable.txt")},
         QStringLiteral("--bogus は不明なオプションです。"),
         false},
        {{QStringLiteral("unreadable.txt")},
         QStringLiteral("unreadable.txt を開く権限がありません。"),
         true},
        // After "--" a word that Qt would take for its own option is a path.
        {{QStringLiteral("--"), QStringLiteral("-reverse")},
         QStringLiteral("-reverse が見つかりません。"),
         false},
    };
    for (const auto& c : cases) {
      const ProgramOutcome outcome =
          RunProgram(c.args, ProgramEnvironment(), true, c.as_ordinary_user);
      QCOMPARE(MessageLines(outcome.err),
               QByteArrayList{QStringLiteral("tolvane: %1").arg(c.message).toUtf8()});
      QCOMPARE(outcome.status, 2);
      QCOMPARE(outcome.out, QByteArray());
    }
    QVERIFY(!QFile::exists(LastFolderFile()));
  }
};

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  StartTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "start_test.moc"
