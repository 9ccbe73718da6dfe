#pragma once
// Finding the records of the records file that hold all terms, in file order.
#include <cstddef>
#include <functional>
#include <string_view>

#include "search/limits.h"
#include "search/scan_options.h"
#include "search/terms.h"

namespace tolvane {

enum class ScanEnd { kEndOfFile, kStopped, kReadError };

// Receives each matching record's text (up to its first NUL, its LF included when it has one).
// Returns false to end the scan.
using MatchSink = std::function<bool(std::string_view record_text)>;

// The fast path: maps the file in windows of `window_bytes` (or reads it in such chunks when it
// cannot be mapped, or when `allow_mapping` is false), looks for one term over the whole window,
// and cuts out and checks only the records around its hits. A mapped file of `split_min_bytes` or
// more is scanned in two halves at once; the sink still sees every record in file order, on the
// calling thread.
ScanEnd ScanMatchingRecords(int fd, const TermTable& terms, const MatchSink& on_match,
                            const ScanOptions& options = {});

// The reference path: one record at a time through RecordReader.
ScanEnd ScanMatchingRecordsPlain(int fd, const TermTable& terms, const MatchSink& on_match);

}  // namespace tolvane
