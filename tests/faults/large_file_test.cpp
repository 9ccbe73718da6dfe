// A records file past 4 GiB is searched to its end: a sparse file of 4.5 GiB, NUL bytes (empty
// records) but for a few records placed around the 4 GiB mark and at the very end.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cctype>
#include <cstdint>
#include <string>
#include <vector>

#include "fault_screen.h"
#include "posix/unique_fd.h"
#include "search/scan.h"
#include "search/terms.h"
#include "session/run.h"
#include "test_util.h"
#include "texts/texts.h"

namespace tolvane {
namespace {

constexpr std::int64_t kGiB = std::int64_t{1} << 30;
constexpr std::int64_t kLargeFileBytes = 4 * kGiB + kGiB / 2;
// Where the first planted record starts, just below 2^32.
constexpr std::int64_t kFirstNeedle = 4 * kGiB - 7;

bool WriteAt(int fd, std::int64_t offset, const std::string& bytes) {
  return ::pwrite(fd, bytes.data(), bytes.size(), offset) == static_cast<ssize_t>(bytes.size());
}

// The records file in `dir`; false when the disk has no room for it.
bool MakeLargeRecordsFile(const testing::ScratchDir& dir) {
  UniqueFd fd(
      ::open((dir / kRecordsFileName).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
  // Around 2^32 an offset kept in 32 bits wraps to 0; the last record has no line end.
  return fd.valid() && ::ftruncate(fd.get(), kLargeFileBytes) == 0 &&
         WriteAt(fd.get(), kFirstNeedle - 1, "\nneedle A\n") &&
         WriteAt(fd.get(), 4 * kGiB + 1000, "\r\nneedle B\r\n") &&
         WriteAt(fd.get(), kLargeFileBytes - 9, "\nneedle C") &&
         WriteAt(fd.get(), kLargeFileBytes / 2, "\n");  // where a scan in two halves splits it
}

class LargeFileTest : public ::testing::TestWithParam<testing::ScanWay> {};

TEST_P(LargeFileTest, RecordsPast4GiBAreFound) {
  testing::ScratchDir dir;
  ASSERT_TRUE(MakeLargeRecordsFile(dir)) << "no room for a sparse 4.5 GiB file";
  testing::FakeScreen screen;
  const testing::ScanWayFilter filter(GetParam());
  const SearchResult result = screen.Search("needle", dir.path(), testing::OptionsFor(GetParam()));
  EXPECT_EQ(result.matches, 3);
  EXPECT_EQ(testing::ReadFile(dir / kResultsFileName), "needle A\r\nneedle B\r\nneedle C");
  EXPECT_EQ(screen.shown.text, "needle A\r\nneedle B\r\nneedle C\r\n");
}

// The window's ways. The plain reference path would spend a minute on the holes.
INSTANTIATE_TEST_SUITE_P(FastPaths, LargeFileTest, ::testing::ValuesIn(testing::WindowScanWays()),
                         [](const auto& info) {
                           std::string name = info.param.name;
                           std::erase_if(name, [](char c) {
                             return !std::isalnum(static_cast<unsigned char>(c));
                           });
                           return name;
                         });

}  // namespace
}  // namespace tolvane
