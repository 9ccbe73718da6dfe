// The scan's progress hook: told between steps on the calling thread, on every path, and never
// from the helper that scans the second half of a large file.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <thread>

#include "posix/unique_fd.h"
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

  const struct {
    const char* path;
    ScanOptions options;
  } paths[] = {
      {"plain", ScanOptions{.plain = true}},
      {"read", ScanOptions{.split_min_bytes = kFileBytes * 2}},
      {"two halves", ScanOptions{.split_min_bytes = 1}},
      // The helper stops at once and the calling thread goes on from the split.
      {"two halves, helper gives up", ScanOptions{.split_min_bytes = 1, .held_match_bytes = 1}},
  };
  for (const auto& [path, options] : paths) {
    SCOPED_TRACE(path);
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
    // The two halves hand the second half's matches on without scanning it again.
    const bool second_half_held = std::string_view(path) == "two halves";
    EXPECT_GE(calls.on_caller, static_cast<int>(second_half_held ? kSteps / 2 - 2 : kSteps - 2));
  }
}

}  // namespace
}  // namespace tolvane
