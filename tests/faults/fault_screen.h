#pragma once
// The window as the fault tests see it: every display call recorded, and the run's options for
// each way the records file can be read.
#include <string>
#include <string_view>
#include <vector>

#include "fake_screen.h"
#include "session/run.h"

namespace tolvane::testing {

struct ScanPath {
  const char* name;
  RunOptions options;
};

inline std::vector<ScanPath> AllScanPaths() {
  RunOptions plain;
  plain.scan.plain = true;
  RunOptions small_reads;
  small_reads.scan.read_bytes = 4096;
  RunOptions window;  // as the window and the command read
  RunOptions halves;  // in two halves at once whatever the size
  halves.scan.split_min_bytes = 1;
  return {{"plain", plain}, {"small reads", small_reads}, {"default", window}, {"halves", halves}};
}

// `count` records "<word> <n>" with CR LF line ends.
inline std::string NumberedRecords(int count, std::string_view word) {
  std::string text;
  for (int i = 0; i < count; ++i) text += std::string(word) + " " + std::to_string(i) + "\r\n";
  return text;
}

}  // namespace tolvane::testing
