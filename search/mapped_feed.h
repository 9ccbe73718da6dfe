#pragma once
// Bringing a regular file to the region scanner through read-only mappings, a window at a time,
// unmapped as the scan moves on so that memory stays bounded by the window.
//
// A file cut short under the scan raises SIGBUS on the pages it lost; the bus guard jumps back to
// ScanMappedRange, which unmaps and reports kReadError. The jump skips the frames of the region
// scanner, which is why it keeps to the rules written in region_scanner.h: the sink never sees
// mapped bytes, those frames hold no locals with destructors while they read the mapping, and the
// filter term holds no CR, LF or Ctrl+Z. ScanMappedRange itself keeps nothing it changes across
// the jump but volatile locals. The progress hook runs between steps, never while a step reads the
// mapping, so the jump never skips its frames either.
#include <cstddef>
#include <stop_token>

#include "search/region_scanner.h"
#include "search/scan.h"

namespace tolvane {

// The size of the mapped windows and the boundary they start on.
struct WindowLayout {
  std::size_t bytes;
  std::size_t align;
};
WindowLayout LayoutFor(std::size_t window_bytes);

// How a scan of mapped windows ended.
struct MappedEnd {
  ScanEnd end;  // kEndOfFile, kStopped, kReadError, kUnmappable or kCancelled
  std::size_t offset = 0;  // with kUnmappable: the record boundary where mapping failed
};

// Scans [begin, end) of a regular file, telling `on_progress` after each step. `begin` is a record
// boundary; `end` is the file's end or follows a LF. Ends with kCancelled soon after a stop is
// requested.
MappedEnd ScanMappedRange(int fd, RegionScanner& scanner, WindowLayout layout, std::size_t begin,
                          std::size_t end, const ProgressHook& on_progress,
                          std::stop_token stop = {});

// The end of a mapped scan on the calling thread, reading the file from where mapping failed to
// its end. Returns kEndOfFile, kStopped or kReadError.
ScanEnd FinishMapped(const MappedEnd& end, int fd, RegionScanner& scanner,
                     const ScanOptions& options);

// The whole regular file of `size` bytes, mapped; read instead where mapping fails.
ScanEnd FeedMapped(int fd, RegionScanner& scanner, std::size_t size, const ScanOptions& options);

}  // namespace tolvane
