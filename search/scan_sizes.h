#pragma once
// The sizes the scan works in: a record as a text-mode reader takes it, and the buffers and steps
// of the feeds. Every buffer of the engine is bounded by one of these.
#include <cstddef>

namespace tolvane {

// One read of the records file: a 3,000-byte buffer holds at most 2,998 bytes of text.
inline constexpr std::size_t kRecordBufferBytes = 3000;
inline constexpr std::size_t kRecordTextBytes = kRecordBufferBytes - 2;

// How much of the records file one read takes: bench/read_sizes found reads up to 1 MiB ever
// faster, for fewer system calls and page-cache lookups, and nothing gained past it
// (bench/README.md). Each half of a scan holds one such buffer.
inline constexpr std::size_t kScanReadBytes = std::size_t{1} << 20;
// How much of the file's start is sampled to choose what to look for.
inline constexpr std::size_t kFilterSampleBytes = std::size_t{256} << 10;
// A records file at least this large is scanned in two halves at once, one on another thread.
inline constexpr std::size_t kSplitScanMinBytes = std::size_t{16} << 20;
// How far past the middle of the file a line end is looked for to split it at.
inline constexpr std::size_t kSplitSearchBytes = std::size_t{1} << 20;
// How many bytes of matching records the second half may hold until the first is done; past this
// it stops, and the first goes on from where it stopped.
inline constexpr std::size_t kHeldMatchBytes = std::size_t{2} << 20;

}  // namespace tolvane
