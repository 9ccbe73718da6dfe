#include "search/scan.h"

#include <sys/stat.h>

#include <string>

#include "search/mapped_feed.h"
#include "search/read_feed.h"
#include "search/record_reader.h"
#include "search/region_scanner.h"
#include "search/terms.h"
#include "search/two_halves.h"

namespace tolvane {

namespace {

ScanEnd ScanRecordByRecord(int fd, const TermTable& terms, const MatchSink& on_match,
                           const ProgressHook& on_progress) {
  RecordReader reader(fd);
  std::string record;
  std::size_t since_progress = 0;
  while (true) {
    const ScanEnd end = reader.Next(record);
    if (end != ScanEnd::kMore) return end;
    since_progress += record.size();
    if (since_progress >= kScanStepBytes) {
      since_progress = 0;
      if (on_progress) on_progress();
    }
    const std::string_view text = RecordText(record);
    if (MatchesAllTerms(text, terms) && !on_match(text)) return ScanEnd::kStopped;
  }
}

}  // namespace

ScanEnd ScanMatchingRecords(int fd, const TermTable& terms, const MatchSink& on_match,
                            const ScanOptions& options) {
  if (options.plain) return ScanRecordByRecord(fd, terms, on_match, options.on_progress);
  // Only a regular file with bytes in it can be mapped; anything else is read.
  struct stat st {};
  const bool mappable =
      options.map_file && ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0;
  const auto size = mappable ? static_cast<std::size_t>(st.st_size) : 0;
  if (mappable && size >= options.split_min_bytes) {
    return ScanInTwoHalves(fd, size, terms, on_match, options);
  }
  RegionScanner scanner(&terms, &on_match);
  if (!mappable) return FeedRead(fd, scanner, options);
  return FeedMapped(fd, scanner, size, options);
}

}  // namespace tolvane
