#include "session/results_writer.h"

#include <cerrno>

#include "encoding/sjis.h"
#include "posix/io.h"

namespace tolvane {

ResultsWriter::ResultsWriter(int fd, std::size_t buffer_bytes)
    : fd_(fd), buffer_bytes_(buffer_bytes) {
  buffer_.reserve(buffer_bytes_ + kRecordBufferBytes * 2);
}

bool ResultsWriter::Write(std::string_view record) {
  if (failed_) return false;
  if (!record.empty() && record.back() == kLineFeed) {
    record.remove_suffix(1);
    buffer_.append(record);
    buffer_.append(kCrLf);
  } else {
    buffer_.append(record);
  }
  if (buffer_.size() >= buffer_bytes_) return Flush();
  return true;
}

bool ResultsWriter::Flush() {
  errno = 0;
  if (!failed_ && !WriteAll(fd_, buffer_)) {
    failed_ = true;
    error_ = errno != 0 ? errno : ENOSPC;  // a write that takes no byte is a full disk
  }
  buffer_.clear();
  return !failed_;
}

}  // namespace tolvane
