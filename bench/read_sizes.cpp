// The scan's read size, measured: the same search through ScanMatchingRecords with reads of
// several sizes, on one and on two threads, over a file in the page cache. Prints the median
// milliseconds of each; kScanReadBytes is chosen from these figures.
//
//   read_sizes FILE TERM [RUNS]
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "search/scan.h"
#include "search/terms.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: read_sizes FILE TERM [RUNS]\n");
    return 2;
  }
  const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 15;
  const int fd = ::open(argv[1], O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    std::perror(argv[1]);
    return 2;
  }
  const tolvane::TermTable terms = tolvane::SplitTerms(argv[2]);
  std::size_t matches = 0;
  const tolvane::MatchSink count = [&matches](std::string_view) {
    ++matches;
    return tolvane::MatchReply::kKeepGoing;
  };
  std::printf("%10s %12s %12s\n", "read KiB", "one thread", "two halves");
  for (const std::size_t kib : {16, 64, 128, 256, 512, 1024, 4096}) {
    std::printf("%10zu", kib);
    for (const std::size_t split_min : {~std::size_t{0}, std::size_t{1}}) {
      std::vector<double> ms;
      for (int i = 0; i < runs; ++i) {
        matches = 0;
        const auto start = std::chrono::steady_clock::now();
        tolvane::ScanMatchingRecords(fd, terms, count,
                                     {.read_bytes = kib << 10, .split_min_bytes = split_min});
        ms.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
      }
      std::sort(ms.begin(), ms.end());
      std::printf(" %12.1f", ms[ms.size() / 2]);
    }
    std::printf("   (%zu matches)\n", matches);
  }
  return 0;
}
