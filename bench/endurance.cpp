// Endurance: many searches in a row through RunSearch with one accumulated results text, as the
// window runs them, over a generated Shift-JIS bibliography. Prints the accumulated text's size
// and the process's resident memory at the start, every 1,000 searches and at the end; the
// figures must stay flat however long it runs.
//
//   endurance [--searches N] [--mib M]      defaults: 10,000 searches over 4 MiB of records
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "encoding/cp932.h"
#include "search/scan_sizes.h"
#include "session/run.h"
#include "texts/texts.h"

namespace {

using namespace tolvane;

// SplitMix64, so that the same arguments always give the same file and the same queries.
class Random {
 public:
  explicit Random(std::uint64_t seed) : state_(seed) {}
  std::uint64_t Next() {
    std::uint64_t z = (state_ += 0x9e3779b97f4a7c15ULL);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
  }
  std::size_t Below(std::size_t n) { return static_cast<std::size_t>(Next() % n); }

 private:
  std::uint64_t state_;
};

// Double-byte characters from the kanji rows of code page 932 (lead 0x88-0x9f, trail 0x40-0x7e):
// a small pool, so that one character matches thousands of records and three match a few.
std::string Kanji(std::size_t index) {
  const std::size_t lead = 0x88 + index / 63 % 24;
  const std::size_t trail = 0x40 + index % 63;
  return {static_cast<char>(lead), static_cast<char>(trail)};
}
constexpr std::size_t kKanjiPool = 400;

std::string Word(Random& random, std::size_t length) {
  std::string word;
  // Low indexes come up far more often, as common words do.
  for (std::size_t i = 0; i < length; ++i) {
    word += Kanji(std::min(random.Below(kKanjiPool), random.Below(kKanjiPool)));
  }
  return word;
}

// Records of a few words each, now and then a line longer than one read of 2,998 bytes.
void WriteRecords(const std::string& path, std::size_t bytes) {
  Random random(20071220);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  std::size_t written = 0;
  std::string record;
  while (written < bytes) {
    record.clear();
    const std::size_t words = random.Below(2000) == 0 ? 600 : 3 + random.Below(12);
    for (std::size_t w = 0; w < words; ++w) {
      if (w > 0) record += random.Below(4) == 0 ? "\x81\x40" : " ";
      record += Word(random, 1 + random.Below(4));
    }
    record += " " + std::to_string(1950 + random.Below(58)) + "\r\n";
    out.write(record.data(), static_cast<std::streamsize>(record.size()));
    written += record.size();
  }
}

// Queries of one to three words, one in twenty with a full-width blank as the window stores it.
std::string Query(Random& random) {
  const std::size_t words = 1 + random.Below(3);
  std::string query;
  for (std::size_t w = 0; w < words; ++w) {
    if (w > 0) query += random.Below(20) == 0 ? "\x81\x40" : " ";
    query += Word(random, 1 + random.Below(2));
  }
  return query;
}

long StatusKib(const char* field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  const std::size_t length = std::strlen(field);
  while (std::getline(status, line)) {
    if (line.compare(0, length, field) == 0 && line.size() > length && line[length] == ':') {
      return std::atol(line.c_str() + length + 1);
    }
  }
  return -1;
}

const char* StatusName(RunStatus status) {
  switch (status) {
    case RunStatus::kMatched:
      return "matched";
    case RunStatus::kNoMatch:
      return "no match";
    case RunStatus::kNoRecordsFile:
      return "no records file";
    case RunStatus::kCannotCreateResults:
      return "cannot create results";
    case RunStatus::kReadError:
      return "read error";
    case RunStatus::kWriteError:
      return "write error";
    case RunStatus::kUnreadableEncoding:
      return "unreadable encoding";
    case RunStatus::kUnconvertibleQuery:
      return "unconvertible query";
  }
  return "?";
}

}  // namespace

int main(int argc, char** argv) {
  long searches = 10000;
  long mib = 4;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--searches") == 0)
      searches = std::atol(argv[i + 1]);
    else if (std::strcmp(argv[i], "--mib") == 0)
      mib = std::atol(argv[i + 1]);
  }
  if (searches <= 0 || mib <= 0 || argc % 2 == 0) {
    std::fprintf(stderr, "usage: endurance [--searches N] [--mib M]\n");
    return 2;
  }

  std::string dir = (std::filesystem::temp_directory_path() / "tolvane-endurance-XXXXXX").string();
  if (!::mkdtemp(dir.data())) {
    std::perror("mkdtemp");
    return 2;
  }
  WriteRecords(dir + "/" + kRecordsFileName, static_cast<std::size_t>(mib) << 20);

  // The window's side: the box holds its own copy of the text, the caption likewise.
  std::string box;
  std::string caption;
  long errors = 0;
  ShownResults shown;
  const std::string& accumulated = shown.text;
  std::size_t largest = 0;
  std::map<std::string, long> outcomes;
  long total_matches = 0;
  Random random(1);

  const auto start = std::chrono::steady_clock::now();
  auto report = [&](long done) {
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf(
        "%6ld searches  %6.1f s  accumulated %6zu bytes (largest %6zu)  VmRSS %6ld kB  "
        "VmHWM %6ld kB\n",
        done, seconds, accumulated.size(), largest, StatusKib("VmRSS"), StatusKib("VmHWM"));
    std::fflush(stdout);
  };
  std::printf("records: %ld MiB in %s; bound on the accumulated text: %zu bytes\n", mib,
              dir.c_str(), kDisplayStopBytes + kRecordBufferBytes + 1 + kAccumulatedCutBytes);
  report(0);
  for (long i = 1; i <= searches; ++i) {
    SearchResult result = RunSearch(Cp932ToUtf8(Query(random)), dir, shown);
    if (result.problem) ++errors;
    if (result.status == RunStatus::kMatched) {
      shown = std::move(result.shown);
      box = shown.text;
      caption = result.caption;
    }
    largest = std::max(largest, accumulated.size());
    ++outcomes[result.matches > kShownRecords ? "matched, over 500" : StatusName(result.status)];
    total_matches += result.matches;
    if (i % 1000 == 0 || i == searches) report(i);
  }
  std::printf("outcomes:");
  for (const auto& [name, count] : outcomes) std::printf("  %s %ld", name.c_str(), count);
  std::printf("  (messages shown: %ld, matches in all: %ld, box equals accumulated: %s)\n", errors,
              total_matches, box == accumulated ? "yes" : "no");

  std::error_code ignored;
  std::filesystem::remove_all(dir, ignored);
  return 0;
}
