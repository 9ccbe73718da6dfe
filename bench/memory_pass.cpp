// The copy line: one memchr pass over a file through the same reads the scan makes, into one
// buffer of the same size. No search can go faster than this; the benchmark prints each tool
// against it.
//
//   memory_pass FILE [RUNS]     prints the median seconds and GB/s
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "search/scan_sizes.h"

namespace {

std::size_t CountByte(int fd, std::size_t size, char byte) {
  std::vector<char> buffer(tolvane::kScanReadBytes);
  std::size_t count = 0;
  for (std::size_t offset = 0; offset < size;) {
    const ssize_t n = ::pread(fd, buffer.data(), buffer.size(), static_cast<off_t>(offset));
    if (n <= 0) return count;
    const char* p = buffer.data();
    const char* end = p + n;
    while ((p = static_cast<const char*>(std::memchr(p, byte, end - p)))) {
      ++count;
      ++p;
    }
    offset += static_cast<std::size_t>(n);
  }
  return count;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: memory_pass FILE [RUNS]\n");
    return 2;
  }
  const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
  const int fd = ::open(argv[1], O_RDONLY);
  struct stat st {};
  if (fd < 0 || ::fstat(fd, &st) != 0) {
    std::perror(argv[1]);
    return 2;
  }
  const auto size = static_cast<std::size_t>(st.st_size);
  std::vector<double> seconds;
  std::size_t sink = 0;
  for (int i = 0; i < runs; ++i) {
    const auto start = std::chrono::steady_clock::now();
    sink += CountByte(fd, size, '\x1a');
    seconds.push_back(
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  std::sort(seconds.begin(), seconds.end());
  const double median = seconds[seconds.size() / 2];
  std::printf("%.6f %.2f %zu\n", median, size / median / 1e9, sink);
  return 0;
}
