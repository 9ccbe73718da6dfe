#pragma once
// Every way the engine can scan a records file, in one list, for the tests that compare them or
// run a case on each: read sizes down to a few bytes, one pass or two halves with small and large
// holds, the AVX2 and SSE2 pair filters (the scalar one is its own build, the scalar preset), and
// the plain record-by-record reference. A new way is one line here. Each case chooses its own
// encodings and loose or exact search, which are properties of its file and query.
#include <gtest/gtest.h>

#include <cstddef>
#include <ostream>
#include <string>
#include <vector>

#include "search/pair_filter.h"
#include "search/scan.h"
#include "search/scan_sizes.h"

namespace tolvane::testing {

struct ScanWay {
  std::string name;
  ScanOptions scan;
  bool avx2 = true;  // false: the SSE2 pair filter even where the machine has AVX2
};

// Named in a parameterized test's listing, not dumped as bytes.
inline void PrintTo(const ScanWay& way, std::ostream* out) { *out << way.name; }

// `tiny_read_bytes`: a read size of a few bytes, which a random test may draw per case.
inline std::vector<ScanWay> AllScanWays(std::size_t tiny_read_bytes = 5) {
  return {
      {"plain", ScanOptions{.plain = true}},
      {"tiny reads", ScanOptions{.read_bytes = tiny_read_bytes}},
      {"4 KiB reads", ScanOptions{.read_bytes = 4096}},
      {"4 KiB reads in halves", ScanOptions{.read_bytes = 4096, .split_min_bytes = 1}},
      {"8 KiB reads in halves", ScanOptions{.read_bytes = 8192, .split_min_bytes = 1}},
      {"8 KiB reads in halves, 64-byte hold",
       ScanOptions{.read_bytes = 8192, .split_min_bytes = 1, .held_match_bytes = 64}},
      {"halves", ScanOptions{.split_min_bytes = 1}},
      // The helper stops at once and the calling thread goes on from the split.
      {"halves, helper gives up", ScanOptions{.split_min_bytes = 1, .held_match_bytes = 1}},
      {"window", ScanOptions{}},
      {"4 KiB reads, SSE2", ScanOptions{.read_bytes = 4096}, false},
      {"halves, SSE2", ScanOptions{.split_min_bytes = 1}, false},
      {"window, SSE2", ScanOptions{}, false},
  };
}

// The ways the window and the command take on a large file: its read size, one pass or halves.
inline std::vector<ScanWay> WindowScanWays() {
  std::vector<ScanWay> ways = AllScanWays();
  std::erase_if(ways, [](const ScanWay& way) {
    return way.scan.plain || way.scan.read_bytes != kScanReadBytes ||
           way.scan.held_match_bytes != kHeldMatchBytes;
  });
  return ways;
}

// The way's pair filter in force while it lives.
class ScanWayFilter {
 public:
  explicit ScanWayFilter(const ScanWay& way) { AllowAvx2(way.avx2); }
  ~ScanWayFilter() { AllowAvx2(true); }
  ScanWayFilter(const ScanWayFilter&) = delete;
  ScanWayFilter& operator=(const ScanWayFilter&) = delete;
};

// Runs `run_case(way)` once per way of `ways`, the way named in any failure and its filter in
// force; stops at the first fatal failure.
template <class RunCase>
void ForEachScanWay(const std::vector<ScanWay>& ways, RunCase run_case) {
  for (const ScanWay& way : ways) {
    SCOPED_TRACE("scan: " + way.name);
    const ScanWayFilter filter(way);
    run_case(way);
    if (::testing::Test::HasFatalFailure()) return;
  }
}

}  // namespace tolvane::testing
