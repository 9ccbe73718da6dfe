#include "posix/io.h"

#include <unistd.h>

#include <cerrno>

namespace tolvane {

ssize_t ReadRetry(int fd, void* buffer, std::size_t bytes) {
  ssize_t n;
  do {
    n = ::read(fd, buffer, bytes);
  } while (n < 0 && errno == EINTR);
  return n;
}

ssize_t PreadRetry(int fd, void* buffer, std::size_t bytes, off_t offset) {
  ssize_t n;
  do {
    n = ::pread(fd, buffer, bytes, offset);
  } while (n < 0 && errno == EINTR);
  return n;
}

std::string PreadSample(int fd, std::size_t bytes, off_t offset) {
  std::string sample(bytes, '\0');
  const ssize_t n = PreadRetry(fd, sample.data(), sample.size(), offset);
  sample.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
  return sample;
}

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

}  // namespace tolvane
