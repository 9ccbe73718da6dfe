// What knowing the records file's encoding costs a search: DetectRecordsEncoding on a file in the
// page cache, beside the exact search of a term in the same file. Prints the verdict, the median
// microseconds of each and their ratio.
//
//   detect_cost FILE TERM [RUNS]      (TERM in Shift-JIS, as the window's query)
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "encoding/text_encoding.h"
#include "search/scan.h"
#include "search/terms.h"
#include "session/records_encoding.h"

namespace {

template <typename Run>
double MedianMicroseconds(int runs, Run&& run) {
  std::vector<double> us;
  for (int i = 0; i < runs; ++i) {
    const auto start = std::chrono::steady_clock::now();
    run();
    us.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start)
                     .count());
  }
  std::sort(us.begin(), us.end());
  return us[us.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: detect_cost FILE TERM [RUNS]\n");
    return 2;
  }
  const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 25;
  const int fd = ::open(argv[1], O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    std::perror(argv[1]);
    return 2;
  }
  tolvane::EncodingVerdict verdict;
  const double detect =
      MedianMicroseconds(runs, [&] { verdict = tolvane::DetectRecordsEncoding(fd); });
  const tolvane::TermTable terms = tolvane::SplitTerms(argv[2], verdict.Encoding());
  std::size_t matches = 0;
  const tolvane::MatchSink count = [&matches](std::string_view) {
    ++matches;
    return tolvane::MatchReply::kKeepGoing;
  };
  const double search = MedianMicroseconds(runs, [&] {
    matches = 0;
    tolvane::ScanMatchingRecords(fd, terms, count, {});
  });
  std::printf("%s%s: detection %.0f us, search %.0f us (%zu matches), detection/search %.4f\n",
              tolvane::DisplayName(verdict.Encoding()), verdict.bom ? " with BOM" : "", detect,
              search, matches, detect / search);
  ::close(fd);
  return 0;
}
