#pragma once
// Finding the records of the records file that hold all terms, in file order.
#include <cstddef>
#include <functional>
#include <string_view>

#include "search/scan_sizes.h"

namespace tolvane {

// Declared only, so that Qt code, whose `slots` is a macro, can include this through run.h.
struct TermTable;

// What can end a scan, and a step of one. ScanMatchingRecords itself returns kEndOfFile, kStopped
// or kReadError.
enum class ScanEnd {
  kMore,         // a step ended with more to come
  kEndOfFile,    // the file's last byte, or a Ctrl+Z
  kStopped,      // the sink wanted no more
  kReadError,    // a read failed, or the file was cut short under the scan
  kUnmappable,   // a window could not be mapped; the rest is to be read instead
  kCancelled,    // the other half of the scan no longer needs this one
};

// Receives each matching record's text (up to its first NUL, its LF included when it has one).
// Returns false to end the scan.
using MatchSink = std::function<bool(std::string_view record_text)>;

// Told between steps of the scan, about every 256 KiB, that it is still running; always on the
// calling thread, never from the helper of a two-halves scan.
using ProgressHook = std::function<void()>;

// How the records file is read; everything but the defaults is for tests and benchmarks.
struct ScanOptions {
  bool plain = false;     // the record-by-record reference path (RecordReader)
  bool map_file = true;   // false: read in chunks of window_bytes instead of mapping
  std::size_t window_bytes = kScanWindowBytes;
  std::size_t split_min_bytes = kSplitScanMinBytes;  // mapped files this large are scanned in two halves
  std::size_t held_match_bytes = kHeldMatchBytes;    // what the second half may hold
  ProgressHook on_progress = nullptr;  // empty in the command: tested once per step, never per record
};

// The fast path maps the file in windows (or reads it in chunks when it cannot be mapped), looks
// for one term over the whole window, and cuts out and checks only the records around its hits.
// Whatever the path, the sink sees every matching record in file order, on the calling thread.
ScanEnd ScanMatchingRecords(int fd, const TermTable& terms, const MatchSink& on_match,
                            const ScanOptions& options = {});

}  // namespace tolvane
