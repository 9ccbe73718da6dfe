#include "search/bus_guard.h"

#include <signal.h>

#include <atomic>
#include <cstdint>
#include <mutex>

namespace tolvane {

namespace {

// What the handler reads on the faulting thread: plain values only, so that the thread-local is
// trivially constructed and destroyed and reading it in a signal handler is safe.
struct WatchedMapping {
  sigjmp_buf* jump;
  std::uintptr_t begin;
  std::size_t bytes;
};
thread_local constinit WatchedMapping watched{nullptr, 0, 0};

struct sigaction previous_action {};

// The default action for a signal the guard does not own: restore it and raise the signal again.
// A fault re-raised this way is delivered once the handler returns, as it would have been.
void TakeDefaultAction(int signal) {
  struct sigaction default_action {};
  default_action.sa_handler = SIG_DFL;
  sigemptyset(&default_action.sa_mask);
  ::sigaction(signal, &default_action, nullptr);
  ::raise(signal);
}

void PassOn(int signal, siginfo_t* info, void* context) {
  if (previous_action.sa_flags & SA_SIGINFO) {
    previous_action.sa_sigaction(signal, info, context);
  } else if (previous_action.sa_handler == SIG_IGN) {
    // An ignored SIGBUS that another process sent stays ignored; a real fault cannot be.
    if (info->si_code <= 0) return;
    TakeDefaultAction(signal);
  } else if (previous_action.sa_handler == SIG_DFL) {
    TakeDefaultAction(signal);
  } else {
    previous_action.sa_handler(signal);
  }
}

void OnBusError(int signal, siginfo_t* info, void* context) {
  const auto address = reinterpret_cast<std::uintptr_t>(info->si_addr);
  // A SIGBUS sent by a process (si_code <= 0) carries no fault address, whatever si_addr reads.
  if (info->si_code > 0 && watched.jump && address - watched.begin < watched.bytes) {
    siglongjmp(*watched.jump, 1);
  }
  PassOn(signal, info, context);
}

}  // namespace

void InstallBusGuard() {
  static std::once_flag installed;
  std::call_once(installed, [] {
    struct sigaction action {};
    action.sa_sigaction = OnBusError;
    action.sa_flags = SA_SIGINFO;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGBUS, &action, &previous_action);
  });
}

BusJumpScope::BusJumpScope(sigjmp_buf* jump) {
  watched = {jump, 0, 0};
  std::atomic_signal_fence(std::memory_order_seq_cst);
}

BusJumpScope::~BusJumpScope() {
  watched = {nullptr, 0, 0};
  std::atomic_signal_fence(std::memory_order_seq_cst);
}

void BusJumpScope::Watch(const void* begin, std::size_t bytes) {
  watched.begin = reinterpret_cast<std::uintptr_t>(begin);
  watched.bytes = bytes;
  std::atomic_signal_fence(std::memory_order_seq_cst);
}

void BusJumpScope::Unwatch() {
  watched.bytes = 0;
  std::atomic_signal_fence(std::memory_order_seq_cst);
}

}  // namespace tolvane
