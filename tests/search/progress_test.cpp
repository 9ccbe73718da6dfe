// The scan's progress hook: told between steps on the calling thread, on every path, and never
// from the helper that scans the second half of a large file.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <thread>

#include "posix/unique_fd.h"
#include "scan_paths.h"
#include "search/scan.h"
#include "search/terms.h"
#include "test_util.h"

namespace tolvane {
namespace {

constexpr std::size_t kFileBytes = std::size_t{6} << 20;
constexpr std::size_t kSteps = kFileBytes / kScanReadBytes;

// Records that all match "a" and "b", so that neither half ends early and the helper holds what
// it may before giving up, and ones that do not.
std::string RecordsFile() {
  std::string text;
  for (int i = 0; text.size() < kFileBytes; ++i) {
    text += i % 97 == 0 ? "a b matching record\r\n" : "an ordinary record of the bibliography\r\n";
  }
  return text;
}

struct Calls {
  std::atomic<int> on_caller{0};
  std::atomic<int> elsewhere{0};
};

TEST(ScanProgress, ToldOnTheCallingThreadOnEveryPath) {
  const testing::ScratchDir dir;
  ASSERT_FALSE(dir.path().empty());
  testing::WriteFile(dir / "records", RecordsFile());
  const TermTable terms = SplitTerms("a b");

  // A read of 512 bytes stands for the tiny ones: a progress call per read, 12,288 of them.
  testing::ForEachScanWay(testing::AllScanWays(512), [&](const testing::ScanWay& way) {
    const ScanOptions& options = way.scan;
    Calls calls;
    const std::thread::id caller = std::this_thread::get_id();
    ScanOptions with_hook = options;
    with_hook.on_progress = [&calls, caller] {
      ++(std::this_thread::get_id() == caller ? calls.on_caller : calls.elsewhere);
    };
    int matches = 0, matches_without_hook = 0;
    const UniqueFd fd(::open((dir / "records").c_str(), O_RDONLY | O_CLOEXEC));
    ASSERT_TRUE(fd.valid());
    const auto count = [](int& into) {
      return [&into](std::string_view) {
        ++into;
        return MatchReply::kKeepGoing;
      };
    };
    ASSERT_EQ(ScanMatchingRecords(fd.get(), terms, count(matches), with_hook), ScanEnd::kEndOfFile);
    ASSERT_EQ(::lseek(fd.get(), 0, SEEK_SET), 0);
    ScanMatchingRecords(fd.get(), terms, count(matches_without_hook), options);
    EXPECT_EQ(matches, matches_without_hook);
    EXPECT_EQ(calls.elsewhere, 0);
    // A call a read. The two halves hand the second half's matches on without scanning it again,
    // when the helper may hold them all; with a smaller hold it gives up, and the calling thread
    // scans on from the split.
    const std::size_t steps = options.plain ? kSteps : kFileBytes / options.read_bytes;
    const bool second_half_held = options.split_min_bytes <= kFileBytes &&
                                  options.held_match_bytes == kHeldMatchBytes && !options.plain;
    EXPECT_GE(calls.on_caller, static_cast<int>(second_half_held ? steps / 2 - 2 : steps - 2));
  });
}

}  // namespace
}  // namespace tolvane
