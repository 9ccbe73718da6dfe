// The records file failing under the run: the user is told it could not be read, and the results
// box and caption keep the last search that succeeded.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "fault_screen.h"
#include "io_faults.h"
#include "search/scan.h"
#include "search/terms.h"
#include "session/run.h"
#include "test_util.h"

namespace tolvane {
namespace {

using testing::FakeScreen;
using testing::NumberedRecords;

class RecordsFaultTest : public ::testing::Test {
 protected:
  std::string RecordsPath() const { return dir_ / kRecordsFileName; }
  SearchResult Search(std::string_view query, const RunOptions& options) {
    return screen_.Search(query, dir_.path(), options);
  }
  // A first search that succeeds, so that there is something on screen to keep.
  void SearchSuccessfully(const RunOptions& options) {
    ASSERT_EQ(Search("hit", options).status, RunStatus::kMatched);
    shown_ = screen_.shown.text;
    results_ = testing::ReadFile(dir_ / kResultsFileName);
    FakeScreen fresh;
    fresh.shown = screen_.shown;
    screen_ = fresh;
  }
  void ExpectReadErrorReportedAndScreenKept(const SearchResult& result) {
    EXPECT_EQ(result.status, RunStatus::kReadError);
    EXPECT_EQ(result.matches, 0);
    EXPECT_EQ(screen_.errors, std::vector<std::string>{std::string(kCannotReadRecordsMessage)});
    EXPECT_TRUE(screen_.boxes.empty());
    EXPECT_TRUE(screen_.captions.empty());
    EXPECT_EQ(screen_.shown.text, shown_);
    // The last whole results file stays; a read error leaves no half one.
    EXPECT_EQ(testing::ReadFile(dir_ / kResultsFileName), results_);
  }

  testing::ScratchDir dir_;
  testing::IoFaultScope faults_;
  FakeScreen screen_;
  std::string shown_;
  std::string results_;
};

TEST_F(RecordsFaultTest, ReadErrorAtTheStartOrPartWayIsReported) {
  testing::WriteFile(RecordsPath(), NumberedRecords(30000, "hit"));
  testing::ForEachScanWay(testing::AllScanWays(), [&](const testing::ScanWay& way) {
    const RunOptions options = testing::OptionsFor(way);
    for (const std::size_t good_bytes : {std::size_t{0}, std::size_t{100000}}) {
      SCOPED_TRACE("after " + std::to_string(good_bytes));
      SearchSuccessfully(options);
      testing::FailReadsAfter(RecordsPath(), good_bytes);
      const SearchResult result = Search("hit", options);
      testing::ClearIoFaults();
      ExpectReadErrorReportedAndScreenKept(result);
    }
  });
}

// The kernel's own EIO, no wrapper: /proc/self/mem opens as a regular file, and its offset 0 is
// an address that is never mapped.
TEST_F(RecordsFaultTest, AFileTheKernelCannotReadIsReported) {
  testing::ForEachScanWay(testing::AllScanWays(), [&](const testing::ScanWay& way) {
    const RunOptions options = testing::OptionsFor(way);
    std::filesystem::remove(RecordsPath());  // the link of the previous round
    testing::WriteFile(RecordsPath(), "hit\r\n");
    SearchSuccessfully(options);
    std::filesystem::remove(RecordsPath());
    std::filesystem::create_symlink("/proc/self/mem", RecordsPath());
    ExpectReadErrorReportedAndScreenKept(Search("hit", options));
  });
}

}  // namespace
}  // namespace tolvane
