#include "search/scan.h"

#include <sys/stat.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "search/record_reader.h"
#include "search/feed.h"
#include "search/sjis.h"
#include "search/unique_fd.h"

namespace tolvane {

namespace {

// The matching records of the second half, held until the first half has been handed on. The
// space is taken before the second half starts, so holding never allocates on the other thread.
class HeldMatches {
 public:
  HeldMatches() { bytes_.reserve(kHeldMatchBytes); }

  // False when the record does not fit: the second half then gives up.
  bool Hold(std::string_view text) {
    if (bytes_.size() + sizeof(std::uint32_t) + text.size() > bytes_.capacity()) return false;
    const auto length = static_cast<std::uint32_t>(text.size());
    bytes_.append(reinterpret_cast<const char*>(&length), sizeof length);
    bytes_.append(text);
    return true;
  }

  // False when the sink wants no more.
  bool HandOn(const MatchSink& on_match) const {
    for (std::size_t at = 0; at < bytes_.size();) {
      std::uint32_t length;
      std::memcpy(&length, bytes_.data() + at, sizeof length);
      at += sizeof length;
      if (!on_match(std::string_view(bytes_).substr(at, length))) return false;
      at += length;
    }
    return true;
  }

 private:
  std::string bytes_;
};

}  // namespace

ScanEnd ScanMatchingRecords(int fd, const TermTable& terms, const MatchSink& on_match,
                            const ScanOptions& options) {
  if (options.plain) return ScanMatchingRecordsPlain(fd, terms, on_match);
  const std::size_t window_bytes = options.window_bytes;
  const bool allow_mapping = options.map_file;
  const std::size_t split_min_bytes = options.split_min_bytes;
  RegionScanner scanner(terms, on_match);
  if (!allow_mapping) return FeedRead(fd, scanner, window_bytes);
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
      static_cast<std::size_t>(st.st_size) < split_min_bytes) {
    return FeedMapped(fd, scanner, window_bytes);
  }
  HeldMatches held;
  const MatchSink hold = [&held](std::string_view text) { return held.Hold(text); };
  RegionScanner second(terms, hold);
  return FeedMappedInTwo(fd, static_cast<std::size_t>(st.st_size), scanner, second,
                         [&] { return held.HandOn(on_match); }, window_bytes);
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
