#pragma once
// How the records file is read. Every field but its default is for tests and benchmarks, which
// drive each way of reading through the same run. Kept apart from scan.h so that code which only
// passes the options on (the session, the window) need not see the term table.
#include <cstddef>

#include "search/limits.h"

namespace tolvane {

struct ScanOptions {
  bool plain = false;
  bool map_file = true;
  std::size_t window_bytes = kScanWindowBytes;
  std::size_t split_min_bytes = kSplitScanMinBytes;
  std::size_t held_match_bytes = kHeldMatchBytes;
};

}  // namespace tolvane
