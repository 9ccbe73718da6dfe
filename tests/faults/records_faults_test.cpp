// The records file failing under the run: the user is told it could not be read, and the results
// box and caption keep the last search that succeeded.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pthread.h>
#include <setjmp.h>
#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "fault_screen.h"
#include "io_faults.h"
#include "session/run.h"
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
  for (const testing::ScanPath& path : testing::AllScanPaths()) {
    // The mapped path reads nothing; its failure is a file cut short, below.
    if (!path.options.scan.plain && path.options.scan.map_file) continue;
    for (const std::size_t good_bytes : {std::size_t{0}, std::size_t{100000}}) {
      SCOPED_TRACE(std::string(path.name) + " after " + std::to_string(good_bytes));
      SearchSuccessfully(path.options);
      testing::FailReadsAfter(RecordsPath(), good_bytes);
      const SearchResult result = Search("hit", path.options);
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
  testing::BeforeFirstWriteToAFile([&] { EXPECT_EQ(::truncate(RecordsPath().c_str(), 2 << 20), 0); });
  ExpectReadErrorReportedAndScreenKept(Search("hit", {}));
}

// A handler of the program's own, there before the scan's: it notes every SIGBUS, and jumps back
// out of a real fault, which would otherwise come again.
sigjmp_buf own_fault_jump;
volatile sig_atomic_t own_jump_armed = 0;
volatile sig_atomic_t own_signals = 0;
void* volatile own_signal_address = nullptr;

void OwnBusHandler(int, siginfo_t* info, void*) {
  own_signals = own_signals + 1;
  own_signal_address = info->si_addr;
  if (own_jump_armed) siglongjmp(own_fault_jump, 1);
}

// Run in a fresh process, so that the scan's handler is installed after the test's. Returns the
// exit code: 0 when every SIGBUS that was not the scan's reached the test's handler.
int SigbusOutsideTheScansMappingReachesTheEarlierHandler(const std::string& dir) {
  struct sigaction own {};
  own.sa_sigaction = OwnBusHandler;
  own.sa_flags = SA_SIGINFO;
  sigemptyset(&own.sa_mask);
  if (::sigaction(SIGBUS, &own, nullptr) != 0) return 10;

  // A mapping of the test's own, cut short before it is touched: not one the scan registered.
  const std::string own_path = dir + "/own";
  testing::WriteFile(own_path, std::string(8192, 'o'));
  const int own_fd = ::open(own_path.c_str(), O_RDWR | O_CLOEXEC);
  void* own_map = ::mmap(nullptr, 8192, PROT_READ, MAP_SHARED, own_fd, 0);
  if (own_map == MAP_FAILED || ::ftruncate(own_fd, 0) != 0) return 11;

  const std::string records_path = dir + "/records";
  testing::WriteFile(records_path, NumberedRecords(1000, "hit"));
  const int fd = ::open(records_path.c_str(), O_RDONLY | O_CLOEXEC);
  int matches = 0;
  int failure = 0;
  const ScanEnd end = ScanMatchingRecords(fd, SplitTerms("hit"), [&](std::string_view) {
    if (++matches != 1) return true;
    struct sigaction now {};
    ::sigaction(SIGBUS, nullptr, &now);
    if (now.sa_sigaction == OwnBusHandler) failure = 12;  // the scan installed nothing
    // A real fault on the test's own mapping, while the scan has its window registered.
    if (sigsetjmp(own_fault_jump, 1) == 0) {
      own_jump_armed = 1;
      (void)*static_cast<const volatile char*>(own_map);
      failure = 13;  // the page was there after all
    }
    own_jump_armed = 0;
    if (own_signals != 1 || own_signal_address != own_map) failure = 14;
    // One another thread could send: no address of the scan's mapping.
    ::pthread_kill(::pthread_self(), SIGBUS);
    if (own_signals != 2) failure = 15;
    return true;
  }, {.window_bytes = 4096});
  ::close(fd);
  if (failure != 0) return failure;
  if (end != ScanEnd::kEndOfFile || matches != 1000) return 16;
  return 0;
}

TEST(BusGuardTest, ASigbusOutsideTheScansMappingReachesTheHandlerInstalledBeforeIt) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  testing::ScratchDir dir;
  EXPECT_EXIT(std::_Exit(SigbusOutsideTheScansMappingReachesTheEarlierHandler(dir.path())),
              ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace tolvane
