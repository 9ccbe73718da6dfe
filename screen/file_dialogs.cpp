#include "screen/file_dialogs.h"

#include <QFileDialog>
#include <QHeaderView>
#include <QScreen>
#include <QTreeView>
#include <algorithm>

#include "state/settings.h"

namespace tolvane {
namespace {

// Qt's own file dialog calls its detail list so.
constexpr char kDetailListName[] = "treeView";

QSize ShareOf(QSize available) {
  return QSize(static_cast<int>(available.width() * kFileDialogScreenShare),
               static_cast<int>(available.height() * kFileDialogScreenShare));
}

}  // namespace

QSize FileDialogSize(QSize remembered, QSize available) {
  const QSize wanted = remembered.width() > 0 && remembered.height() > 0
                           ? remembered
                           : QSize(kFileDialogWidth, kFileDialogHeight);
  // A screen that tells no size (none yet) leaves the wanted size as it is.
  if (available.width() <= 0 || available.height() <= 0) return wanted;
  const QSize room = ShareOf(available);
  // The least size still fits where the screen has room for it, however large the share.
  const QSize bound(std::max(room.width(), std::min(kFileDialogWidth, available.width())),
                    std::max(room.height(), std::min(kFileDialogHeight, available.height())));
  return wanted.boundedTo(bound).expandedTo(QSize(1, 1));
}

void PrepareFileDialog(QFileDialog& dialog, const std::optional<std::string>& settings_file) {
  QSize remembered;
  if (settings_file) {
    const Settings settings = LoadSettings(*settings_file);
    remembered = QSize(settings.dialog_width, settings.dialog_height);
  }
  const QScreen* screen = dialog.parentWidget() ? dialog.parentWidget()->screen() : dialog.screen();
  const QSize available = screen ? screen->availableGeometry().size() : QSize();
  dialog.resize(FileDialogSize(remembered, available));
  dialog.setViewMode(QFileDialog::Detail);
  // Size, kind and date whole; the name takes what is left and is cut first.
  if (auto* list = dialog.findChild<QTreeView*>(QString::fromLatin1(kDetailListName))) {
    QHeaderView* header = list->header();
    header->setStretchLastSection(false);
    header->setSectionResizeMode(0, QHeaderView::Stretch);
    for (int column = 1; column < header->count(); ++column) {
      header->setSectionResizeMode(column, QHeaderView::ResizeToContents);
    }
  }
}

void RememberFileDialogSize(const QFileDialog& dialog,
                            const std::optional<std::string>& settings_file) {
  if (!settings_file) return;
  Settings settings = LoadSettings(*settings_file);
  const QSize size = dialog.size();
  if (size.width() == settings.dialog_width && size.height() == settings.dialog_height) return;
  if (size.width() <= 0 || size.height() <= 0 || size.width() > kDialogSideMax ||
      size.height() > kDialogSideMax)
    return;
  settings.dialog_width = size.width();
  settings.dialog_height = size.height();
  // A convenience: a size that cannot be remembered changes nothing else.
  (void)SaveSettings(*settings_file, settings);
}

}  // namespace tolvane
