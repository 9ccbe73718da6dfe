// The fast scan against the plain record-by-record path, over generated files built to put every
// edge (CR LF, Ctrl+Z, NUL, lead bytes before LF, long lines) across read boundaries.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "scan_paths.h"
#include "session/run.h"
#include "test_util.h"
#include "texts/texts.h"

namespace tolvane {
namespace {

// Bytes that make trouble, weighted towards Shift-JIS text and line structure.
std::string RandomRecordsFile(std::mt19937& rng, std::size_t size) {
  static const std::vector<std::string> pieces = {
      "a", "b", "A", " ", "\x81\x40", "\x83\x41", "\x83\x5c", "\x95\x5c", "\x88\x9f", "\x81",
      "\x9f", "\\", "\r\n", "\n", "\r", std::string(1, '\0'), "ab", "\x88\x9f\x88\x9f", "\xe0",
      "\xfc\x40",
      // Twin codes: Ⅰ as NEC's and IBM's, ∵ in all three codes, a kanji as NEC-selected and IBM.
      "\x87\x54", "\xfa\x4a", "\x81\xe6", "\x87\x9a", "\xfa\x5b", "\xed\x40", "\xfa\x5c", "\x87"};
  std::string text;
  while (text.size() < size) {
    const unsigned roll = rng() % 100000;
    if (roll < 800) {
      text += std::string(rng() % 7000, "xa\x83"[rng() % 3]);  // a line longer than one read
    } else {
      text += pieces[rng() % pieces.size()];
    }
  }
  return text;
}

std::string RandomQuery(std::mt19937& rng) {
  static const std::vector<std::string> words = {"a",
                                                 "b",
                                                 "A",
                                                 "ab",
                                                 "\x83\x41",
                                                 "\\",
                                                 "\x9f\x88",
                                                 "\x88\x9f",
                                                 "\x81",
                                                 "\x40",
                                                 "\r",
                                                 " ",
                                                 "\x81\x40",
                                                 "x",
                                                 "xa",
                                                 "\x87\x54",
                                                 "\xfa\x4a",
                                                 "\xfa\x5b",
                                                 "\xed\x40",
                                                 "a\xfa\x4a",
                                                 "\x87\x54\x81\xe6",
                                                 "\x87\x54"
                                                 "b",
                                                 "\x9a\xfa"};
  std::string query;
  const int count = 1 + rng() % 3;
  for (int i = 0; i < count; ++i) query += (i ? " " : "") + words[rng() % words.size()];
  return query;
}

struct Outcome {
  std::pair<std::int64_t, RunStatus> result;
  std::string results_file;
  std::string box;
  std::vector<std::string> calls;
};

Outcome SearchOnce(const testing::ScratchDir& dir, std::string_view query,
                   const ScanOptions& scan) {
  Outcome outcome;
  RunOptions options;
  options.scan = scan;
  const SearchResult result = RunSearch(query, dir.path(), {}, options);
  outcome.result = {result.matches, result.status};
  outcome.box = result.shown.text;
  if (result.problem) outcome.calls.push_back("error " + std::string(result.problem->message));
  if (result.status == RunStatus::kMatched) outcome.calls.push_back("caption " + result.caption);
  outcome.results_file = testing::ReadFile(dir / kResultsFileName);
  return outcome;
}

TEST(FastScan, MatchesThePlainPathByteForByte) {
  std::mt19937 rng(20071220);
  testing::ScratchDir dir;
  long total_matches = 0;
  for (int file = 0; file < 60; ++file) {
    std::string records = RandomRecordsFile(rng, 200 + rng() % 30000);
    if (file % 3 == 0) records[rng() % records.size()] = '\x1a';  // the file ends there
    testing::WriteFile(dir / kRecordsFileName, records);
    for (int q = 0; q < 8; ++q) {
      const std::string query = RandomQuery(rng);
      const Outcome plain = SearchOnce(dir, query, {.plain = true});
      testing::ForEachScanWay(
          testing::AllScanWays(1 + rng() % 13), [&](const testing::ScanWay& way) {
            const Outcome fast = SearchOnce(dir, query, way.scan);
            ASSERT_EQ(fast.result, plain.result) << "file " << file << " query " << q;
            ASSERT_EQ(fast.results_file, plain.results_file) << "file " << file;
            ASSERT_EQ(fast.box, plain.box);
            ASSERT_EQ(fast.calls, plain.calls);
          });
      if (HasFatalFailure()) return;
      total_matches += plain.result.first;
    }
  }
  EXPECT_GT(total_matches, 1000);  // the generator must keep producing files worth comparing
}

}  // namespace
}  // namespace tolvane
