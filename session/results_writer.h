#pragma once
// The results file, written as a text-mode file is: every LF goes out as CR LF.
#include <cstddef>
#include <string>
#include <string_view>

#include "search/scan_sizes.h"

namespace tolvane {

// How much of the results file is buffered before it is written: writes of 256 KiB cost a common
// term no more than writes of 1 MiB, and leave room for the scan's buffers within 8 MiB.
inline constexpr std::size_t kResultsWriteBytes = std::size_t{256} << 10;

class ResultsWriter {
 public:
  explicit ResultsWriter(int fd, std::size_t buffer_bytes = kResultsWriteBytes);

  // Buffers a record: an LF, if any, is its last byte. Returns false once any write has failed;
  // nothing more is written then.
  bool Write(std::string_view record);
  // Writes what is buffered. Returns false when any write, now or earlier, failed.
  bool Flush();
  // Why the first failed write failed (errno; ENOSPC for a write that took no byte).
  int error() const { return error_; }

 private:
  int fd_;
  std::size_t buffer_bytes_;
  std::string buffer_;
  bool failed_ = false;
  int error_ = 0;
};

}  // namespace tolvane
