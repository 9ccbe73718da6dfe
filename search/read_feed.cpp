#include "search/read_feed.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "posix/io.h"
#include "search/scan_sizes.h"

namespace tolvane {

ScanEnd FeedRead(int fd, RegionScanner& scanner, const ScanOptions& options) {
  const std::size_t chunk_bytes = std::max<std::size_t>(options.window_bytes, 1);
  // The carried rest of an unfinished record is below 2,998 bytes, plus a CR that may pair.
  std::vector<char> buffer(chunk_bytes + kRecordBufferBytes);
  std::size_t carried = 0;
  while (true) {
    const ssize_t n = ReadRetry(fd, buffer.data() + carried, chunk_bytes);
    if (n < 0) return ScanEnd::kReadError;
    const std::string_view region(buffer.data(), carried + static_cast<std::size_t>(n));
    // Chosen from the whole first chunk, as when the chunk was scanned in one go.
    scanner.ChooseFilter(region);
    std::size_t at = 0;
    while (true) {
      const std::size_t step_end = std::min(region.size(), at + kScanStepBytes);
      const bool last_step = step_end == region.size();
      const RegionStep step = scanner.Scan(region.substr(at, step_end - at), n == 0 && last_step);
      if (step.end != ScanEnd::kMore) return step.end;
      at += step.consumed;
      if (options.on_progress) options.on_progress();
      if (last_step) break;
    }
    carried = region.size() - at;
    std::memmove(buffer.data(), buffer.data() + at, carried);
  }
}

}  // namespace tolvane
