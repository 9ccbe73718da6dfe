#include "app/tolvane_app.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFont>
#include <QSessionManager>
#include <string>

#include "app/about_dlg.h"
#include "app/app_icon.h"
#include "app/start_problem.h"
#include "screen/file_dialogs.h"
#include "screen/message_box.h"
#include "screen/screen_text.h"
#include "screen/tolvane_view.h"
#include "session/run.h"
#include "state/given_path.h"
#include "state/last_folder.h"
#include "state/settings.h"
#include "state/start_dir.h"
#include "texts/texts.h"

namespace tolvane {
namespace {

constexpr int kFontPointSize = 9;
// A proportional Japanese gothic face; fontconfig supplies another with Japanese glyphs when none
// of these is installed.
constexpr const char* kJapaneseFaces[] = {
    "Noto Sans CJK JP", "Noto Sans JP", "IPAPGothic", "VL PGothic", "TakaoPGothic",
};

// The start folder of a start without a document: the folder argument, else what the working
// directory and the remembered folder make. Empty when there is neither argument nor working
// directory to read, nor a remembered folder with records.
std::string StartFolderWithoutDocument(std::optional<std::string> folder_argument,
                                       const std::optional<std::string>& last_folder_file) {
  StartFolderCandidates candidates;
  candidates.argument = std::move(folder_argument);
  candidates.working = CurrentDirectory();
  if (last_folder_file) candidates.remembered = LoadLastFolder(*last_folder_file);
  return ChooseStartFolder(candidates, HoldsRecordsFile).value_or(std::string());
}

}  // namespace

CTolvaneApp::CTolvaneApp() = default;

CTolvaneApp::~CTolvaneApp() = default;

bool CTolvaneApp::Start(const StartOptions& options) {
  QCoreApplication::setApplicationName(QString::fromLatin1(kApplicationTitle));
  SetDesktopIdentity();
  SetJapaneseFont();
  const std::optional<GivenPathKind> path_kind = KindOfGivenPath(options);
  if (const std::optional<QString> problem = StartProblem(options, path_kind)) {
    ReportStartProblem(*problem);
    return false;
  }
  last_folder_file_ = LastFolderFileOfEnvironment();
  state_.settings_file = SettingsFileOfEnvironment();
  if (state_.settings_file) state_.loose_search = LoadSettings(*state_.settings_file).loose_search;

  frame_ = std::make_unique<CMainFrame>(state_);
  connect(frame_.get(), &CMainFrame::AppAbout, this, &CTolvaneApp::OnAppAbout);
  connect(frame_.get(), &CMainFrame::FileNew, this, &CTolvaneApp::OnFileNew);
  connect(frame_.get(), &CMainFrame::FileOpen, this, &CTolvaneApp::OnFileOpen);
  connect(frame_.get(), &CMainFrame::FileSave, this, &CTolvaneApp::OnFileSave);

  frame_->SetDocumentName(FromSjis(kDocumentName));
  if (path_kind == GivenPathKind::kFile) {
    OpenDocument(*options.path);
  } else {
    std::optional<std::string> folder_argument;
    if (path_kind == GivenPathKind::kFolder) {
      folder_argument = ResolvedFolder(*options.path);
    }
    SetStartFolder(StartFolderWithoutDocument(folder_argument, last_folder_file_));
  }
  // The desktop session may end the process without closing the window.
  CTolvaneView* view = frame_->View();
  connect(qApp, &QGuiApplication::commitDataRequest, view,
          [view](QSessionManager&) { view->SaveHistory(); });
  frame_->show();
  return true;
}

void CTolvaneApp::SetJapaneseFont() {
  QStringList faces;
  for (const char* face : kJapaneseFaces) faces << QString::fromLatin1(face);
  QFont font(faces.first(), kFontPointSize);
  font.setFamilies(faces);
  font.setStyleHint(QFont::SansSerif);
  QApplication::setFont(font);
}

void CTolvaneApp::OnAppAbout() {
  CAboutDlg dialog(BuildAboutText(), frame_.get());
  dialog.exec();
}

void CTolvaneApp::OnFileNew() {
  frame_->SetDocumentName(FromSjis(kDocumentName));
  // A new document stays in the folder that start-up or the last open chose.
  SetStartFolder(state_.start_dir);
}

void CTolvaneApp::OnFileOpen() {
  QFileDialog dialog(frame_.get(), FromSjis(kOpenDialogTitle), StartFolderForDialogs());
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  PrepareFileDialog(dialog, state_.settings_file);
  const int outcome = dialog.exec();
  RememberFileDialogSize(dialog, state_.settings_file);
  if (outcome != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
  const QString path = dialog.selectedFiles().constFirst();

  // The document is opened and closed again without being read; a file that will not open
  // leaves everything as it was.
  const GivenPathKind kind = InspectGivenPath(QFile::encodeName(path).toStdString());
  if (kind != GivenPathKind::kFile) {
    ShowMessage(PathProblem(kind, path));
    return;
  }
  OpenDocument(QFile::encodeName(path).toStdString());
}

void CTolvaneApp::OpenDocument(const std::string& path) {
  // The folder comes from the bytes themselves: a name that is not UTF-8 (a Shift-JIS folder
  // copied from Windows, say) does not survive a round trip through QString.
  frame_->SetDocumentName(QFileInfo(FromLocal(path)).fileName());
  SetStartFolder(FolderOfFile(path));
}

void CTolvaneApp::SetStartFolder(const std::string& folder) {
  frame_->View()->SetStartDir(folder);
  // A convenience: a folder that cannot be remembered changes nothing else.
  if (last_folder_file_ && HoldsRecordsFile(folder)) {
    (void)SaveLastFolder(*last_folder_file_, folder);
  }
}

void CTolvaneApp::OnFileSave() {
  // Always asks for the name: saving the empty document straight over the file last opened
  // would wipe that file.
  QFileDialog dialog(frame_.get(), FromSjis(kSaveDialogTitle), StartFolderForDialogs());
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  PrepareFileDialog(dialog, state_.settings_file);
  const int save_outcome = dialog.exec();
  RememberFileDialogSize(dialog, state_.settings_file);
  if (save_outcome != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
  const QString path = dialog.selectedFiles().constFirst();

  // The document has no content: saving it leaves an empty file of that name.
  QFile file(path);
  bool saved = file.open(QIODevice::WriteOnly | QIODevice::Truncate);
  file.close();
  saved = saved && file.error() == QFileDevice::NoError;
  if (!saved) {
    ShowMessage(FromSjis(kCannotSaveMessage).arg(QDir::toNativeSeparators(path)));
    return;
  }
  frame_->SetDocumentName(QFileInfo(path).fileName());
}

QString CTolvaneApp::StartFolderForDialogs() const {
  // The process no longer moves into the start folder, so the dialogs are told where it is; an
  // empty one leaves them in the working directory.
  return QFile::decodeName(QByteArray::fromStdString(state_.start_dir));
}

void CTolvaneApp::ShowMessage(const QString& text) { ShowMessageBox(frame_.get(), text); }

}  // namespace tolvane
