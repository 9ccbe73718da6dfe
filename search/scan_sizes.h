#pragma once
// The sizes the scan works in: a record as a text-mode reader takes it, and the buffers and steps
// of the feeds. Every buffer of the engine is bounded by one of these.
#include <cstddef>

namespace tolvane {

// One read of the records file: a 3,000-byte buffer holds at most 2,998 bytes of text.
inline constexpr std::size_t kRecordBufferBytes = 3000;
inline constexpr std::size_t kRecordTextBytes = kRecordBufferBytes - 2;

// How much of the records file the scan maps (or reads) at a time; memory stays bounded by this.
inline constexpr std::size_t kScanWindowBytes = std::size_t{8} << 20;
// A records file at least this large is scanned in two halves at once, one on another thread.
inline constexpr std::size_t kSplitScanMinBytes = std::size_t{16} << 20;
// How far past the middle of the file a line end is looked for to split it at.
inline constexpr std::size_t kSplitSearchBytes = std::size_t{1} << 20;
// How many bytes of matching records the second half may hold until the first is done; past this
// it gives up and the first goes on alone.
inline constexpr std::size_t kHeldMatchBytes = std::size_t{2} << 20;
// How much of a window the scan takes in one step: small enough to stay in the cache.
inline constexpr std::size_t kScanStepBytes = std::size_t{256} << 10;
// How much of the records file is sampled to choose which bytes of a term to look for.
inline constexpr std::size_t kByteSampleBytes = std::size_t{1} << 20;

}  // namespace tolvane
