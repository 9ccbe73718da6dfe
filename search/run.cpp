#include "search/run.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "search/primitives.h"
#include "search/results_writer.h"
#include "search/scan.h"
#include "search/sjis.h"
#include "search/terms.h"
#include "search/unique_fd.h"

namespace tolvane {

namespace {

// Only a regular file is a records file. A directory opens on Linux, a FIFO nobody writes to would
// block the open and a device such as /dev/zero never ends; each counts as missing. The open does
// not wait for a FIFO's writer.
UniqueFd OpenRecordsFile() {
  UniqueFd fd(::open(kRecordsFileName, O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  struct stat st {};
  if (!fd.valid() || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return UniqueFd();
  const int flags = ::fcntl(fd.get(), F_GETFL);
  if (flags < 0 || ::fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK) != 0) return UniqueFd();
  return fd;
}

RunResult Fail(const DisplayOps& display, std::string_view message, RunStatus status) {
  display.show_error(message);
  return {0, status};
}

}  // namespace

std::string CountCaption(int matches) {
  const std::string_view format = matches > kShownRecords ? kManyMatchesCaption : kMatchesCaption;
  const std::size_t at = format.find("%d");
  std::string caption(format.substr(0, at));
  caption += std::to_string(matches);
  caption += format.substr(at + 2);
  return caption;
}

std::string MergeResults(std::string block, std::string_view older) {
  if (block.size() + older.size() < kAccumulatedCutBytes) {
    block += older;
    return block;
  }
  // Keep the older text up to its last line end that lets the whole stay within 75,000 bytes.
  // Looking further back than the first 500 positions, and dropping the older text entirely when
  // there is no such line end, keeps the new block whole and first and the box's text bounded.
  std::size_t keep = 0;
  if (block.size() + 2 <= kAccumulatedCutBytes) {
    for (std::size_t c = kAccumulatedCutBytes - block.size(); c >= 2; --c) {
      if (older[c - 2] == kCarriageReturn && older[c - 1] == kLineFeed) {
        keep = c;
        break;
      }
    }
  }
  block += older.substr(0, keep);
  return block;
}

RunResult RunSearch(std::string_view query, const std::string& start_dir, const DisplayOps& display,
                    std::string& accumulated, const RunOptions& options) {
  const TermTable terms = SplitTerms(query);
  std::string display_text;
  display_text.reserve(kDisplayStopBytes + kRecordBufferBytes + kCrLf.size());

  (void)::chdir(start_dir.c_str());  // on failure the files are looked for where we are
  UniqueFd records = OpenRecordsFile();
  if (!records.valid()) return Fail(display, kNoRecordsFileMessage, RunStatus::kNoRecordsFile);
  UniqueFd results(::open(kResultsFileName, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
  if (!results.valid()) {
    return Fail(display, kCannotCreateResultsMessage, RunStatus::kCannotCreateResults);
  }

  ResultsWriter writer(results.get());
  int matches = 0;
  const MatchSink on_match = [&](std::string_view text) {
    ++matches;
    if (!writer.Write(text)) return false;
    if (matches > kShownRecords) return true;
    const std::size_t record_start = display_text.size();
    display_text += text;
    ReplaceFirst(display_text, kLf, kCrLf, record_start);
    return display_text.size() <= kDisplayStopBytes;
  };
  const ScanEnd end = ScanMatchingRecords(records.get(), terms, on_match, options.scan);

  // The results file is finished before anything is shown, so that a count is never shown for
  // records that did not reach it.
  const bool written = writer.Flush() && results.Close();
  records.Close();
  if (!written) return Fail(display, kCannotWriteResultsMessage, RunStatus::kWriteError);
  if (end == ScanEnd::kReadError) {
    return Fail(display, kCannotReadRecordsMessage, RunStatus::kReadError);
  }
  if (matches == 0) return {0, RunStatus::kNoMatch};

  display_text += kCrLf;
  accumulated = MergeResults(std::move(display_text), accumulated);
  display.set_results_text(accumulated);
  display.set_caption(CountCaption(matches));
  return {matches, RunStatus::kMatched};
}

}  // namespace tolvane
