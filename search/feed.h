#pragma once
// Bringing the records file to the region scanner: mapped windows, or reads where mapping fails.
#include <cstddef>
#include <functional>

#include "search/region_scanner.h"
#include "search/scan.h"

namespace tolvane {

// Feed a file to the scanner through read-only mappings of `window_bytes`, unmapped as the scan
// moves on; a file that cannot be mapped is read instead. A file cut short under the scan ends it
// with kReadError.
ScanEnd FeedMapped(int fd, RegionScanner& scanner, std::size_t window_bytes);
// The same for a regular file of `size` bytes, with its second half scanned by `second` on another
// thread at the same time. `second` must only hold its matches; `hand_over_second` passes them on,
// in order, once the first half is done, and returns false when the sink wants no more. Whatever
// ends the scan in the first half (a stop, a Ctrl+Z, an error) drops them.
ScanEnd FeedMappedInTwo(int fd, std::size_t size, RegionScanner& first, RegionScanner& second,
                        const std::function<bool()>& hand_over_second, std::size_t window_bytes);
// Feed a file to the scanner through reads of `chunk_bytes`.
ScanEnd FeedRead(int fd, RegionScanner& scanner, std::size_t chunk_bytes);

}  // namespace tolvane
