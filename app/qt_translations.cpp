#include "app/qt_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace tolvane {

bool InstallQtTranslations(QCoreApplication& application) {
  QLocale locale = QLocale::system();
  if (locale.language() != QLocale::Japanese) locale = QLocale(QLocale::Japanese, QLocale::Japan);
  auto* translator = new QTranslator(&application);
  if (!translator->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    delete translator;
    return false;
  }
  return QCoreApplication::installTranslator(translator);
}

}  // namespace tolvane
