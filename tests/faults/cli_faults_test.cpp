// tolvane-search when its files or its output fail: exit status 2 and a message on stderr, never
// a success over lost records.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <filesystem>
#include <string>
#include <vector>

#include "command_runner.h"
#include "fault_screen.h"
#include "test_util.h"

namespace tolvane {
namespace {

using Outcome = testing::CommandOutcome;

Outcome Command(const testing::ScratchDir& dir, std::vector<std::string> args,
                const std::string& out_path) {
  return testing::RunCommand(dir, std::move(args), out_path);
}

class CommandFaultTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::WriteFile(dir_ / "tolvaneken.txt", testing::NumberedRecords(180000, "hit"));
  }
  testing::ScratchDir dir_;
};

TEST_F(CommandFaultTest, ADiskThatFillsPartWayThroughTheResultsFileExitsTwo) {
  rlimit saved{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  const auto old_handler = ::signal(SIGXFSZ, SIG_IGN);
  rlimit limit = saved;
  limit.rlim_cur = 1536 << 10;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
  const Outcome o = Command(dir_, {"--count", "hit"}, dir_ / ".out");
  ::setrlimit(RLIMIT_FSIZE, &saved);
  ::signal(SIGXFSZ, old_handler);
  EXPECT_EQ(o.status, 2);
  EXPECT_NE(o.err.find("kekka.txtに書き込めません。"), std::string::npos) << o.err;
  EXPECT_EQ(testing::ReadFile(dir_ / ".out"), "");
}

TEST_F(CommandFaultTest, ARecordsFileTheKernelCannotReadExitsTwo) {
  std::filesystem::remove(dir_ / "tolvaneken.txt");
  std::filesystem::create_symlink("/proc/self/mem", dir_ / "tolvaneken.txt");
  const Outcome o = Command(dir_, {"hit"}, dir_ / ".out");
  EXPECT_EQ(o.status, 2);
  EXPECT_NE(o.err.find("tolvaneken.txtが読めません。"), std::string::npos) << o.err;
}

TEST_F(CommandFaultTest, OutputThatCannotBeWrittenExitsTwo) {
  const Outcome o = Command(dir_, {"--count", "hit"}, "/dev/full");
  EXPECT_EQ(o.status, 2);
  EXPECT_NE(o.err.find("cannot write the output"), std::string::npos) << o.err;
}

// Output far larger than stdio's buffer fails in a write before the final flush, and that flush
// then succeeds: only the stream's error flag tells.
TEST_F(CommandFaultTest, LongOutputThatCannotBeWrittenExitsTwo) {
  for (const char* mode : {"--raw", "--"}) {
    SCOPED_TRACE(mode);
    const Outcome o = Command(dir_, {mode, "hit"}, "/dev/full");
    EXPECT_EQ(o.status, 2);
    EXPECT_NE(o.err.find("cannot write the output"), std::string::npos) << o.err;
  }
}

}  // namespace
}  // namespace tolvane
