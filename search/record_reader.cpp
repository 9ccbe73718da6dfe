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
  if (!started_) {
    started_ = true;
    // A UTF-8 byte-order mark is the file's, not its first record's.
    if (encoding_ == TextEncoding::kUtf8) {
      for (const char mark : kUtf8ByteOrderMark) {
        const int byte = LogicalByte();
        if (byte == kError) return Read::kError;
        if (byte < 0) break;
        pending_.push_back(static_cast<char>(byte));
        if (byte != static_cast<unsigned char>(mark)) break;
      }
      if (pending_ == kUtf8ByteOrderMark) pending_.clear();
    }
  }
  record = std::move(pending_);
  pending_.clear();
  // Up to the LF, or beyond a piece's end by as much as the piece's last character may take.
  std::size_t looked = 0;
  while (true) {
    const std::size_t lf = record.find(kLineFeed, looked);
    if (lf != std::string::npos && lf < kRecordTextBytes) {
      pending_ = record.substr(lf + 1);
      record.resize(lf + 1);
      return Read::kRecord;
    }
    looked = record.size();
    if (record.size() >= kPieceLookBytes) break;
    const int byte = LogicalByte();
    if (byte == kError) return Read::kError;
    if (byte == kEof) break;
    record.push_back(static_cast<char>(byte));
  }
  if (record.empty()) return Read::kEnd;
  if (record.size() > kRecordTextBytes) {
    const std::size_t length = PieceLength(encoding_, record);
    pending_ = record.substr(length);
    record.resize(length);
  }
  return Read::kRecord;
}

std::size_t PieceLength(TextEncoding encoding, std::string_view rest) {
  if (rest.size() <= kRecordTextBytes) return rest.size();
  return LastBoundaryAtMost(encoding, rest.substr(0, kPieceLookBytes), kRecordTextBytes);
}

std::string_view RecordText(std::string_view record) { return record.substr(0, record.find('\0')); }

}  // namespace tolvane
