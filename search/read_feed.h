#pragma once
// Bringing the records file to the region scanner through plain reads, from wherever the file
// stands: any file, mapped or not, can be read.
#include <cstddef>

#include "search/region_scanner.h"
#include "search/scan.h"

namespace tolvane {

// Reads the file from its current offset to its end in chunks of `options.window_bytes` and scans
// each chunk, with what the last one left unfinished, a step at a time, telling
// `options.on_progress` after each step. Returns kEndOfFile, kStopped or kReadError.
ScanEnd FeedRead(int fd, RegionScanner& scanner, const ScanOptions& options);

}  // namespace tolvane
