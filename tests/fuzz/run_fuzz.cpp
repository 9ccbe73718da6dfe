// Two searches in a row over a fuzzed records file. Each run is checked against a model of the
// run's rules built on the plain scan, and the fast scan must leave the same results file, make the
// same display calls and return the same counts as the plain scan.
// Input: encoding byte, window byte, repeat byte, then query 0xFF second query 0xFF older box text
// 0xFF records body. The records file is the body repeated, so that small inputs reach the
// 500-record and 74,500-byte limits; the encoding byte writes the body, taken as Shift-JIS, in
// UTF-8 (1), UTF-8 after a byte-order mark (2) or EUC-JP (3), else leaves it as it is, and the
// run finds out which it is.
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>

#include "fuzz_util.h"
#include "search/scan.h"
#include "search/scan_sizes.h"
#include "search/terms.h"
#include "session/run.h"
#include "texts/texts.h"

namespace tolvane::fuzz {
namespace {

constexpr std::size_t kMaxRecordsFile = std::size_t{256} << 10;
// The display text of one search: 74,500 bytes, the record that passes them, and the closing CR LF.
constexpr std::size_t kMaxBlock = kDisplayStopBytes + (kRecordBufferBytes - 1) + 2;

struct Outcome {
  std::vector<std::pair<std::int64_t, RunStatus>> results;
  std::vector<std::string> results_files;
  std::vector<std::string> calls;
  std::string box;
  bool operator==(const Outcome&) const = default;
};

// The older text kept under a new block: all of it below 75,000 bytes, else up to its last line
// end that keeps the whole within 75,000 bytes, else nothing.
std::string ModelMerge(const std::string& block, const std::string& older) {
  if (block.size() + older.size() < kAccumulatedCutBytes) return block + older;
  for (std::size_t c = kAccumulatedCutBytes - std::min(block.size(), kAccumulatedCutBytes); c >= 2;
       --c) {
    if (older.compare(c - 2, 2, "\r\n") == 0) return block + older.substr(0, c);
  }
  return block;
}

std::string WithCrLf(std::string_view text) {
  std::string out;
  for (const char c : text) out += c == '\n' ? std::string("\r\n") : std::string(1, c);
  return out;
}

// One run by its rules: every match counted and written, the first 500 shown until the shown
// text passes 74,500 bytes, then the block put over the older text.
void ExpectRunByTheRules(const std::string& dir, std::string_view query, TextEncoding encoding,
                         const std::string& before, const Outcome& outcome,
                         std::size_t calls_before) {
  std::vector<std::string> matching;
  const int fd = ::open((dir + "/" + kRecordsFileName).c_str(), O_RDONLY | O_CLOEXEC);
  FUZZ_CHECK(fd >= 0);
  FUZZ_CHECK(ScanMatchingRecords(fd, SplitQuery(query, encoding),
                                 [&](std::string_view text) {
                                   matching.emplace_back(text);
                                   return MatchReply::kKeepGoing;
                                 },
                                 {.plain = true}) == ScanEnd::kEndOfFile);
  ::close(fd);

  std::int64_t matches = 0;
  std::int64_t shown_records = 0;
  std::string written;
  std::string block;
  for (const std::string& text : matching) {
    ++matches;
    written += WithCrLf(text);
    if (shown_records == kShownRecords || block.size() > kDisplayStopBytes) continue;
    ++shown_records;
    std::string shown = text;
    // Only in Shift-JIS can a line feed be the second byte of a character.
    const std::size_t lf =
        encoding == TextEncoding::kShiftJis ? ModelFind(shown, "\n") : shown.find('\n');
    if (lf != std::string::npos) shown.insert(lf, "\r");
    block += shown;
  }
  FUZZ_CHECK(outcome.results.back().first == matches);
  FUZZ_CHECK(outcome.results_files.back() == written);
  if (matches == 0) {
    FUZZ_CHECK(outcome.results.back().second == RunStatus::kNoMatch);
    FUZZ_CHECK(outcome.box == before);
    FUZZ_CHECK(outcome.calls.size() == calls_before);
    return;
  }
  block += "\r\n";
  FUZZ_CHECK(block.size() <= kMaxBlock);
  FUZZ_CHECK(outcome.results.back().second == RunStatus::kMatched);
  FUZZ_CHECK(outcome.box == ModelMerge(block, before));
  FUZZ_CHECK(outcome.calls.size() == calls_before + 2);
  FUZZ_CHECK(outcome.calls[calls_before] == "box " + outcome.box);
  FUZZ_CHECK(outcome.calls[calls_before + 1] == "caption " + CountCaption(matches, shown_records));
}

Outcome Search(const std::vector<std::string>& queries, const std::string& older,
               const RunOptions& options) {
  const std::string& dir = ScratchFolder();
  // Each sequence starts without a results file, whatever the last input left.
  std::filesystem::remove(dir + "/" + kResultsFileName);
  Outcome outcome;
  ShownResults shown{older, {{older.size(), {}}}};
  outcome.box = older;
  for (const std::string& query : queries) {
    const std::string before = outcome.box;
    const std::size_t calls_before = outcome.calls.size();
    const std::string results_before = ReadWholeFile(dir + "/" + kResultsFileName);
    const SearchResult result = RunSearch(query, dir, shown, options);
    // What a screen shows of the result, in the order it shows it.
    if (result.problem) outcome.calls.push_back("error " + std::string(result.problem->message));
    if (result.status == RunStatus::kMatched) {
      shown = result.shown;
      outcome.box = shown.text;
      outcome.calls.push_back("box " + shown.text);
      outcome.calls.push_back("caption " + result.caption);
      std::size_t covered = 0;
      for (const ShownBlock& block : shown.blocks) covered += block.bytes;
      FUZZ_CHECK(covered == shown.text.size());  // the blocks cover the box exactly
    }
    outcome.results.emplace_back(result.matches, result.status);
    outcome.results_files.push_back(ReadWholeFile(dir + "/" + kResultsFileName));
    if (result.problem) {
      // A file that cannot be searched, or a query it cannot hold: nothing shown, nothing counted.
      FUZZ_CHECK(result.matches == 0 && outcome.box == before);
      FUZZ_CHECK(outcome.results_files.back() == results_before);
      FUZZ_CHECK(result.status == RunStatus::kUnreadableEncoding ||
                 result.status == RunStatus::kUnconvertibleQuery ||
                 result.status == RunStatus::kReadError ||
                 result.status == RunStatus::kCannotCreateResults ||
                 result.status == RunStatus::kWriteError);
    } else if (options.scan.plain) {
      ExpectRunByTheRules(dir, query, result.encoding, before, outcome, calls_before);
    }
  }
  return outcome;
}

}  // namespace
}  // namespace tolvane::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tolvane;
  using namespace tolvane::fuzz;
  std::string_view input = AsText(data, size);
  const unsigned char encoding_byte = TakeByte(input);
  const unsigned char window_byte = TakeByte(input);
  const std::size_t repeat = 1 + TakeByte(input) * 4;
  const std::vector<std::string> f = Fields(input, 4);
  const ModelEncoding encoding = encoding_byte == 1 || encoding_byte == 2 ? ModelEncoding::kUtf8
                                 : encoding_byte == 3                     ? ModelEncoding::kEucJp
                                                      : ModelEncoding::kShiftJis;
  const std::string body = ModelReencoded(encoding, f[3]);

  std::string records = encoding_byte == 2 ? "\xef\xbb\xbf" : "";
  for (std::size_t i = 0; i < repeat && records.size() + body.size() <= kMaxRecordsFile; ++i) {
    records += body;
  }
  WriteWholeFile(ScratchFolder() + "/" + kRecordsFileName, records);
  // The box never holds more than one search's block can leave in it.
  const std::string older = f[2].substr(0, kMaxBlock);

  const std::vector<std::string> queries{f[0], f[1]};
  const Outcome plain = Search(queries, older, {.scan = {.plain = true}});
  // Small windows and reads put record ends, CR LF pairs and Ctrl+Z across their edges.
  RunOptions fast_scan;
  // Reads of a byte or two over a large file would only slow the fuzzer down.
  const std::size_t window = window_byte < 128 ? 1 + window_byte : std::size_t{window_byte} << 8;
  fast_scan.scan.read_bytes = std::max(window, records.size() / 256);
  FUZZ_CHECK(Search(queries, older, fast_scan) == plain);
  fast_scan.scan.split_min_bytes = 1;  // in two halves at once
  FUZZ_CHECK(Search(queries, older, fast_scan) == plain);
  return 0;
}
