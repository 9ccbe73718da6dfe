// The results file filling the disk part way: the user is told it could not be written, never
// shown a count for records that did not reach it, and the screen keeps the last good search.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>

#include <set>
#include <string>

#include "fault_screen.h"
#include "session/file_problem_text.h"
#include "session/run.h"
#include "test_util.h"

namespace tolvane {
namespace {

using testing::FakeScreen;

// Files this process writes stop growing at `bytes`: the write that would pass the limit fails
// with EFBIG, as a full disk fails with ENOSPC. Root is held to it too.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    ::getrlimit(RLIMIT_FSIZE, &saved_);
    old_handler_ = ::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = saved_;
    limit.rlim_cur = bytes;
    active_ = ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
  }
  ~FileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &saved_);
    ::signal(SIGXFSZ, old_handler_);
  }
  bool active() const { return active_; }

 private:
  rlimit saved_{};
  sighandler_t old_handler_{};
  bool active_ = false;
};

TEST(ResultsFaultTest, ADiskThatFillsPartWayIsReportedAndKeepsTheLastWholeResults) {
  testing::ScratchDir dir;
  // Two mebibytes of results, so that the writer has flushed before the disk fills.
  testing::WriteFile(dir / kRecordsFileName, testing::NumberedRecords(180000, "hit") + "once\r\n");
  testing::ForEachScanWay(testing::AllScanWays(), [&](const testing::ScanWay& way) {
    const RunOptions options = testing::OptionsFor(way);
    FakeScreen screen;
    ASSERT_EQ(screen.Search("once", dir.path(), options).status, RunStatus::kMatched);
    const std::string shown = screen.shown.text;

    SearchResult result;
    {
      const FileSizeLimit limit(1536 << 10);
      ASSERT_TRUE(limit.active());
      result = screen.Search("hit", dir.path(), options);
    }
    EXPECT_EQ(result.status, RunStatus::kWriteError);
    EXPECT_EQ(result.matches, 0);
    EXPECT_EQ(screen.errors, std::vector<std::string>{std::string(kCannotWriteResultsMessage)});
    EXPECT_EQ(screen.boxes, std::vector<std::string>{shown});
    EXPECT_EQ(screen.captions.size(), 1u);
    EXPECT_EQ(screen.shown.text, shown);
    // The results file is the last whole one, and nothing else is left in the folder.
    EXPECT_EQ(testing::ReadFile(dir / kResultsFileName), "once\r\n");
    EXPECT_EQ(testing::NamesIn(dir.path()),
              (std::set<std::string>{kRecordsFileName, kResultsFileName}));
  });
}

// A small file system of its own, mounted for one test (root only); unmounted at the end.
class SmallTmpfs {
 public:
  explicit SmallTmpfs(const std::string& kib) {
    mounted_ =
        ::mount("tmpfs", dir_.path().c_str(), "tmpfs", 0, ("size=" + kib + "k").c_str()) == 0;
  }
  ~SmallTmpfs() {
    if (mounted_) ::umount2(dir_.path().c_str(), MNT_DETACH);
  }
  bool mounted() const { return mounted_; }
  const testing::ScratchDir& dir() const { return dir_; }

 private:
  testing::ScratchDir dir_;
  bool mounted_ = false;
};

TEST(ResultsFaultTest, AFullFileSystemKeepsTheLastResultsAndSaysWhy) {
  const SmallTmpfs disk("256");
  if (!disk.mounted()) GTEST_SKIP() << "mounting a tmpfs needs root";
  const testing::ScratchDir& dir = disk.dir();
  // 160 KiB of records that all match: their results do not fit beside them.
  testing::WriteFile(dir / kRecordsFileName, testing::NumberedRecords(16000, "hit"));
  testing::WriteFile(dir / kResultsFileName, "old\r\n");
  const SearchResult result = RunSearch("hit", dir.path(), {});
  EXPECT_EQ(result.status, RunStatus::kWriteError);
  ASSERT_TRUE(result.problem && result.problem->file);
  EXPECT_EQ(result.problem->file->error, ENOSPC);
  EXPECT_EQ(FileProblemReason(*result.problem->file), "ディスクに空きがありません。");
  EXPECT_EQ(testing::ReadFile(dir / kResultsFileName), "old\r\n");
  EXPECT_EQ(testing::NamesIn(dir.path()),
            (std::set<std::string>{kRecordsFileName, kResultsFileName}));
}

}  // namespace
}  // namespace tolvane
