#include "app/quit_on_signals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>
#include <cerrno>
#include <iterator>

namespace tolvane {
namespace {

constexpr int kQuitSignals[] = {SIGTERM, SIGHUP, SIGINT};
// Read by the handler, so a plain int that is set before any handler is installed.
volatile sig_atomic_t g_write_end = -1;
static_assert(std::size(kQuitSignals) == 3, "one saved action per signal in quit_on_signals.h");

void OnQuitSignal(int /*signal*/) {
  const int saved_errno = errno;  // the interrupted code may be about to read it
  const char byte = 1;
  // A full pipe already holds a quit request; a failed write changes nothing.
  (void)!::write(g_write_end, &byte, 1);
  errno = saved_errno;
}

}  // namespace

QuitOnSignals::QuitOnSignals(QObject* parent) : QObject(parent) {
  // Close-on-exec, so that an editor started later does not inherit the pipe.
  if (::pipe2(pipe_.data(), O_CLOEXEC | O_NONBLOCK) != 0) return;
  g_write_end = pipe_[1];
  notifier_ = new QSocketNotifier(pipe_[0], QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, [this] {
    char drained[16];
    while (::read(pipe_[0], drained, sizeof drained) > 0) {
    }
    QCoreApplication::quit();
  });

  struct sigaction action {};
  action.sa_handler = OnQuitSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (std::size_t i = 0; i < std::size(kQuitSignals); ++i) {
    struct sigaction& before = previous_[i];
    // A signal the program was started to ignore (nohup, a background job) stays ignored.
    if (::sigaction(kQuitSignals[i], nullptr, &before) != 0 || before.sa_handler == SIG_IGN)
      continue;
    installed_[i] = ::sigaction(kQuitSignals[i], &action, nullptr) == 0;
  }
}

QuitOnSignals::~QuitOnSignals() {
  // Back to what was there first, so that no handler writes to a closed descriptor.
  for (std::size_t i = 0; i < std::size(kQuitSignals); ++i) {
    if (installed_[i]) ::sigaction(kQuitSignals[i], &previous_[i], nullptr);
  }
  g_write_end = -1;
  for (const int fd : pipe_) {
    if (fd >= 0) ::close(fd);
  }
}

}  // namespace tolvane
