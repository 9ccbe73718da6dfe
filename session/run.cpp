#include "session/run.h"

#include <sys/types.h>

#include <cerrno>
#include <utility>

#include "posix/unique_fd.h"
#include "search/terms.h"
#include "session/records_encoding.h"
#include "session/results_writer.h"
#include "texts/texts.h"

namespace tolvane {

namespace {

// The results a start folder cannot take are the user's alone, as the cache they go to.
constexpr mode_t kOwnResultsMode = 0600;

// True when the problem says the user may not write there (permissions, a read-only medium), as
// opposed to a full disk, a failing medium or another user's link.
bool MayNotWrite(const FileProblem& problem) {
  return problem.kind == FileProblem::Kind::kSystem &&
         (problem.error == EACCES || problem.error == EPERM || problem.error == EROFS);
}

// A new results file: the start folder's kekka.txt when the user may write it, else one in the
// caller's folder for such results, whose path goes to `elsewhere`. Nothing, with `problem` set
// to the start folder's, when neither can be made.
std::optional<WholeFileReplacement> BeginResults(int folder, const RunOptions& options,
                                                 FileProblem& problem, std::string& elsewhere) {
  std::optional<WholeFileReplacement> results = WholeFileReplacement::Begin(
      folder, kResultsFileName, problem,
      {.unnamed_allowed = options.unnamed_results_file, .keep_unwritable = true});
  if (results || !MayNotWrite(problem) || !options.results_fallback) return results;
  const ResultsFolder own = options.results_fallback();
  if (!own.fd.valid()) return results;
  FileProblem own_problem;
  std::optional<WholeFileReplacement> own_results =
      WholeFileReplacement::Begin(own.fd.get(), kResultsFileName, own_problem,
                                  {.unnamed_allowed = options.unnamed_results_file,
                                   .new_file_mode = kOwnResultsMode,
                                   .keep_unwritable = true});
  if (own_results) elsewhere = JoinPath(own.path, kResultsFileName);
  return own_results;
}

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
  if (!verdict.Searchable()) return Failure(RunStatus::kUnreadableEncoding, kUtf16RecordsMessage);
  const TextEncoding encoding = verdict.Encoding();
  const TermTable terms =
      SplitQuery(query, encoding, options.loose ? Folding::kLoose : Folding::kUnicodeForms);
  if (terms.unconvertible) {
    SearchResult failure = Failure(RunStatus::kUnconvertibleQuery, kUnconvertibleForRecordsMessage);
    failure.problem->character = terms.unconvertible;
    failure.problem->encoding = encoding;
    return failure;
  }
  FileProblem problem;
  std::string elsewhere;
  std::optional<WholeFileReplacement> results =
      BeginResults(folder.get(), options, problem, elsewhere);
  if (!results)
    return Failure(RunStatus::kCannotCreateResults, kCannotCreateResultsMessage, problem);

  ResultsWriter writer(results->fd());
  DisplayText display_text(encoding, &terms);
  std::int64_t matches = 0;
  bool shown_full = false;
  // The box's limits end only what is shown: every match is counted and written.
  const MatchSink on_match = [&](std::string_view text) {
    ++matches;
    if (!writer.Write(text)) return MatchReply::kStop;
    if (shown_full) return MatchReply::kShownFull;
    if (options.on_shown_record) options.on_shown_record(text);
    shown_full = !display_text.Append(text);
    return shown_full ? MatchReply::kShownFull : MatchReply::kKeepGoing;
  };
  const ScanEnd end = ScanMatchingRecords(records.fd.get(), terms, on_match, options.scan);
  records.fd.Close();

  // The new results file takes the old one's place only once every record is in it, so that a
  // count is never shown for records that did not reach it and a failure keeps the old file.
  if (!writer.Flush()) {
    return Failure(RunStatus::kWriteError, kCannotWriteResultsMessage,
                   ProblemFromErrno(writer.error()));
  }
  if (end == ScanEnd::kReadError) return Failure(RunStatus::kReadError, kCannotReadRecordsMessage);
  if (!results->Commit(problem)) {
    return Failure(RunStatus::kCannotCreateResults, kCannotCreateResultsMessage, problem);
  }
  SearchResult result;
  result.encoding = encoding;
  result.other_encoding_lines = verdict.other_lines;
  result.results_elsewhere = std::move(elsewhere);
  result.unknown_encoding = verdict.kind == EncodingVerdict::Kind::kUnknown;
  if (matches == 0) return result;
  result.status = RunStatus::kMatched;
  result.matches = matches;
  result.shown_records = display_text.Records();
  result.caption = CountCaption(matches, result.shown_records);
  const std::span<const std::string> active = terms.Active();
  result.shown =
      std::move(display_text)
          .MergeInFrontOf(earlier, std::vector<std::string>(active.begin(), active.end()),
                          options.loose);
  return result;
}

}  // namespace tolvane
