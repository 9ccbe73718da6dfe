#pragma once
// Bringing the records file to the region scanner: mapped windows, or reads where mapping fails.
#include <cstddef>

#include "search/region_scanner.h"
#include "search/scan.h"

namespace tolvane {

// Feed a file to the scanner through read-only mappings of `window_bytes`, unmapped as the scan
// moves on; a file that cannot be mapped is read instead. A file cut short under the scan ends it
// with kReadError.
ScanEnd FeedMapped(int fd, RegionScanner& scanner, std::size_t window_bytes);
// Feed a file to the scanner through reads of `chunk_bytes`.
ScanEnd FeedRead(int fd, RegionScanner& scanner, std::size_t chunk_bytes);

}  // namespace tolvane
