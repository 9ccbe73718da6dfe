#pragma once
// Bringing a stretch of the records file to the region scanner: read with pread into one bounded
// buffer, with what the last read left unfinished carried to its front, and scanned a read at a
// time. Both halves of a two-halves scan and the scan of a whole file go through it.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <stop_token>

#include "search/region_scanner.h"
#include "search/scan.h"

namespace tolvane {

// How the scan of a stretch ended.
struct RangeEnd {
  enum class Kind {
    kEnd,      // the stretch was scanned to its end
    kCtrlZ,    // a Ctrl+Z ended the file inside it
    kStopped,  // the sink wanted no more; `stopped_at` is the file offset of the record it refused
    kReadError,  // a read failed
    kCancelled,  // a stop was requested
  };
  Kind kind;
  std::uint64_t stopped_at = 0;
};

// The same as the end of a whole scan: kEndOfFile, kStopped or kReadError.
ScanEnd ScanEndOf(const RangeEnd& end);

// Scans the file from `begin`, a record boundary, to `end` (exclusive, just past a LF) or to where
// it ends when there is none, telling `on_progress` after each read and giving up soon after a
// stop is requested. `read_bytes` is at least 1.
RangeEnd ScanRange(int fd, RegionScanner& scanner, std::uint64_t begin,
                   std::optional<std::uint64_t> end, std::size_t read_bytes,
                   const ProgressHook& on_progress, std::stop_token stop = {});

}  // namespace tolvane
