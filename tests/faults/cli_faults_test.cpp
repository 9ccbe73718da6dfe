// tolvane-search when its files or its output fail: exit status 2 and a message on stderr, never
// a success over lost records.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <set>
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

// The folder's names but the test's own output files (".out", ".err1" ...).
std::set<std::string> ProgramsNamesIn(const testing::ScratchDir& dir) {
  std::set<std::string> names = testing::NamesIn(dir.path());
  std::erase_if(names, [](const std::string& name) {
    return name.starts_with(".out") || name.starts_with(".err");
  });
  return names;
}

// Sets an environment variable for the commands started while it lives.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    ::setenv(name, value.c_str(), 1);
  }
  ~ScopedEnv() {
    if (old_) {
      ::setenv(name_, old_->c_str(), 1);
    } else {
      ::unsetenv(name_);
    }
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  const char* name_;
  std::optional<std::string> old_;
};

TEST_F(CommandFaultTest, ASignalMidSearchLeavesTheLastResultsFileAndNothingElse) {
  // Two mebibytes of matches, then four gibibytes of holes that take the scan a while.
  testing::WriteFile(dir_ / "kekka.txt", "previous\r\n");
  {
    std::ofstream records(dir_ / "tolvaneken.txt", std::ios::binary | std::ios::trunc);
    records << testing::NumberedRecords(200000, "hit");
  }
  std::filesystem::resize_file(dir_ / "tolvaneken.txt", std::uintmax_t{4} << 30);
  // The command signals itself once a mebibyte of results is written: the scan is then among the
  // holes, the new results file half made.
  const ScopedEnv preload("LD_PRELOAD", TOLVANE_SIGNAL_AFTER_WRITES);
  const ScopedEnv after("TOLVANE_SIGNAL_AFTER_BYTES", std::to_string(1 << 20));
#if defined(__SANITIZE_ADDRESS__)
  const std::string asan_options = std::getenv("ASAN_OPTIONS") ? std::getenv("ASAN_OPTIONS") : "";
  const ScopedEnv asan("ASAN_OPTIONS", asan_options + ":verify_asan_link_order=0");
#endif
  for (const int signal : {SIGTERM, SIGINT}) {
    SCOPED_TRACE(strsignal(signal));
    const ScopedEnv number("TOLVANE_SIGNAL_NUMBER", std::to_string(signal));
    const pid_t pid =
        testing::StartCommand(dir_.path(), {"--count", "hit"}, dir_ / ".out", dir_ / ".err");
    ASSERT_GT(pid, 0);
    const int wstatus = testing::WaitForCommand(pid);
    ASSERT_TRUE(WIFSIGNALED(wstatus)) << "the search ended before the signal came";
    EXPECT_EQ(WTERMSIG(wstatus), signal);
    EXPECT_EQ(testing::ReadFile(dir_ / "kekka.txt"), "previous\r\n");
    EXPECT_EQ(ProgramsNamesIn(dir_), (std::set<std::string>{"kekka.txt", "tolvaneken.txt"}));
  }
}

TEST_F(CommandFaultTest, TwoSearchesAtOnceInOneFolderEachLeaveAWholeResultsFile) {
  // What each search leaves alone.
  std::vector<std::string> alone;
  for (const char* term : {"hit", "9"}) {
    ASSERT_EQ(Command(dir_, {"--count", term}, dir_ / ".out").status, 0);
    alone.push_back(testing::ReadFile(dir_ / "kekka.txt"));
  }
  ASSERT_NE(alone[0], alone[1]);
  for (int round = 0; round < 5; ++round) {
    const pid_t first =
        testing::StartCommand(dir_.path(), {"--count", "hit"}, dir_ / ".out1", dir_ / ".err1");
    const pid_t second =
        testing::StartCommand(dir_.path(), {"--count", "9"}, dir_ / ".out2", dir_ / ".err2");
    const int first_status = testing::WaitForCommand(first);
    const int second_status = testing::WaitForCommand(second);
    EXPECT_TRUE(WIFEXITED(first_status) && WEXITSTATUS(first_status) == 0);
    EXPECT_TRUE(WIFEXITED(second_status) && WEXITSTATUS(second_status) == 0);
    const std::string results = testing::ReadFile(dir_ / "kekka.txt");
    EXPECT_TRUE(results == alone[0] || results == alone[1])
        << "round " << round << ": " << results.size();
  }
  EXPECT_EQ(ProgramsNamesIn(dir_), (std::set<std::string>{"kekka.txt", "tolvaneken.txt"}));
}

}  // namespace
}  // namespace tolvane
