#include "session/run.h"

#include <utility>

#include "posix/unique_fd.h"
#include "search/terms.h"
#include "session/records_encoding.h"
#include "session/results_writer.h"
#include "texts/texts.h"

namespace tolvane {

namespace {

SearchResult Failure(RunStatus status, std::string_view message,
                     std::optional<FileProblem> file = std::nullopt) {
  SearchResult result;
  result.status = status;
  result.problem.emplace();
  result.problem->message = message;
  result.problem->file = std::move(file);
  return result;
}

}  // namespace

bool HoldsRecordsFile(const std::string& folder) {
  const UniqueFd fd = OpenFolder(folder);
  return fd.valid() && !OpenForReading(fd.get(), kRecordsFileName).problem;
}

SearchResult RunSearch(std::string_view query, const std::string& start_dir,
                       const ShownResults& earlier, const RunOptions& options) {
  // Both files are opened relative to the folder itself, so that the search can never land in
  // whatever the working directory happens to be.
  const UniqueFd folder = OpenFolder(start_dir);
  if (!folder.valid()) {
    return Failure(RunStatus::kNoRecordsFile, kNoRecordsFileMessage, ProblemFromErrno(errno));
  }
  OpenedFile records = OpenForReading(folder.get(), kRecordsFileName);
  if (records.problem) {
    return Failure(RunStatus::kNoRecordsFile, kNoRecordsFileMessage, records.problem);
  }
  const EncodingVerdict verdict = DetectRecordsEncoding(records.fd.get());
  if (!verdict.Searchable()) {
    const bool utf16 = verdict.kind == EncodingVerdict::Kind::kUtf16;
    return Failure(RunStatus::kUnreadableEncoding, utf16 ? kUtf16RecordsMessage : kUnknownEncodingMessage);
  }
  const TextEncoding encoding = verdict.Encoding();
  const TermTable terms =
      SplitTerms(query, encoding, options.loose ? Folding::kLoose : Folding::kUnicodeForms);
  if (terms.unconvertible) {
    SearchResult failure = Failure(RunStatus::kUnconvertibleQuery, kUnconvertibleForRecordsMessage);
    failure.problem->character = terms.unconvertible;
    failure.problem->encoding = encoding;
    return failure;
  }
  FileProblem problem;
  std::optional<WholeFileReplacement> results = WholeFileReplacement::Begin(
      folder.get(), kResultsFileName, problem, {.unnamed_allowed = options.unnamed_results_file});
  if (!results) return Failure(RunStatus::kCannotCreateResults, kCannotCreateResultsMessage, problem);

  ResultsWriter writer(results->fd());
  DisplayText display_text(encoding, &terms);
  int matches = 0;
  const MatchSink on_match = [&](std::string_view text) {
    ++matches;
    if (!writer.Write(text)) return false;
    if (matches > kShownRecords) return true;
    if (options.on_shown_record) options.on_shown_record(text);
    return display_text.Append(text);
  };
  const ScanEnd end = ScanMatchingRecords(records.fd.get(), terms, on_match, options.scan);
  records.fd.Close();

  // The new results file takes the old one's place only once every record is in it, so that a
  // count is never shown for records that did not reach it and a failure keeps the old file.
  if (!writer.Flush()) {
    return Failure(RunStatus::kWriteError, kCannotWriteResultsMessage, ProblemFromErrno(writer.error()));
  }
  if (end == ScanEnd::kReadError) return Failure(RunStatus::kReadError, kCannotReadRecordsMessage);
  if (!results->Commit(problem)) {
    return Failure(RunStatus::kCannotCreateResults, kCannotCreateResultsMessage, problem);
  }
  SearchResult result;
  result.encoding = encoding;
  result.other_encoding_lines = verdict.other_lines;
  if (matches == 0) return result;
  result.status = RunStatus::kMatched;
  result.matches = matches;
  result.caption = CountCaption(matches);
  const std::span<const std::string> active = terms.Active();
  result.shown = std::move(display_text)
                     .MergeInFrontOf(earlier, std::vector<std::string>(active.begin(), active.end()),
                                     options.loose);
  return result;
}

}  // namespace tolvane
