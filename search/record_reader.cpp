#include "search/record_reader.h"

#include "encoding/sjis.h"
#include "posix/io.h"
#include "search/scan_sizes.h"

namespace tolvane {

int RecordReader::RawByte() {
  if (pushed_back_ >= 0) {
    const int byte = pushed_back_;
    pushed_back_ = kNoByte;
    return byte;
  }
  if (failed_) return kError;
  if (ended_) return kEof;
  if (pos_ == size_) {
    const ssize_t n = ReadRetry(fd_, buffer_.data(), buffer_.size());
    if (n < 0) {
      failed_ = true;
      return kError;
    }
    if (n == 0) {
      ended_ = true;
      return kEof;
    }
    pos_ = 0;
    size_ = static_cast<std::size_t>(n);
  }
  const int byte = static_cast<unsigned char>(buffer_[pos_++]);
  if (byte == static_cast<unsigned char>(kEndOfFileByte)) {
    ended_ = true;
    return kEof;
  }
  return byte;
}

int RecordReader::LogicalByte() {
  const int byte = RawByte();
  if (byte != kCarriageReturn) return byte;
  const int next = RawByte();
  if (next == kLineFeed) return kLineFeed;
  if (next >= 0) pushed_back_ = next;
  if (next == kError) return kError;
  return kCarriageReturn;
}

RecordReader::Read RecordReader::Next(std::string& record) {
  record.clear();
  bool in_character = false;  // the last byte taken was a lead byte on a character boundary
  while (record.size() < kRecordTextBytes) {
    const int byte = LogicalByte();
    if (byte == kError) return Read::kError;
    if (byte == kEof) break;
    const bool lead = !in_character && IsLeadByte(static_cast<unsigned char>(byte));
    // A character that would not fit whole starts the next piece.
    if (lead && record.size() == kRecordTextBytes - 1) {
      pushed_back_ = byte;
      break;
    }
    in_character = lead;
    record.push_back(static_cast<char>(byte));
    if (byte == kLineFeed) break;
  }
  return record.empty() ? Read::kEnd : Read::kRecord;
}

std::size_t PieceLength(std::string_view rest) {
  constexpr std::size_t kLast = kRecordTextBytes - 1;
  return IsLeadByte(rest[kLast]) && IsCharBoundary(rest, kLast) ? kLast : kRecordTextBytes;
}

std::string_view RecordText(std::string_view record) {
  return record.substr(0, record.find('\0'));
}

}  // namespace tolvane
