// Tolvane: search a Shift-JIS bibliography ("tolvaneken.txt" in the working directory).
#include <QApplication>

#include "app/tolvane_app.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  tolvane::CTolvaneApp app;
  if (!app.InitInstance()) return 1;
  return QApplication::exec();
}
