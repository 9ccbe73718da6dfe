#include "search/scan.h"

#include <sys/stat.h>

#include <string>

#include "posix/io.h"
#include "search/filter_choice.h"
#include "search/read_feed.h"
#include "search/record_reader.h"
#include "search/region_scanner.h"
#include "search/two_halves.h"

namespace tolvane {

namespace {

ScanEnd ScanRecordByRecord(int fd, const TermTable& terms, const MatchSink& on_match,
                           const ProgressHook& on_progress) {
  RecordReader reader(fd, terms.encoding);
  std::string record;
  std::size_t since_progress = 0;
  while (true) {
    switch (reader.Next(record)) {
      case RecordReader::Read::kRecord:
        break;
      case RecordReader::Read::kEnd:
        return ScanEnd::kEndOfFile;
      case RecordReader::Read::kError:
        return ScanEnd::kReadError;
    }
    since_progress += record.size();
    if (since_progress >= kScanReadBytes) {
      since_progress = 0;
      if (on_progress) on_progress();
    }
    const std::string_view text = RecordText(record);
    if (MatchesAllTerms(text, terms) && EndsScan(on_match(text))) return ScanEnd::kStopped;
  }
}

}  // namespace

ScanEnd ScanMatchingRecords(int fd, const TermTable& terms, const MatchSink& on_match,
                            const ScanOptions& options) {
  if (options.plain) return ScanRecordByRecord(fd, terms, on_match, options.on_progress);
  // The file's start, which every part of the scan chooses its filter from.
  const std::string sample = PreadSample(fd, kFilterSampleBytes);
  const FilterChoice choice = ChooseFilter(terms, sample);
  // A UTF-8 file's byte-order mark is the file's, not its first record's.
  const std::uint64_t begin =
      terms.encoding == TextEncoding::kUtf8 && sample.starts_with(kUtf8ByteOrderMark)
          ? kUtf8ByteOrderMark.size()
          : 0;
  struct stat st {};
  const bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  const auto size = regular ? static_cast<std::size_t>(st.st_size) : 0;
  if (size > 0 && size >= options.split_min_bytes) {
    return ScanInTwoHalves(fd, begin, size, terms, choice, on_match, options);
  }
  RegionScanner scanner(&terms, &choice, &on_match);
  return ScanEndOf(
      ScanRange(fd, scanner, begin, std::nullopt, options.read_bytes, options.on_progress));
}

}  // namespace tolvane
