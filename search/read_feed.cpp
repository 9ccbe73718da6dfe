#include "search/read_feed.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "search/io.h"
#include "search/limits.h"

namespace tolvane {

ScanEnd FeedRead(int fd, RegionScanner& scanner, std::size_t chunk_bytes) {
  chunk_bytes = std::max<std::size_t>(chunk_bytes, 1);
  // The carried rest of an unfinished record is below 2,998 bytes, plus a CR that may pair.
  std::vector<char> buffer(chunk_bytes + kRecordBufferBytes);
  std::size_t carried = 0;
  while (true) {
    const ssize_t n = ReadRetry(fd, buffer.data() + carried, chunk_bytes);
    if (n < 0) return ScanEnd::kReadError;
    const std::string_view region(buffer.data(), carried + static_cast<std::size_t>(n));
    const RegionStep step = scanner.Scan(region, n == 0);
    if (step.end != ScanEnd::kMore) return step.end;
    carried = region.size() - step.consumed;
    std::memmove(buffer.data(), buffer.data() + step.consumed, carried);
  }
}

}  // namespace tolvane
