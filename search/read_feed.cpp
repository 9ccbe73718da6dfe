#include "search/read_feed.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "posix/io.h"
#include "search/record_reader.h"
#include "search/scan_sizes.h"

namespace tolvane {
namespace {

// The most the scanner leaves unconsumed: fewer bytes than tell where a piece ends, and a CR at the
// end that may be half of a CR LF.
constexpr std::size_t kCarriedMaxBytes = (kPieceLookBytes - 1) + 1;

}  // namespace

ScanEnd ScanEndOf(const RangeEnd& end) {
  switch (end.kind) {
    case RangeEnd::Kind::kEnd:
    case RangeEnd::Kind::kCtrlZ:
      return ScanEnd::kEndOfFile;
    case RangeEnd::Kind::kStopped:
      return ScanEnd::kStopped;
    case RangeEnd::Kind::kReadError:
    case RangeEnd::Kind::kCancelled:
      break;
  }
  return ScanEnd::kReadError;
}

RangeEnd ScanRange(int fd, RegionScanner& scanner, std::uint64_t begin,
                   std::optional<std::uint64_t> end, std::size_t read_bytes,
                   const ProgressHook& on_progress, std::stop_token stop) {
  read_bytes = std::max<std::size_t>(read_bytes, 1);
  // Every read fits behind the carried rest of an unfinished record.
  std::vector<char> buffer(kCarriedMaxBytes + read_bytes);
  std::size_t carried = 0;
  std::uint64_t offset = begin;  // where the next read starts
  while (true) {
    if (stop.stop_requested()) return {RangeEnd::Kind::kCancelled};
    const std::size_t wanted =
        end ? static_cast<std::size_t>(std::min<std::uint64_t>(read_bytes, *end - offset))
            : read_bytes;
    const ssize_t n =
        wanted > 0 ? PreadRetry(fd, buffer.data() + carried, wanted, static_cast<off_t>(offset))
                   : 0;
    if (n < 0) return {RangeEnd::Kind::kReadError};
    const std::uint64_t region_start = offset - carried;
    offset += static_cast<std::uint64_t>(n);
    const bool at_end = n == 0 || (end && offset == *end);
    const std::string_view region(buffer.data(), carried + static_cast<std::size_t>(n));
    const RegionStep step = scanner.Scan(region, at_end);
    switch (step.end) {
      case RegionStep::End::kMore:
        break;
      case RegionStep::End::kEnd:
        return {RangeEnd::Kind::kEnd};
      case RegionStep::End::kCtrlZ:
        return {RangeEnd::Kind::kCtrlZ};
      case RegionStep::End::kStopped:
        return {RangeEnd::Kind::kStopped, region_start + step.stopped_at};
    }
    if (on_progress) on_progress();
    carried = region.size() - step.consumed;
    // Were the scanner ever to leave more, the next read would not fit: fail, never write past.
    if (carried > kCarriedMaxBytes) return {RangeEnd::Kind::kReadError};
    std::memmove(buffer.data(), buffer.data() + step.consumed, carried);
  }
}

}  // namespace tolvane
