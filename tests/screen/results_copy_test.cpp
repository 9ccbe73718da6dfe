// The results' UTF-8 copy for the desktop's editor: what it refuses, when it fails, and a results
// file of hundreds of MiB copied in blocks. The cache folder's own checks are state/'s tests.
#include "screen/results_copy.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>

#include "posix/io.h"
#include "posix/unique_fd.h"
#include "test_util.h"

namespace tolvane {
namespace {

namespace fs = std::filesystem;
using testing::kNobody;
using testing::ReadFile;
using testing::ScratchDir;
using testing::WriteFile;

constexpr std::size_t kMiB = std::size_t{1} << 20;
// Hundreds of MiB of results, as a search for a common term gives on a large bibliography.
constexpr std::size_t kLargeResultsBytes = 256 * kMiB;
// What copying it may add to the process's peak memory: a few blocks, nowhere near the file.
constexpr long kCopyMemoryKiB = 32 * 1024;
// Where the large case keeps its 640 MiB when the system has it: in memory, so that the disk's
// writeback does not stall the X-driven tests that run beside it.
constexpr char kMemoryFolder[] = "/dev/shm";

fs::path LargeFilesFolder() {
  std::error_code ignored;
  return fs::is_directory(kMemoryFolder, ignored) ? fs::path(kMemoryFolder)
                                                  : fs::temp_directory_path();
}

class ResultsCopyTest : public ::testing::Test {
 protected:
  explicit ResultsCopyTest(const fs::path& scratch_parent = fs::temp_directory_path())
      : dir_(scratch_parent) {}
  void SetUp() override {
    ASSERT_FALSE(dir_.path().empty());
    start_ = dir_ / "start";
    cache_ = dir_ / "cache";
    fs::create_directories(start_);
    ::setenv("XDG_CACHE_HOME", cache_.c_str(), 1);
  }
  void TearDown() override { ::unsetenv("XDG_CACHE_HOME"); }
  std::string CopyPath() const {
    return cache_ + "/" + kProgramCacheFolder + "/" + CopyFolderName(start_) + "/kekka.txt";
  }

