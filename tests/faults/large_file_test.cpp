// A records file past 4 GiB is searched to its end: a sparse file of 4.5 GiB, NUL bytes (empty
// records) but for a few records placed around the 4 GiB mark and at the very end.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <vector>

#include "fault_screen.h"
#include "search/run.h"
#include "test_util.h"

namespace tolvane {
namespace {

constexpr std::int64_t kGiB = std::int64_t{1} << 30;

bool WriteAt(int fd, std::int64_t offset, const std::string& bytes) {
  return ::pwrite(fd, bytes.data(), bytes.size(), offset) == static_cast<ssize_t>(bytes.size());
}

class LargeFileTest : public ::testing::TestWithParam<testing::ScanPath> {};

TEST_P(LargeFileTest, RecordsPast4GiBAreFound) {
  testing::ScratchDir dir;
  const std::string path = dir / kRecordsFileName;
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  ASSERT_GE(fd, 0);
  const std::int64_t size = 4 * kGiB + kGiB / 2;
  ASSERT_EQ(::ftruncate(fd, size), 0) << "no room for a sparse 4.5 GiB file";
  // Around 2^32 an offset kept in 32 bits wraps to 0; the last record has no line end.
  ASSERT_TRUE(WriteAt(fd, 4 * kGiB - 8, "\nneedle A\n"));
  ASSERT_TRUE(WriteAt(fd, 4 * kGiB + 1000, "\r\nneedle B\r\n"));
  ASSERT_TRUE(WriteAt(fd, size - 9, "\nneedle C"));
  ASSERT_TRUE(WriteAt(fd, size / 2, "\n"));  // where a scan in two halves splits it
  ::close(fd);

  testing::FakeScreen screen;
  std::string accumulated;
  const RunResult result = RunSearch("needle", dir.path(), screen.ops(), accumulated, GetParam().options);
  EXPECT_EQ(result.matches, 3);
  EXPECT_EQ(testing::ReadFile(dir / kResultsFileName), "needle A\r\nneedle B\r\nneedle C");
  EXPECT_EQ(accumulated, "needle A\r\nneedle B\r\nneedle C\r\n");
}

// The paths the window takes; the plain reference path would spend a minute on the holes.
std::vector<testing::ScanPath> WindowScanPaths() {
  std::vector<testing::ScanPath> paths = testing::AllScanPaths();
  std::erase_if(paths, [](const testing::ScanPath& p) { return p.options.scan.plain; });
  return paths;
}

INSTANTIATE_TEST_SUITE_P(WindowPaths, LargeFileTest, ::testing::ValuesIn(WindowScanPaths()),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tolvane
