#include "io_faults.h"

#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <optional>
#include <utility>

extern "C" ssize_t __real_read(int fd, void* buffer, size_t count);
extern "C" ssize_t __real_pread(int fd, void* buffer, size_t count, off_t offset);
extern "C" ssize_t __real_write(int fd, const void* buffer, size_t count);

namespace tolvane::testing {
namespace {

struct FileId {
  dev_t device;
  ino_t inode;
};

std::optional<FileId> IdOfPath(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return std::nullopt;
  return FileId{st.st_dev, st.st_ino};
}

bool IsFile(int fd, const std::optional<FileId>& id) {
  struct stat st {};
  return id && ::fstat(fd, &st) == 0 && st.st_dev == id->device && st.st_ino == id->inode;
}

std::optional<FileId> failing_read;
std::size_t good_bytes_left = 0;
std::function<void()> write_hook;

// A file the program writes, not the test's own output.
bool IsProgramsRegularFile(int fd) {
  struct stat st {};
  return fd > STDERR_FILENO && ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

void FailReadsAfter(const std::string& path, std::size_t good_bytes) {
  failing_read = IdOfPath(path);
  good_bytes_left = good_bytes;
}

void BeforeFirstWriteToAFile(std::function<void()> hook) { write_hook = std::move(hook); }

void ClearIoFaults() {
  failing_read.reset();
  write_hook = nullptr;
}

}  // namespace tolvane::testing

using namespace tolvane::testing;

extern "C" ssize_t __wrap_read(int fd, void* buffer, size_t count) {
  if (!IsFile(fd, failing_read)) return __real_read(fd, buffer, count);
  if (good_bytes_left == 0) {
    errno = EIO;
    return -1;
  }
  const ssize_t n = __real_read(fd, buffer, std::min(count, good_bytes_left));
  if (n > 0) good_bytes_left -= static_cast<std::size_t>(n);
  return n;
}

extern "C" ssize_t __wrap_pread(int fd, void* buffer, size_t count, off_t offset) {
  if (!IsFile(fd, failing_read)) return __real_pread(fd, buffer, count, offset);
  if (good_bytes_left == 0) {
    errno = EIO;
    return -1;
  }
  const ssize_t n = __real_pread(fd, buffer, std::min(count, good_bytes_left), offset);
  if (n > 0) good_bytes_left -= static_cast<std::size_t>(n);
  return n;
}

extern "C" ssize_t __wrap_write(int fd, const void* buffer, size_t count) {
  if (write_hook && IsProgramsRegularFile(fd)) std::exchange(write_hook, nullptr)();
  return __real_write(fd, buffer, count);
}