  ScratchDir dir_;
  std::string start_, cache_;
};

// Results the start folder could not take: the copy is made from them, into the start folder's
// own copy beside them, never over them.
TEST_F(ResultsCopyTest, ResultsKeptElsewhereAreCopiedIntoTheStartFoldersOwnCopy) {
  WriteFile(start_ + "/kekka.txt", "old\r\n");
  const std::string own =
      cache_ + "/" + kProgramCacheFolder + "/" + CopyFolderName(start_) + "/results";
  fs::create_directories(own);
  WriteFile(own + "/kekka.txt", "\x8e\x52\x93\x63\r\n");  // 山田 in Shift-JIS
  const ResultsCopy copy = MakeUtf8CopyOfResultsAt(start_, own + "/kekka.txt");
  ASSERT_EQ(copy.outcome, CopyOutcome::kMade);
  EXPECT_EQ(copy.path, CopyPath());
  EXPECT_EQ(ReadFile(CopyPath()), "山田\r\n");
  EXPECT_EQ(ReadFile(own + "/kekka.txt"), "\x8e\x52\x93\x63\r\n");
  EXPECT_EQ(MakeUtf8CopyOfResultsAt(start_, own + "/missing").outcome, CopyOutcome::kFailed);
}

TEST_F(ResultsCopyTest, ResultsThatAreNoRegularFileOrAnotherUsersLinkAreRefused) {
  const std::string results = start_ + "/kekka.txt";
  WriteFile(dir_ / "records.txt", "\x8e\x52\r\n");
  const struct {
    const char* what;
    std::function<void()> make;
    CopyOutcome outcome;
  } cases[] = {
      {"missing", [] {}, CopyOutcome::kFailed},
      {"a file", [&] { WriteFile(results, "\x8e\x52\r\n"); }, CopyOutcome::kMade},
      {"the user's link to a file", [&] { fs::create_symlink(dir_ / "records.txt", results); },
       CopyOutcome::kMade},
      // Each would block the window or never end.
      {"a FIFO", [&] { ASSERT_EQ(::mkfifo(results.c_str(), 0600), 0); },
       CopyOutcome::kResultsRefused},
      {"a link to a device", [&] { fs::create_symlink("/dev/zero", results); },
       CopyOutcome::kResultsRefused},
      {"a folder", [&] { fs::create_directory(results); }, CopyOutcome::kResultsRefused},
      {"another user's link",
       [&] {
         fs::create_symlink(dir_ / "records.txt", results);
         if (::geteuid() == 0) {
           ASSERT_EQ(::lchown(results.c_str(), kNobody, kNobody), 0);
         }
       },
       ::geteuid() == 0 ? CopyOutcome::kResultsRefused : CopyOutcome::kMade},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(results);
    fs::remove_all(cache_);
    c.make();
    const ResultsCopy copy = MakeUtf8CopyOfResults(start_);
    EXPECT_EQ(copy.outcome, c.outcome);
    if (c.outcome == CopyOutcome::kMade) {
      EXPECT_EQ(copy.path, CopyPath());
      EXPECT_EQ(ReadFile(copy.path), "山\r\n");
    } else {
      EXPECT_TRUE(copy.path.empty());
      EXPECT_FALSE(fs::exists(CopyPath()));
    }
  }
  EXPECT_EQ(MakeUtf8CopyOfResults("").outcome, CopyOutcome::kFailed);
}

TEST_F(ResultsCopyTest, ResultsOfEveryEncodingAreCopiedAsTheirText) {
  const std::string results = start_ + "/kekka.txt";
  // 明治～大正 ｱ in each encoding (EUC-JP's ～ as JIS X 0212's, glibc's from CP932), CR LF kept.
  const std::string utf8 = "明治～大正 ｱ\r\n近世\r\n";
  for (const std::string& bytes :
       {std::string("\x96\xbe\x8e\xa1\x81\x60\x91\xe5\x90\xb3 \xb1\r\n\x8b\xdf\x90\xa2\r\n"), utf8,
        std::string(
            "\xcc\xc0\xbc\xa3\x8f\xa2\xb7\xc2\xe7\xc0\xb5 \x8e\xb1\r\n\xb6\xe1\xc0\xa4\r\n")}) {
    WriteFile(results, bytes);
    const ResultsCopy copy = MakeUtf8CopyOfResults(start_);
    ASSERT_EQ(copy.outcome, CopyOutcome::kMade);
    EXPECT_EQ(ReadFile(copy.path), utf8);
  }
  // Records of a Shift-JIS catalogue in half-width kana, whose bytes pair up as EUC-JP kanji
  // too, are copied as the kana they are.
  WriteFile(results, "\xbf\xb3\xbe\xb7 1914\r\n\xd3\xd8 \xb5\xb3\xb6\xde 1890\r\n");
  EXPECT_EQ(ReadFile(MakeUtf8CopyOfResults(start_).path), "ｿｳｾｷ 1914\r\nﾓﾘ ｵｳｶﾞ 1890\r\n");
}

long PeakMemoryKiB() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

class LargeResultsCopyTest : public ResultsCopyTest {
 protected:
  LargeResultsCopyTest() : ResultsCopyTest(LargeFilesFolder()) {}
};

TEST_F(LargeResultsCopyTest, ResultsOfHundredsOfMebibytesAreCopiedBlockByBlock) {
  // "近世研究" CR LF after one ASCII byte: the blocks' ends fall inside characters.
  const std::string line_sjis = "\x8b\xdf\x90\xa2\x8c\xa4\x8b\x86\r\n";
  const std::string line_utf8 = "近世研究\r\n";
  std::string block;
  while (block.size() < kMiB) block += line_sjis;
  {
    UniqueFd out(
        ::open((start_ + "/kekka.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
    ASSERT_TRUE(WriteAll(out.get(), "x"));
    for (std::size_t written = 0; written < kLargeResultsBytes; written += block.size()) {
      ASSERT_TRUE(WriteAll(out.get(), block)) << "no room for the results file";
    }
  }
  const std::size_t lines =
      (kLargeResultsBytes + block.size() - 1) / block.size() * (block.size() / line_sjis.size());

  const long peak_before = PeakMemoryKiB();
  int progress_calls = 0;
  const ResultsCopy copy = MakeUtf8CopyOfResults(start_, [&] { ++progress_calls; });
  ASSERT_EQ(copy.outcome, CopyOutcome::kMade);
  EXPECT_LT(PeakMemoryKiB() - peak_before, kCopyMemoryKiB);
  EXPECT_GE(progress_calls, static_cast<int>(kLargeResultsBytes / kCopyReadBytes));

  // The copy is "x" and the line's UTF-8 over and over, read back a block at a time.
  UniqueFd in(::open(copy.path.c_str(), O_RDONLY | O_CLOEXEC));
  ASSERT_TRUE(in.valid());
  char first = 0;
  ASSERT_EQ(ReadRetry(in.get(), &first, 1), 1);
  EXPECT_EQ(first, 'x');
  std::string expected;
  while (expected.size() < kMiB + line_utf8.size()) expected += line_utf8;
  std::string got(kMiB, '\0');
  std::size_t copied = 0;
  for (ssize_t n; (n = ReadRetry(in.get(), got.data(), got.size())) > 0;
       copied += static_cast<std::size_t>(n)) {
    ASSERT_EQ(std::string_view(got.data(), n),
              std::string_view(expected).substr(copied % line_utf8.size(), n));
  }
  EXPECT_EQ(copied, lines * line_utf8.size());
}

}  // namespace
}  // namespace tolvane
