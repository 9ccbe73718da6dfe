#pragma once
// The window as the fault tests see it: every display call recorded, and the run's options for
// each way the records file can be read (scan_paths.h).
#include <string>
#include <string_view>
#include <vector>

#include "fake_screen.h"
#include "scan_paths.h"
#include "session/run.h"

namespace tolvane::testing {

// The run's options for one way of scanning.
inline RunOptions OptionsFor(const ScanWay& way) {
  RunOptions options;
  options.scan = way.scan;
  return options;
}

// `count` records "<word> <n>" with CR LF line ends.
inline std::string NumberedRecords(int count, std::string_view word) {
  std::string text;
  for (int i = 0; i < count; ++i) text += std::string(word) + " " + std::to_string(i) + "\r\n";
  return text;
}

}  // namespace tolvane::testing
