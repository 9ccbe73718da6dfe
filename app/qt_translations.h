#pragma once
// Qt's own texts (the buttons and labels of the file dialogs and message boxes, the edit boxes'
// context menus) in Japanese: the program's own texts are Japanese whatever the locale, so a
// locale that is not Japanese gets the Japanese catalogue too.
class QCoreApplication;

namespace tolvane {

// Installs the "qtbase" catalogue from Qt's translations folder. False, with Qt's English left in
// place, when the catalogue is not installed (Debian: qt6-translations-l10n).
bool InstallQtTranslations(QCoreApplication& application);

}  // namespace tolvane
