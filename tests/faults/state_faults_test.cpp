// The state file at exit and at start-up under faults: a save that cannot replace the file
// reports it and leaves the old file byte for byte; a load never hangs on what is not a file.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <optional>
#include <string>

#include "state/history.h"
#include "test_util.h"

namespace tolvane {
namespace {

namespace fs = std::filesystem;

std::string OldStateFile() {
  std::string text;
  for (int i = 0; i < 20; ++i) text += "old" + std::to_string(i) + "\r\n";
  return text + "/usr/bin/old-editor\r\n";
}

// A table that differs from the old file in every slot.
HistoryTable ChangedTable(const std::string& dir) {
  HistoryTable table;
  table.Load(dir);
  for (int i = 0; i < 20; ++i) {
    std::string query = "new" + std::to_string(i);
    table.AddToHistory(query);
  }
  table.SetEditorCommand("/usr/bin/new-editor");
  return table;
}

std::size_t EntriesIn(const std::string& dir) {
  return static_cast<std::size_t>(
      std::distance(fs::directory_iterator(dir), fs::directory_iterator()));
}

// Runs Save in a child process that cannot write to `dir`: root is made an ordinary user there
// first, since permission bits do not stop root. Returns what Save returned.
bool SaveAsOrdinaryUser(HistoryTable table, const std::string& dir) {
  const std::optional<bool> saved = testing::AsOrdinaryUser([&] { return table.Save(dir); });
  EXPECT_TRUE(saved.has_value()) << "could not drop privileges";
  return saved.value_or(false);
}

TEST(StateFaultTest, AReadOnlyFolderKeepsTheOldFile) {
  testing::ScratchDir scratch;
  const std::string dir = scratch / "start";
  fs::create_directory(dir);
  testing::WriteFile(dir + "/history.txt", OldStateFile());
  HistoryTable table = ChangedTable(dir);
  fs::permissions(scratch.path(), fs::perms(0755));
  fs::permissions(dir + "/history.txt", fs::perms(0644));
  fs::permissions(dir, fs::perms(0555));

  EXPECT_FALSE(SaveAsOrdinaryUser(table, dir));
  EXPECT_EQ(testing::ReadFile(dir + "/history.txt"), OldStateFile());
  EXPECT_EQ(EntriesIn(dir), 1u);
  fs::permissions(dir, fs::perms(0755));
}

// An immutable file (chattr +i) cannot be replaced even by root: the new file is written in
// full and only the final rename fails.
TEST(StateFaultTest, AnImmutableFileStaysAsItWasAndNoTemporaryFileIsLeft) {
  testing::ScratchDir dir;
  const std::string path = dir / "history.txt";
  testing::WriteFile(path, OldStateFile());
  HistoryTable table = ChangedTable(dir.path());

  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  int flags = 0;
  if (::ioctl(fd, FS_IOC_GETFLAGS, &flags) != 0) GTEST_SKIP() << "no file attributes here";
  const int immutable = flags | FS_IMMUTABLE_FL;
  if (::ioctl(fd, FS_IOC_SETFLAGS, &immutable) != 0) {
    ::close(fd);
    GTEST_SKIP() << "cannot make a file immutable here (needs CAP_LINUX_IMMUTABLE)";
  }
  const bool saved = table.Save(dir.path());
  const bool read_back_ok = testing::ReadFile(path) == OldStateFile();
  const std::size_t entries = EntriesIn(dir.path());
  ::ioctl(fd, FS_IOC_SETFLAGS, &flags);  // before any check can end the test
  ::close(fd);

  EXPECT_FALSE(saved);
  EXPECT_TRUE(read_back_ok);
  EXPECT_EQ(entries, 1u);
}

TEST(StateFaultTest, WhatIsNoRegularFileGivesThePlaceholdersWithoutBlocking) {
  testing::ScratchDir dir;
  const std::string path = dir / "history.txt";
  // A FIFO nobody writes to would block a plain open; a device would never end.
  ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
  for (const char* target : {"", "/dev/zero", "/dev/urandom"}) {
    SCOPED_TRACE(target);
    if (*target) {
      fs::remove(path);
      fs::create_symlink(target, path);
    }
    HistoryTable table;
    table.Load(dir.path());
    EXPECT_EQ(table.Slot(0), "0000");
    EXPECT_EQ(table.EditorCommand(), "notepad");
  }
}

}  // namespace
}  // namespace tolvane
