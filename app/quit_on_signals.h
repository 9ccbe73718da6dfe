#pragma once
// Ends the program through the event loop's normal exit when SIGTERM, SIGHUP or SIGINT arrives (a
// logout, `systemctl --user stop`, a closed terminal, Ctrl+C), so that every destructor runs and
// the view saves the history. The handler only writes one byte to a pipe, which is all an
// async-signal-safe handler may do here; the loop reads it and quits.
#include <signal.h>

#include <QObject>
#include <array>

class QSocketNotifier;

namespace tolvane {

class QuitOnSignals : public QObject {
  Q_OBJECT

 public:
  // One instance per process, made after the application object and before its event loop. When
  // the pipe cannot be made the signals end the program as before, and the history saved at every
  // change is all that is kept.
  explicit QuitOnSignals(QObject* parent = nullptr);
  ~QuitOnSignals() override;
  QuitOnSignals(const QuitOnSignals&) = delete;
  QuitOnSignals& operator=(const QuitOnSignals&) = delete;

 private:
  // The pipe's read and write ends, closed by the destructor; -1 when not open.
  std::array<int, 2> pipe_{-1, -1};
  QSocketNotifier* notifier_ = nullptr;
  // SIGTERM, SIGHUP, SIGINT: what each had before, and whether ours replaced it.
  std::array<struct sigaction, 3> previous_{};
  std::array<bool, 3> installed_{};
};

}  // namespace tolvane
