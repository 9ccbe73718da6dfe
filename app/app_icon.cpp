#include "app/app_icon.h"

#include <QGuiApplication>
#include <QString>

// A static library's resources are registered only when asked; the macro must be called outside
// any namespace.
static void RegisterIconResources() { Q_INIT_RESOURCE(icons); }

namespace tolvane {
namespace {

constexpr int kIconSizes[] = {16, 22, 24, 32, 48, 64, 128, 256};

}  // namespace

QIcon ApplicationIcon() {
  RegisterIconResources();
  QIcon icon;
  for (const int size : kIconSizes) {
    icon.addFile(QStringLiteral(":/icons/%1-%2.png").arg(QLatin1String(kDesktopId)).arg(size),
                 QSize(size, size));
  }
  return icon;
}

void SetDesktopIdentity() {
  QGuiApplication::setDesktopFileName(QLatin1String(kDesktopId));
  QGuiApplication::setWindowIcon(ApplicationIcon());
}

}  // namespace tolvane
