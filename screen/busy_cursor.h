#pragma once
// The busy cursor over a search, which runs on the window's thread and so handles no events until
// it returns: shown once the search has run for 200 ms, as the scan tells its progress, and sent to
// the display at once rather than with the next event loop.
#include <chrono>
#include <functional>

namespace tolvane {

inline constexpr std::chrono::milliseconds kBusyCursorDelay{200};

using BusyClock = std::function<std::chrono::steady_clock::time_point()>;

// One search's busy cursor, measured from its construction; taken back at the latest when it dies.
class BusyCursor {
 public:
  explicit BusyCursor(BusyClock clock);
  ~BusyCursor() { Restore(); }
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;

  // The scan's progress hook: shows the cursor once the delay has passed.
  void OnProgress();
  // Takes the cursor back, as before a message box of the search, which shows the normal one.
  void Restore();

 private:
  BusyClock clock_;
  std::chrono::steady_clock::time_point start_;
  bool shown_ = false;
};

}  // namespace tolvane
