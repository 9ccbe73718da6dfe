#include "search/feed.h"

#include <setjmp.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "search/sjis.h"

namespace tolvane {

namespace {

constexpr std::size_t kHugeMapBytes = std::size_t{2} << 20;

// A mapped file that shrinks under the scan raises SIGBUS on the pages it lost. The scan catches
// it and reports a read error instead of dying.
thread_local sigjmp_buf* bus_error_jump = nullptr;

void OnBusError(int signal) {
  if (bus_error_jump) siglongjmp(*bus_error_jump, 1);
  ::signal(signal, SIG_DFL);
  ::raise(signal);
}

class BusErrorGuard {
 public:
  explicit BusErrorGuard(sigjmp_buf* jump) {
    bus_error_jump = jump;
    struct sigaction action {};
    action.sa_handler = OnBusError;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGBUS, &action, &previous_);
  }
  ~BusErrorGuard() {
    ::sigaction(SIGBUS, &previous_, nullptr);
    bus_error_jump = nullptr;
  }
  BusErrorGuard(const BusErrorGuard&) = delete;
  BusErrorGuard& operator=(const BusErrorGuard&) = delete;

 private:
  struct sigaction previous_ {};
};

}  // namespace

ScanEnd FeedRead(int fd, RegionScanner& scanner, std::size_t chunk_bytes) {
  chunk_bytes = std::max<std::size_t>(chunk_bytes, 1);
  // The carried rest of an unfinished record is below 2,998 bytes, plus a CR that may pair.
  std::vector<char> buffer(chunk_bytes + kRecordBufferBytes);
  std::size_t carried = 0;
  while (true) {
    ssize_t n;
    do {
      n = ::read(fd, buffer.data() + carried, chunk_bytes);
    } while (n < 0 && errno == EINTR);
    if (n < 0) return ScanEnd::kReadError;
    const std::string_view region(buffer.data(), carried + static_cast<std::size_t>(n));
    const RegionScanner::Step step = scanner.Scan(region, n == 0);
    if (step.outcome == RegionScanner::Step::Outcome::kStopped) return ScanEnd::kStopped;
    if (step.outcome == RegionScanner::Step::Outcome::kEndOfFile) return ScanEnd::kEndOfFile;
    carried = region.size() - step.consumed;
    std::memmove(buffer.data(), buffer.data() + step.consumed, carried);
  }
}

namespace {

// The mapping loop, apart from FeedMapped so that nothing it changes lives across the jump back.
ScanEnd ScanWindows(int fd, RegionScanner& scanner, const std::size_t window_bytes,
                    const std::size_t size, const std::size_t align) {
  sigjmp_buf jump;
  BusErrorGuard guard(&jump);
  void* volatile mapped = nullptr;
  volatile std::size_t mapped_bytes = 0;
  volatile std::size_t offset = 0;  // always a record boundary
  if (sigsetjmp(jump, 1) != 0) {
    if (mapped) ::munmap(mapped, mapped_bytes);
    return ScanEnd::kReadError;
  }
  while (offset < size) {
    const std::size_t map_start = offset / align * align;
    const std::size_t map_bytes =
        std::min(size - map_start, (offset - map_start + window_bytes + align - 1) / align * align);
    // Faulted in as the scan goes (the kernel maps the pages around each fault); populating the
    // whole window up front measured slower.
    void* base =
        ::mmap(nullptr, map_bytes, PROT_READ, MAP_PRIVATE, fd, static_cast<off_t>(map_start));
    if (base == MAP_FAILED) {
      // Some files and file systems cannot be mapped; read them from here on.
      if (::lseek(fd, static_cast<off_t>(offset), SEEK_SET) < 0) return ScanEnd::kReadError;
      return FeedRead(fd, scanner, window_bytes);
    }
    mapped_bytes = map_bytes;
    mapped = base;
    const std::string_view window(static_cast<const char*>(base), map_bytes);
    const bool window_ends_file = map_start + map_bytes == size;
    // Go through the window a cache-sized step at a time, so that the records around a hit are
    // still in the cache when they are cut out.
    const std::size_t step = std::clamp(window_bytes / 4, kRecordBufferBytes, kScanStepBytes);
    std::size_t at = offset - map_start;
    std::optional<ScanEnd> end;
    while (!end) {
      const std::size_t step_end = std::min(window.size(), at + step);
      const bool at_end = window_ends_file && step_end == window.size();
      const RegionScanner::Step result = scanner.Scan(window.substr(at, step_end - at), at_end);
      if (result.outcome == RegionScanner::Step::Outcome::kStopped) {
        end = ScanEnd::kStopped;
      } else if (result.outcome == RegionScanner::Step::Outcome::kEndOfFile) {
        end = ScanEnd::kEndOfFile;
      } else {
        at += result.consumed;
        if (step_end == window.size()) break;  // map the next window from `at`
      }
    }
    mapped = nullptr;
    ::munmap(base, map_bytes);
    if (end) return *end;
    offset = map_start + at;
  }
  return ScanEnd::kEndOfFile;
}

}  // namespace

ScanEnd FeedMapped(int fd, RegionScanner& scanner, std::size_t window_bytes) {
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size == 0) {
    return FeedRead(fd, scanner, window_bytes);
  }
  const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
  const std::size_t window = std::max((window_bytes + page - 1) / page * page, 2 * page);
  // Windows that start on a huge-page boundary of the file let the kernel map the page cache's
  // large folios a huge page at a time: a quarter of the page faults of page-aligned windows.
  const std::size_t align = window >= 4 * kHugeMapBytes ? kHugeMapBytes : page;
  return ScanWindows(fd, scanner, window, static_cast<std::size_t>(st.st_size), align);
}

}  // namespace tolvane
