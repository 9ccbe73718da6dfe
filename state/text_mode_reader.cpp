#include "state/text_mode_reader.h"

#include <cstring>

#include "encoding/sjis.h"
#include "posix/io.h"

namespace tolvane {

bool TextModeReader::Fill() {
  if (ended_ || failed_) return false;
  const ssize_t n = ReadRetry(fd_, buffer_.data(), buffer_.size());
  if (n <= 0) {
    failed_ = n < 0;
    ended_ = true;
    return false;
  }
  pos_ = 0;
  size_ = static_cast<std::size_t>(n);
  return true;
}

bool TextModeReader::Next(std::string_view& run, bool& line_ends) {
  static constexpr std::string_view kLoneCr = "\r";
  line_ends = false;
  if (pos_ == size_ && !Fill()) {
    // A CR that was the file's last byte stays a byte of the line.
    if (carried_cr_ && !failed_) {
      carried_cr_ = false;
      run = kLoneCr;
      return true;
    }
    return false;
  }
  if (carried_cr_) {
    carried_cr_ = false;
    if (buffer_[pos_] == kLineFeed) {
      ++pos_;
      run = {};
      line_ends = true;
      return true;
    }
    run = kLoneCr;
    return true;
  }
  const char* begin = buffer_.data() + pos_;
  const std::size_t left = size_ - pos_;
  std::size_t length = 0;
  while (length < left) {
    const char c = begin[length];
    if (c == kEndOfFileByte) {
      ended_ = true;
      size_ = pos_ + length;  // nothing past it is read
      break;
    }
    if (c == kLineFeed) {
      line_ends = true;
      pos_ += length + 1;
      run = {begin, length};
      return true;
    }
    if (c == kCarriageReturn) {
      if (length + 1 == left) {  // the next read tells whether a LF follows
        carried_cr_ = true;
        pos_ += length + 1;
        run = {begin, length};
        return true;
      }
      if (begin[length + 1] == kLineFeed) {
        line_ends = true;
        pos_ += length + 2;
        run = {begin, length};
        return true;
      }
    }
    ++length;
  }
  pos_ += length;
  run = {begin, length};
  return length > 0 || !ended_ || Next(run, line_ends);
}

}  // namespace tolvane
