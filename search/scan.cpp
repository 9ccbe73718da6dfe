#include "search/scan.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "search/record_reader.h"
#include "search/sjis.h"

namespace tolvane {

namespace {

// The term whose hits lead the scan: any term must occur in a matching record, and a longer one
// gives fewer false candidates.
std::string_view FilterTerm(std::span<const std::string> active) {
  std::string_view best;
  for (const std::string& term : active) {
    if (term.size() > best.size()) best = term;
  }
  return best;
}

// Reads the records file and turns it into text-mode bytes: CR LF becomes LF and Ctrl+Z ends the
// file. The buffer always starts on a record boundary; an unfinished record is carried over.
class ChunkReader {
 public:
  ChunkReader(int fd, std::size_t chunk_bytes)
      : fd_(fd), chunk_bytes_(std::max<std::size_t>(chunk_bytes, 1)),
        buffer_(chunk_bytes_ + kRecordTextBytes + 1) {}

  enum class Status { kData, kEndOfFile, kReadError };

  // Appends the next read to the carried bytes. After kData, Data() holds text-mode bytes.
  Status Fill() {
    if (ended_) return Status::kEndOfFile;
    std::size_t end = size_;
    if (pending_cr_) buffer_[end++] = kCarriageReturn;
    ssize_t n;
    do {
      n = ::read(fd_, buffer_.data() + end, chunk_bytes_);
    } while (n < 0 && errno == EINTR);
    if (n < 0) return Status::kReadError;
    const std::size_t raw_start = size_;
    std::size_t raw_end = end + static_cast<std::size_t>(n);
    if (n == 0) ended_ = true;
    if (void* z = std::memchr(buffer_.data() + end, kEndOfFileByte, raw_end - end)) {
      raw_end = static_cast<std::size_t>(static_cast<char*>(z) - buffer_.data());
      ended_ = true;
    }
    pending_cr_ = false;
    // A CR at the very end may be the first half of a CR LF that the next read completes.
    if (!ended_ && raw_end > raw_start && buffer_[raw_end - 1] == kCarriageReturn) {
      pending_cr_ = true;
      --raw_end;
    }
    size_ = raw_start + CollapseCrLf(buffer_.data() + raw_start, raw_end - raw_start);
    return Status::kData;
  }

  bool ended() const { return ended_; }
  char* data() { return buffer_.data(); }
  std::size_t size() const { return size_; }

  // The end of the last record that is complete: after the last LF, plus whole 2,998-byte pieces
  // of the line that follows; at the end of the file, everything.
  std::size_t CompleteRecordsEnd() const {
    if (ended_ && !pending_cr_) return size_;
    const void* lf = memrchr(buffer_.data(), kLineFeed, size_);
    const std::size_t line_start =
        lf ? static_cast<std::size_t>(static_cast<const char*>(lf) - buffer_.data()) + 1 : 0;
    return line_start + (size_ - line_start) / kRecordTextBytes * kRecordTextBytes;
  }

  // Moves the bytes from `consumed` on to the front of the buffer.
  void Consume(std::size_t consumed) {
    std::memmove(buffer_.data(), buffer_.data() + consumed, size_ - consumed);
    size_ -= consumed;
  }

 private:
  // Removes each CR that stands before an LF; returns the new length.
  static std::size_t CollapseCrLf(char* text, std::size_t length) {
    char* const end = text + length;
    char* cr = static_cast<char*>(std::memchr(text, kCarriageReturn, length));
    if (!cr) return length;
    char* out = cr;
    char* in = cr;
    while (in < end) {
      if (*in == kCarriageReturn && in + 1 < end && in[1] == kLineFeed) ++in;
      char* next_cr = static_cast<char*>(std::memchr(in + 1, kCarriageReturn, end - in - 1));
      char* stop = next_cr ? next_cr : end;
      std::memmove(out, in, stop - in);
      out += stop - in;
      in = stop;
    }
    return out - text;
  }

  int fd_;
  std::size_t chunk_bytes_;
  std::vector<char> buffer_;
  std::size_t size_ = 0;
  bool pending_cr_ = false;
  bool ended_ = false;
};

// End of the record that starts at `start`: after its LF, or 2,998 bytes on, or at `limit`.
std::size_t RecordEnd(const char* data, std::size_t start, std::size_t limit) {
  const std::size_t window = std::min(limit - start, kRecordTextBytes);
  const void* lf = std::memchr(data + start, kLineFeed, window);
  return lf ? static_cast<std::size_t>(static_cast<const char*>(lf) - data) + 1 : start + window;
}

std::string_view TextOf(const char* data, std::size_t start, std::size_t end) {
  return RecordText(std::string_view(data + start, end - start));
}

// Looks at the complete records in data[0, limit). Returns false when the sink ended the scan.
bool ScanRecords(const char* data, std::size_t limit, const TermTable& terms,
                 std::string_view filter, const MatchSink& on_match) {
  std::size_t pos = 0;  // always a record boundary
  if (filter.empty()) {
    while (pos < limit) {
      const std::size_t end = RecordEnd(data, pos, limit);
      if (!on_match(TextOf(data, pos, end))) return false;
      pos = end;
    }
    return true;
  }
  while (pos < limit) {
    const void* found = memmem(data + pos, limit - pos, filter.data(), filter.size());
    if (!found) return true;
    const std::size_t hit = static_cast<std::size_t>(static_cast<const char*>(found) - data);
    // Records run from `pos` to each LF and every 2,998 bytes in between.
    const void* lf = memrchr(data + pos, kLineFeed, hit - pos);
    const std::size_t line_start =
        lf ? static_cast<std::size_t>(static_cast<const char*>(lf) - data) + 1 : pos;
    const std::size_t start =
        line_start + (hit - line_start) / kRecordTextBytes * kRecordTextBytes;
    const std::size_t end = RecordEnd(data, start, limit);
    const std::string_view text = TextOf(data, start, end);
    if (MatchesAllTerms(text, terms) && !on_match(text)) return false;
    pos = end;
  }
  return true;
}

}  // namespace

ScanEnd ScanMatchingRecords(int fd, const TermTable& terms, const MatchSink& on_match,
                            std::size_t chunk_bytes) {
  const std::string_view filter = FilterTerm(terms.Active());
  ChunkReader reader(fd, chunk_bytes);
  while (true) {
    const ChunkReader::Status status = reader.Fill();
    if (status == ChunkReader::Status::kReadError) return ScanEnd::kReadError;
    if (status == ChunkReader::Status::kEndOfFile) return ScanEnd::kEndOfFile;
    const std::size_t complete = reader.CompleteRecordsEnd();
    if (!ScanRecords(reader.data(), complete, terms, filter, on_match)) return ScanEnd::kStopped;
    reader.Consume(complete);
  }
}

ScanEnd ScanMatchingRecordsPlain(int fd, const TermTable& terms, const MatchSink& on_match) {
  RecordReader reader(fd);
  std::string record;
  while (true) {
    switch (reader.Next(record)) {
      case RecordReader::Status::kReadError:
        return ScanEnd::kReadError;
      case RecordReader::Status::kEndOfFile:
        return ScanEnd::kEndOfFile;
      case RecordReader::Status::kRecord:
        break;
    }
    const std::string_view text = RecordText(record);
    if (MatchesAllTerms(text, terms) && !on_match(text)) return ScanEnd::kStopped;
  }
}

}  // namespace tolvane
