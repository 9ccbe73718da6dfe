// The records file failing under the run: the user is told it could not be read, and the results
// box and caption keep the last search that succeeded.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "fault_screen.h"
#include "io_faults.h"
#include "search/run.h"
#include "search/scan.h"
#include "search/terms.h"
#include "test_util.h"

namespace tolvane {
namespace {

using testing::FakeScreen;
using testing::NumberedRecords;

class RecordsFaultTest : public ::testing::Test {
 protected:
  std::string RecordsPath() const { return dir_ / kRecordsFileName; }
  RunResult Search(std::string_view query, const RunOptions& options) {
    return RunSearch(query, dir_.path(), screen_.ops(), accumulated_, options);
  }
  // A first search that succeeds, so that there is something on screen to keep.
  void SearchSuccessfully(const RunOptions& options) {
    ASSERT_EQ(Search("hit", options).status, RunStatus::kMatched);
    shown_ = accumulated_;
    screen_ = FakeScreen();
  }
  void ExpectReadErrorReportedAndScreenKept(const RunResult& result) {
    EXPECT_EQ(result.status, RunStatus::kReadError);
    EXPECT_EQ(result.matches, 0);
    EXPECT_EQ(screen_.errors, std::vector<std::string>{std::string(kCannotReadRecordsMessage)});
    EXPECT_TRUE(screen_.boxes.empty());
    EXPECT_TRUE(screen_.captions.empty());
    EXPECT_EQ(accumulated_, shown_);
  }

  testing::ScratchDir dir_;
  testing::IoFaultScope faults_;
  FakeScreen screen_;
  std::string accumulated_;
  std::string shown_;
};

TEST_F(RecordsFaultTest, ReadErrorAtTheStartOrPartWayIsReported) {
  testing::WriteFile(RecordsPath(), NumberedRecords(30000, "hit"));
  for (const testing::ScanPath& path : testing::AllScanPaths()) {
    // The mapped path reads nothing; its failure is a file cut short, below.
    if (!path.options.scan.plain && path.options.scan.map_file) continue;
    for (const std::size_t good_bytes : {std::size_t{0}, std::size_t{100000}}) {
      SCOPED_TRACE(std::string(path.name) + " after " + std::to_string(good_bytes));
      SearchSuccessfully(path.options);
      testing::FailReadsAfter(RecordsPath(), good_bytes);
      const RunResult result = Search("hit", path.options);
      testing::ClearIoFaults();
      ExpectReadErrorReportedAndScreenKept(result);
    }
  }
}

// The kernel's own EIO, no wrapper: /proc/self/mem opens as a regular file, and its offset 0 is
// an address that is never mapped.
TEST_F(RecordsFaultTest, AFileTheKernelCannotReadIsReported) {
  for (const testing::ScanPath& path : testing::AllScanPaths()) {
    SCOPED_TRACE(path.name);
    std::filesystem::remove(RecordsPath());  // the link of the previous round
    testing::WriteFile(RecordsPath(), "hit\r\n");
    SearchSuccessfully(path.options);
    std::filesystem::remove(RecordsPath());
    std::filesystem::create_symlink("/proc/self/mem", RecordsPath());
    ExpectReadErrorReportedAndScreenKept(Search("hit", path.options));
  }
}

// A mapped page past the new end of a file raises SIGBUS; the scan must end with a read error,
// not take the program down.
TEST_F(RecordsFaultTest, AFileCutShortUnderTheMappedScanEndsItWithAReadError) {
  testing::WriteFile(RecordsPath(), NumberedRecords(400000, "hit"));
  const int fd = ::open(RecordsPath().c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  int matches = 0;
  const ScanEnd end = ScanMatchingRecords(fd, SplitTerms("hit"), [&](std::string_view) {
    if (++matches == 1) {
      EXPECT_EQ(::truncate(RecordsPath().c_str(), 8192), 0);
    }
    return true;
  });
  ::close(fd);
  EXPECT_EQ(end, ScanEnd::kReadError);
  EXPECT_LT(matches, 400000);

  // The same through the window's run: the records file shrinks when the results file is first
  // written, which happens once a mebibyte of results is buffered.
  testing::WriteFile(RecordsPath(), NumberedRecords(400000, "hit"));
  SearchSuccessfully({});
  testing::BeforeFirstWriteTo(dir_ / kResultsFileName,
                              [&] { EXPECT_EQ(::truncate(RecordsPath().c_str(), 2 << 20), 0); });
  ExpectReadErrorReportedAndScreenKept(Search("hit", {}));
}

}  // namespace
}  // namespace tolvane
