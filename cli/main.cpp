// tolvane-search: one search from a shell, through the same run as Enter in the window.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cli/options.h"
#include "screen/usage_hint.h"
#include "search/cp932.h"
#include "search/run.h"
#include "search/sjis.h"
#include "state/history.h"

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

// The shown records of a first search: the box's text without the empty line that closes the
// block, with LF line ends.
std::string ShownRecords(std::string_view box) {
  box.remove_suffix(kCrLf.size());
  std::string text;
  text.reserve(box.size());
  for (std::size_t i = 0; i < box.size(); ++i) {
    if (box[i] == kCarriageReturn && i + 1 < box.size() && box[i + 1] == kLineFeed) continue;
    text += box[i];
  }
  if (!text.empty() && text.back() != kLineFeed) text += kLineFeed;
  return Cp932ToUtf8(text);
}

int Run(const CliOptions& options) {
  if (options.terms.empty()) return Error("no search terms given (see --help)");
  std::string query_utf8;
  for (std::size_t i = 0; i < options.terms.size(); ++i) {
    if (i > 0) query_utf8 += ' ';
    query_utf8 += options.terms[i];
  }
  if (query_utf8.empty()) return Error("the query is empty; nothing was searched");
  const Cp932Encoding query = Utf8ToCp932(query_utf8);
  if (query.malformed_utf8) return Error("the query is not UTF-8; nothing was searched");
  if (query.unconvertible) {
    return Error("the character " + DescribeCharacter(*query.unconvertible) +
                 " cannot be written in Shift-JIS (CP932); nothing was searched");
  }
  if (!FitsHistorySlot(query.sjis)) {
    return Error("the query is too long: the window takes 299 bytes of Shift-JIS, each blank "
                 "counting as a full-width blank; nothing was searched");
  }

  if (!options.directory.empty() && ::chdir(options.directory.c_str()) != 0) {
    return Error("cannot change to " + options.directory + ": " + std::strerror(errno));
  }
  std::vector<char> cwd(4096);
  if (!::getcwd(cwd.data(), cwd.size())) {
    return Error(std::string("cannot read the current directory: ") + std::strerror(errno));
  }
  const std::string start_dir = cwd.data();

  std::string caption;
  std::string accumulated;
  const DisplayOps display{
      [](std::string_view message) { Error(Cp932ToUtf8(message)); },
      [](std::string_view) {},
      [&caption](std::string_view text) { caption = text; },
  };
  const RunResult result = RunSearch(query.sjis, start_dir, display, accumulated);
  switch (result.status) {
    case RunStatus::kMatched:
    case RunStatus::kNoMatch:
      break;
    default:
      return kExitError;
  }
  const bool matched = result.status == RunStatus::kMatched;
  switch (options.mode) {
    case OutputMode::kCount:
      std::printf("%d\n", result.matches);
      break;
    case OutputMode::kCaption:
      Print(Cp932ToUtf8(matched ? std::string_view(caption) : kUsageHint));
      Print("\n");
      break;
    case OutputMode::kRaw:
      Print(accumulated);
      break;
    case OutputMode::kRecords:
      if (matched) Print(ShownRecords(accumulated));
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
