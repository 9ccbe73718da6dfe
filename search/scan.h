#pragma once
// Finding the records of the records file that hold all terms, in file order.
#include <cstddef>
#include <functional>
#include <string_view>

#include "search/scan_sizes.h"
#include "search/terms.h"

namespace tolvane {

// How a scan ended.
enum class ScanEnd {
  kEndOfFile,  // the file's last byte, or a Ctrl+Z
  kStopped,    // the sink answered kStop
  kReadError,  // a read failed
};

// What the sink made of a record it was handed: one answer per record.
enum class MatchReply {
  kKeepGoing,  // taken; the next matching record is wanted as this one was
  kShownFull,  // taken, and the box can show no more: the scan still goes on, for the count and the
               // results file
  kStop,       // not taken (the results file failed): the scan ends here
};

// Receives each matching record's text (up to its first NUL, its LF included when it has one).
using MatchSink = std::function<MatchReply(std::string_view record_text)>;

// True when the sink's answer ends the scan.
inline bool EndsScan(MatchReply reply) { return reply == MatchReply::kStop; }

// Told between reads of the scan, about every 1 MiB, that it is still running; always on the
// calling thread, never from the helper of a two-halves scan.
using ProgressHook = std::function<void()>;

// How the records file is read; everything but the defaults is for tests and benchmarks.
struct ScanOptions {
  bool plain = false;                       // the record-by-record reference path (RecordReader)
  std::size_t read_bytes = kScanReadBytes;  // how much one read takes
  std::size_t split_min_bytes = kSplitScanMinBytes;  // files this large are scanned in two halves
  std::size_t held_match_bytes = kHeldMatchBytes;    // what the second half may hold
  ProgressHook on_progress =
      nullptr;  // empty in the command: tested once per read, never per record
};

// The fast path reads the file a buffer at a time, looks for one term (or one character of a term)
// over the whole buffer, and cuts out and checks only the records around its hits. Whatever the
// path, the sink sees every matching record in file order, on the calling thread. The file is read
// from its start with pread, except on the plain path, which reads on from its offset.
ScanEnd ScanMatchingRecords(int fd, const TermTable& terms, const MatchSink& on_match,
                            const ScanOptions& options = {});

}  // namespace tolvane
