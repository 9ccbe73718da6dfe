#pragma once
// A mapped file that shrinks under the scan raises SIGBUS on the pages it lost. The guard turns
// that signal into a jump back to the scan that mapped them, which then reports a read error.
//
// The handler is installed once for the process and stays. It jumps only when the fault's address
// lies inside the mapping that the faulting thread itself registered; any other SIGBUS goes to the
// handler that was there before (or to the default action, which ends the process). What the jump
// skips must hold nothing to destroy: region_scanner.h says how the scan keeps to that.
#include <setjmp.h>

#include <cstddef>

namespace tolvane {

// Installs the handler, the first time only. Call before mapping anything to watch.
void InstallBusGuard();

// Where a SIGBUS on this thread's watched mapping jumps to, for as long as it lives. One per
// thread at a time; it must live in the frame that called sigsetjmp on `jump`.
class BusJumpScope {
 public:
  explicit BusJumpScope(sigjmp_buf* jump);
  ~BusJumpScope();
  BusJumpScope(const BusJumpScope&) = delete;
  BusJumpScope& operator=(const BusJumpScope&) = delete;

  // The mapping a SIGBUS may come from: [begin, begin + bytes). Unwatch before unmapping it.
  void Watch(const void* begin, std::size_t bytes);
  void Unwatch();
};

}  // namespace tolvane
