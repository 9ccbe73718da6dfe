#include "session/run.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "search/scan.h"
#include "search/terms.h"
#include "posix/unique_fd.h"
#include "session/results_writer.h"
#include "texts/texts.h"

namespace tolvane {

namespace {

// Only a regular file is a records file. A directory opens on Linux, a FIFO nobody writes to would
// block the open and a device such as /dev/zero never ends; each counts as missing. The open does
// not wait for a FIFO's writer.
UniqueFd OpenRecordsFile(int folder) {
  UniqueFd fd(::openat(folder, kRecordsFileName, O_RDONLY | O_CLOEXEC | O_NONBLOCK));
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

RunResult FailForMissingRecords(const DisplayOps& display) {
  const auto& show = display.show_missing_records ? display.show_missing_records : display.show_error;
  show(kNoRecordsFileMessage);
  return {0, RunStatus::kNoRecordsFile};
}

// The folder the files are opened in; not open when `start_dir` is empty or not a folder.
UniqueFd OpenFolder(const std::string& start_dir) {
  if (start_dir.empty()) return UniqueFd();
  return UniqueFd(::open(start_dir.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
}

}  // namespace

bool HoldsRecordsFile(const std::string& folder) {
  const UniqueFd fd = OpenFolder(folder);
  return fd.valid() && OpenRecordsFile(fd.get()).valid();
}

RunResult RunSearch(std::string_view query, const std::string& start_dir, const DisplayOps& display,
                    std::string& accumulated, const RunOptions& options) {
  const TermTable terms = SplitTerms(query);
  DisplayText display_text;

  // Both files are opened relative to the folder itself, so that the search can never land in
  // whatever the working directory happens to be.
  const UniqueFd folder = OpenFolder(start_dir);
  UniqueFd records = folder.valid() ? OpenRecordsFile(folder.get()) : UniqueFd();
  if (!records.valid()) return FailForMissingRecords(display);
  UniqueFd results(
      ::openat(folder.get(), kResultsFileName, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
  if (!results.valid()) {
    return Fail(display, kCannotCreateResultsMessage, RunStatus::kCannotCreateResults);
  }

  ResultsWriter writer(results.get());
  int matches = 0;
  const MatchSink on_match = [&](std::string_view text) {
    ++matches;
    if (!writer.Write(text)) return false;
    if (matches > kShownRecords) return true;
    if (options.on_shown_record) options.on_shown_record(text);
    return display_text.Append(text);
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

  const std::size_t block_bytes = display_text.ClosedBytes();
  accumulated = std::move(display_text).MergeInFrontOf(accumulated);
  if (options.on_newest_block) options.on_newest_block(block_bytes, terms.Active());
  display.set_results_text(accumulated);
  display.set_caption(CountCaption(matches));
  return {matches, RunStatus::kMatched};
}

}  // namespace tolvane
