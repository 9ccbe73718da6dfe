#include "search/feed.h"

#include <setjmp.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
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

// Installs the handler for as long as it lives, around every thread that scans mapped windows.
class BusErrorHandler {
 public:
  BusErrorHandler() {
    struct sigaction action {};
    action.sa_handler = OnBusError;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGBUS, &action, &previous_);
  }
  ~BusErrorHandler() { ::sigaction(SIGBUS, &previous_, nullptr); }
  BusErrorHandler(const BusErrorHandler&) = delete;
  BusErrorHandler& operator=(const BusErrorHandler&) = delete;

 private:
  struct sigaction previous_ {};
};

// Where a SIGBUS in this thread jumps to, for as long as it lives.
class BusErrorJump {
 public:
  explicit BusErrorJump(sigjmp_buf* jump) { bus_error_jump = jump; }
  ~BusErrorJump() { bus_error_jump = nullptr; }
  BusErrorJump(const BusErrorJump&) = delete;
  BusErrorJump& operator=(const BusErrorJump&) = delete;
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

// How a scan of mapped windows ended.
struct WindowsEnd {
  enum class Kind { kEndOfFile, kStopped, kReadError, kUnmappable, kCancelled } kind;
  std::size_t offset = 0;  // with kUnmappable: the record boundary where mapping failed
};

// The size of the mapped windows and the boundary they start on.
struct WindowLayout {
  std::size_t bytes;
  std::size_t align;
};

WindowLayout Layout(std::size_t asked) {
  const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
  const std::size_t bytes = std::max((asked + page - 1) / page * page, 2 * page);
  // Windows that start on a huge-page boundary of the file let the kernel map the page cache's
  // large folios a huge page at a time: a quarter of the page faults of page-aligned windows.
  return {bytes, bytes >= 4 * kHugeMapBytes ? kHugeMapBytes : page};
}

// Scans [begin, end) of a regular file, under a BusErrorHandler. `begin` is a record boundary;
// `end` is the file's end or follows a LF. Kept apart from its callers so that nothing they change
// lives across the jump back. Stops soon after `cancel` is set.
WindowsEnd ScanWindows(int fd, RegionScanner& scanner, const WindowLayout layout,
                       const std::size_t begin, const std::size_t end,
                       const std::atomic<bool>* cancel) {
  const std::size_t window_bytes = layout.bytes;
  const std::size_t align = layout.align;
  sigjmp_buf jump;
  BusErrorJump jump_target(&jump);
  void* volatile mapped = nullptr;
  volatile std::size_t mapped_bytes = 0;
  volatile std::size_t offset = begin;  // always a record boundary
  if (sigsetjmp(jump, 1) != 0) {
    if (mapped) ::munmap(mapped, mapped_bytes);
    return {WindowsEnd::Kind::kReadError};
  }
  while (offset < end) {
    const std::size_t map_start = offset / align * align;
    const std::size_t map_bytes =
        std::min(end - map_start, (offset - map_start + window_bytes + align - 1) / align * align);
    // Faulted in as the scan goes (the kernel maps the pages around each fault); populating the
    // whole window up front measured slower.
    void* base =
        ::mmap(nullptr, map_bytes, PROT_READ, MAP_PRIVATE, fd, static_cast<off_t>(map_start));
    if (base == MAP_FAILED) return {WindowsEnd::Kind::kUnmappable, offset};
    mapped_bytes = map_bytes;
    mapped = base;
    const std::string_view window(static_cast<const char*>(base), map_bytes);
    const bool window_ends_range = map_start + map_bytes == end;
    // Go through the window a cache-sized step at a time, so that the records around a hit are
    // still in the cache when they are cut out.
    const std::size_t step = std::clamp(window_bytes / 4, kRecordBufferBytes, kScanStepBytes);
    std::size_t at = offset - map_start;
    std::optional<WindowsEnd::Kind> outcome;
    while (!outcome) {
      if (cancel && cancel->load(std::memory_order_relaxed)) {
        outcome = WindowsEnd::Kind::kCancelled;
        break;
      }
      const std::size_t step_end = std::min(window.size(), at + step);
      const bool at_end = window_ends_range && step_end == window.size();
      const RegionScanner::Step result = scanner.Scan(window.substr(at, step_end - at), at_end);
      if (result.outcome == RegionScanner::Step::Outcome::kStopped) {
        outcome = WindowsEnd::Kind::kStopped;
      } else if (result.outcome == RegionScanner::Step::Outcome::kEndOfFile) {
        outcome = WindowsEnd::Kind::kEndOfFile;
      } else {
        at += result.consumed;
        if (step_end == window.size()) break;  // map the next window from `at`
      }
    }
    mapped = nullptr;
    ::munmap(base, map_bytes);
    if (outcome) return {*outcome};
    offset = map_start + at;
  }
  return {WindowsEnd::Kind::kEndOfFile};
}

// The end of a scan by the calling thread. Some files and file systems cannot be mapped; those are
// read from where mapping failed to the end of the file.
ScanEnd Finish(const WindowsEnd& end, int fd, RegionScanner& scanner, std::size_t window_bytes) {
  switch (end.kind) {
    case WindowsEnd::Kind::kEndOfFile:
      return ScanEnd::kEndOfFile;
    case WindowsEnd::Kind::kStopped:
      return ScanEnd::kStopped;
    case WindowsEnd::Kind::kUnmappable:
      if (::lseek(fd, static_cast<off_t>(end.offset), SEEK_SET) < 0) return ScanEnd::kReadError;
      return FeedRead(fd, scanner, window_bytes);
    case WindowsEnd::Kind::kReadError:
    case WindowsEnd::Kind::kCancelled:
      break;
  }
  return ScanEnd::kReadError;
}

// Where the second half of the file starts: just past the first LF from the middle on, which ends
// a record whatever came before it. 0 when no LF lies near enough past the middle.
std::size_t SplitPoint(int fd, std::size_t size) {
  std::vector<char> buffer(std::size_t{64} << 10);
  const std::size_t middle = size / 2;
  for (std::size_t at = middle; at < size && at - middle < kSplitSearchBytes;) {
    const ssize_t n = ::pread(fd, buffer.data(), std::min(buffer.size(), size - at),
                              static_cast<off_t>(at));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return 0;
    if (const void* lf = std::memchr(buffer.data(), kLineFeed, static_cast<std::size_t>(n))) {
      const auto lf_at = static_cast<std::size_t>(static_cast<const char*>(lf) - buffer.data());
      const std::size_t split = at + lf_at + 1;
      return split < size ? split : 0;
    }
    at += static_cast<std::size_t>(n);
  }
  return 0;
}

}  // namespace

