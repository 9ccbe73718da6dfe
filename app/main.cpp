// Tolvane: search a Shift-JIS bibliography ("tolvaneken.txt" in the working directory). Qt's own
// texts come in Japanese, and the ending signals leave through the event loop, so that the view
// saves the history on the way out.
#include <QApplication>

#include "app/qt_translations.h"
#include "app/quit_on_signals.h"
#include "app/tolvane_app.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  (void)tolvane::InstallQtTranslations(application);
  const tolvane::QuitOnSignals quit_on_signals;
  tolvane::CTolvaneApp app;
  if (!app.InitInstance()) return 1;
  return QApplication::exec();
}
