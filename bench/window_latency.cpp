// The window's latency: from the Enter key in the query box to the results box showing the new
// text, painted, on the offscreen platform. Prints the median, minimum and maximum in ms.
// With "new", every Enter stores a new query in history.txt first (the term with one more trailing
// blank each time, which searches the same), as a researcher's searches do; without it the same
// query is searched again and the history file is left alone.
//
//   QT_QPA_PLATFORM=offscreen window_latency DIR TERM [RUNS [new]]
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QTest>
#include <QtGlobal>
#include <algorithm>
#include <cstdio>
#include <string_view>
#include <vector>

#include "screen/screen_state.h"
#include "screen/tolvane_view.h"

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM",
          qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
  QApplication app(argc, argv);
  if (argc < 3) {
    std::fprintf(stderr, "usage: window_latency DIR TERM [RUNS]\n");
    return 2;
  }
  const QFileInfo dir(QFile::decodeName(argv[1]));
  if (!dir.isDir()) {
    std::fprintf(stderr, "window_latency: %s is no folder\n", argv[1]);
    return 2;
  }
  const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 10;
  const bool new_queries = argc > 4 && std::string_view(argv[4]) == "new";

  tolvane::ScreenState state;
  tolvane::CTolvaneView view(state);
  view.resize(800, 553);
  view.show();
  view.SetStartDir(QFile::encodeName(dir.absoluteFilePath()).toStdString());
  QApplication::processEvents();
  QLineEdit* query = view.QueryBox();
  QPlainTextEdit* results = view.ResultsBox();
  const QString term = QString::fromLocal8Bit(argv[2]);
  query->setText(term);
  query->setFocus();

  std::vector<double> ms;
  for (int i = 0; i < runs; ++i) {
    if (new_queries) query->setText(term + QString(i + 1, u' '));
    QElapsedTimer timer;
    timer.start();
    QTest::keyClick(query, Qt::Key_Return);
    results->viewport()->repaint();
    ms.push_back(timer.nsecsElapsed() / 1e6);
  }
  std::sort(ms.begin(), ms.end());
  std::printf("median %.1f ms, min %.1f ms, max %.1f ms over %d searches (%lld characters shown)\n",
              ms[ms.size() / 2], ms.front(), ms.back(), runs,
              static_cast<long long>(results->document()->characterCount()));
  return 0;
}
