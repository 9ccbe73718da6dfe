#include "session/results_writer.h"

#include <unistd.h>

#include <cerrno>

#include "search/sjis.h"

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
  std::size_t done = 0;
  while (!failed_ && done < buffer_.size()) {
    const ssize_t n = ::write(fd_, buffer_.data() + done, buffer_.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      failed_ = true;
      break;
    }
    done += static_cast<std::size_t>(n);
  }
  buffer_.clear();
  return !failed_;
}

}  // namespace tolvane
