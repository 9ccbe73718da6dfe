#include "search/scan.h"

#include <string>

#include "search/record_reader.h"
#include "search/feed.h"
#include "search/sjis.h"
#include "search/unique_fd.h"

namespace tolvane {

ScanEnd ScanMatchingRecords(int fd, const TermTable& terms, const MatchSink& on_match,
                            std::size_t window_bytes, bool allow_mapping) {
  RegionScanner scanner(terms, on_match);
  return allow_mapping ? FeedMapped(fd, scanner, window_bytes) : FeedRead(fd, scanner, window_bytes);
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
