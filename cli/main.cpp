// tolvane-search: one search from a shell, through the same run as Enter in the window.
#include <sys/stat.h>

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "cli/options.h"
#include "encoding/cp932.h"
#include "encoding/sjis.h"
#include "encoding/text_encoding.h"
#include "posix/files.h"
#include "session/file_problem_text.h"
#include "session/run.h"
#include "state/history.h"
#include "state/own_files.h"
#include "state/start_dir.h"
#include "texts/texts.h"

namespace tolvane {
namespace {

constexpr int kExitMatched = 0;
constexpr int kExitNoMatch = 1;
constexpr int kExitError = 2;

int Error(const std::string& message) {
  std::fprintf(stderr, "tolvane-search: %s\n", message.c_str());
  return kExitError;
}

void Print(std::string_view bytes) { std::fwrite(bytes.data(), 1, bytes.size(), stdout); }

// The shown records as read, LF line ends and all, in UTF-8. Converted as one text, so that a
// character split between two pieces of a long line comes out whole, as it does in the box.
std::string ShownRecords(std::string records, TextEncoding encoding) {
  if (!records.empty() && records.back() != kLineFeed) records += kLineFeed;
  return ToUtf8(encoding, records);
}

// A run's message with what stopped it: the reason after it, or, for a records file that is
// simply missing, the folder first, as a shell user reads a path's trouble.
std::string ProblemText(const RunProblem& problem, const std::string& start_dir) {
  const std::string message = RunProblemMessage(problem);
  if (!problem.file) return message;
  const std::string reason = FileProblemReason(*problem.file);
  if (!reason.empty()) return message + reason;
  return problem.file->kind == FileProblem::Kind::kMissing ? start_dir + ": " + message : message;
}

int Run(const CliOptions& options) {
  if (options.terms.empty()) return Error("no search terms given (see --help)");
  std::string query_utf8;
  for (std::size_t i = 0; i < options.terms.size(); ++i) {
    if (i > 0) query_utf8 += ' ';
    query_utf8 += options.terms[i];
  }
  if (query_utf8.empty()) return Error("the query is empty; nothing was searched");
  // Any character may be searched for: the run writes the query in the records file's encoding.
  const Cp932Encoding sjis = Utf8ToCp932(query_utf8);
  if (sjis.malformed_utf8) return Error("the query is not UTF-8; nothing was searched");
  if (!FitsQueryLimit(query_utf8)) {
    return Error(
        "the query is too long: the window takes 299 bytes of Shift-JIS, each blank "
        "counting as a full-width blank and each character Shift-JIS lacks as two; "
        "nothing was searched");
  }

  std::string start_dir = options.directory;
  if (start_dir.empty()) {
    std::optional<std::string> cwd = CurrentDirectory();
    if (!cwd)
      return Error(std::string("cannot read the current directory: ") + std::strerror(errno));
    start_dir = std::move(*cwd);
  }
  // The folder is checked here only to say clearly what is wrong with it; the run itself opens
  // its files in it and never searches anywhere else.
  struct stat folder {};
  if (::stat(start_dir.c_str(), &folder) != 0) {
    return Error("cannot search in " + start_dir + ": " + std::strerror(errno));
  }
  if (!S_ISDIR(folder.st_mode)) return Error("cannot search in " + start_dir + ": not a directory");

  std::string shown;
  RunOptions run_options;
  run_options.on_shown_record = [&shown](std::string_view record) { shown += record; };
  run_options.loose = options.loose;
  // The same folder of the user's cache as the window's for this folder, whatever path named it.
  run_options.results_fallback = [&start_dir] {
    ResultsFolder own;
    own.fd = OpenOwnResultsFolder(ResolvedFolder(start_dir), own.path);
    return own;
  };
  const SearchResult result = RunSearch(query_utf8, start_dir, ShownResults{}, run_options);
  if (result.problem) return Error(ProblemText(*result.problem, start_dir));
  if (!result.results_elsewhere.empty()) {
    std::string told = Cp932ToUtf8(kResultsElsewhereMessage);
    told.replace(told.find("%1"), 2, result.results_elsewhere);
    std::fprintf(stderr, "tolvane-search: %s\n", told.c_str());
  }
  if (result.unknown_encoding) {
    std::fprintf(stderr, "tolvane-search: %s\n",
                 Cp932ToUtf8(kUnknownEncodingSearchedMessage).c_str());
  }
  if (result.other_encoding_lines) {
    std::fprintf(stderr, "tolvane-search: %s\n", Cp932ToUtf8(kOtherEncodingLinesMessage).c_str());
  }
  const bool matched = result.status == RunStatus::kMatched;
  switch (options.mode) {
    case OutputMode::kCount:
      std::printf("%" PRId64 "\n", result.matches);
      break;
    case OutputMode::kCaption:
      Print(Cp932ToUtf8(matched ? std::string_view(result.caption) : kUsageHint));
      Print("\n");
      break;
    case OutputMode::kRaw:
      Print(result.shown.text);
      break;
    case OutputMode::kRecords:
      if (matched) Print(ShownRecords(std::move(shown), result.encoding));
      break;
  }
  // A write that failed before the final flush leaves only the stream's error flag behind.
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
    return Error(std::string("cannot write the output: ") + std::strerror(errno));
  }
  return matched ? kExitMatched : kExitNoMatch;
}

}  // namespace
}  // namespace tolvane

int main(int argc, char** argv) {
  // Ctrl+C or a kill while kekka.txt is written leaves no temporary file, wherever it has a name.
  tolvane::RemoveTemporaryNameOnEndingSignals();
  const std::vector<std::string> args(argv + 1, argv + argc);
  const tolvane::ParsedOptions parsed = tolvane::ParseOptions(args);
  if (!parsed.error.empty()) {
    std::fprintf(stderr, "tolvane-search: %s\n%s", parsed.error.c_str(), tolvane::kUsage);
    return 2;
  }
  if (parsed.options.help) {
    std::fputs(tolvane::kUsage, stdout);
    return 0;
  }
  if (parsed.options.version) {
    std::printf("tolvane-search %s\n", TOLVANE_VERSION);
    return 0;
  }
  return tolvane::Run(parsed.options);
}