ScanEnd FeedMapped(int fd, RegionScanner& scanner, std::size_t window_bytes) {
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size == 0) {
    return FeedRead(fd, scanner, window_bytes);
  }
  const BusErrorHandler handler;
  const auto size = static_cast<std::size_t>(st.st_size);
  const WindowsEnd end = ScanWindows(fd, scanner, Layout(window_bytes), 0, size, nullptr);
  return Finish(end, fd, scanner, window_bytes);
}

ScanEnd FeedMappedInTwo(int fd, std::size_t size, RegionScanner& first, RegionScanner& second,
                        const std::function<bool()>& hand_over_second, std::size_t window_bytes) {
  const std::size_t split = SplitPoint(fd, size);
  if (split == 0) return FeedMapped(fd, first, window_bytes);
  {
    // Both halves look for the same bytes, chosen from the file's first step as a single scan
    // would choose them.
    std::string sample(std::min(size, kScanStepBytes), '\0');
    const ssize_t sampled = ::pread(fd, sample.data(), sample.size(), 0);
    sample.resize(sampled > 0 ? static_cast<std::size_t>(sampled) : 0);
    first.ChooseFilter(sample);
    second.ChooseFilter(sample);
  }

  const WindowLayout layout = Layout(window_bytes);
  const BusErrorHandler handler;
  std::atomic<bool> cancel{false};
  WindowsEnd second_end{WindowsEnd::Kind::kCancelled};
  std::thread helper;
  try {
    helper = std::thread(
        [&] { second_end = ScanWindows(fd, second, layout, split, size, &cancel); });
  } catch (const std::system_error&) {
    // No thread to be had: one scan of the whole file.
    return Finish(ScanWindows(fd, first, layout, 0, size, nullptr), fd, first, window_bytes);
  }
  const WindowsEnd first_end = ScanWindows(fd, first, layout, 0, split, nullptr);
  const bool first_half_done =
      first_end.kind == WindowsEnd::Kind::kEndOfFile && !first.MetEndOfFileByte();
  if (!first_half_done) cancel.store(true, std::memory_order_relaxed);
  helper.join();
  // A stop, a Ctrl+Z or a failure in the first half decides the outcome; what the second half
  // found is dropped. A file that could not be mapped is read from there to its end.
  if (!first_half_done) return Finish(first_end, fd, first, window_bytes);
  if (second_end.kind == WindowsEnd::Kind::kEndOfFile ||
      second_end.kind == WindowsEnd::Kind::kReadError) {
    if (!hand_over_second()) return ScanEnd::kStopped;
    return second_end.kind == WindowsEnd::Kind::kEndOfFile ? ScanEnd::kEndOfFile
                                                           : ScanEnd::kReadError;
  }
  // The second half gave up (more matches than it may hold, or no mapping): go on from the split.
  return Finish(ScanWindows(fd, first, layout, split, size, nullptr), fd, first, window_bytes);
}

}  // namespace tolvane
