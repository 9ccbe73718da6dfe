#pragma once
// A large file scanned in two halves at once: the calling thread scans the first half and hands its
// matches to the sink as it goes; a helper thread scans the second half and holds copies of its
// matches, which the calling thread hands on once the first half is done. The helper never runs
// the sink, so the sink still sees every record in file order, on the calling thread.
//
// Whatever ends the scan in the first half (a stop, a Ctrl+Z, a failure) cancels the helper and
// drops what it held. When the helper's hold is full, it stops at the record that did not fit; the
// calling thread hands on what was held and goes on from that record itself. Without a thread to
// be had, the calling thread scans the whole file alone.
#include <cstddef>
#include <cstdint>

#include "search/filter_choice.h"
#include "search/scan.h"
#include "search/terms.h"

namespace tolvane {

// Scans the regular file of about `size` bytes from `begin`, where its first record starts.
// Returns kEndOfFile, kStopped or kReadError.
ScanEnd ScanInTwoHalves(int fd, std::uint64_t begin, std::size_t size, const TermTable& terms,
                        const FilterChoice& choice, const MatchSink& on_match,
                        const ScanOptions& options);

}  // namespace tolvane
