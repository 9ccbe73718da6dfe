#pragma once
// The records file's encoding, decided once per search from samples of it: its start, and a few
// stretches further in down to its end, where lines appended by another editor would be.
#include "encoding/detect.h"

namespace tolvane {

// How much of the start is sampled, and how much at each of the points further in.
inline constexpr std::size_t kEncodingStartSampleBytes = std::size_t{64} << 10;
inline constexpr std::size_t kEncodingFurtherSampleBytes = std::size_t{16} << 10;
inline constexpr std::size_t kEncodingFurtherSamples = 7;

// The verdict on the open records file `fd`, read with pread from its start.
EncodingVerdict DetectRecordsEncoding(int fd);

}  // namespace tolvane
