#include "search/mapped_feed.h"

#include <setjmp.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>

#include "search/bus_guard.h"
#include "search/scan_sizes.h"
#include "search/read_feed.h"

namespace tolvane {

namespace {

constexpr std::size_t kHugeMapBytes = std::size_t{2} << 20;

}  // namespace

WindowLayout LayoutFor(std::size_t window_bytes) {
  const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
  const std::size_t bytes = std::max((window_bytes + page - 1) / page * page, 2 * page);
  // Windows that start on a huge-page boundary of the file let the kernel map the page cache's
  // large folios a huge page at a time: a quarter of the page faults of page-aligned windows.
  return {bytes, bytes >= 4 * kHugeMapBytes ? kHugeMapBytes : page};
}

MappedEnd ScanMappedRange(int fd, RegionScanner& scanner, const WindowLayout layout,
                          const std::size_t begin, const std::size_t end,
                          const ProgressHook& on_progress, const std::stop_token stop) {
  const std::size_t window_bytes = layout.bytes;
  const std::size_t align = layout.align;
  InstallBusGuard();
  sigjmp_buf jump;
  BusJumpScope guard(&jump);
  void* volatile mapped = nullptr;
  volatile std::size_t mapped_bytes = 0;
  volatile std::size_t offset = begin;  // always a record boundary
  if (sigsetjmp(jump, 1) != 0) {
    guard.Unwatch();
    if (mapped) ::munmap(mapped, mapped_bytes);
    return {ScanEnd::kReadError};
  }
  while (offset < end) {
    const std::size_t map_start = offset / align * align;
    const std::size_t map_bytes =
        std::min(end - map_start, (offset - map_start + window_bytes + align - 1) / align * align);
    // Faulted in as the scan goes (the kernel maps the pages around each fault); populating the
    // whole window up front measured slower.
    void* base =
        ::mmap(nullptr, map_bytes, PROT_READ, MAP_PRIVATE, fd, static_cast<off_t>(map_start));
    if (base == MAP_FAILED) return {ScanEnd::kUnmappable, offset};
    mapped_bytes = map_bytes;
    mapped = base;
    guard.Watch(base, map_bytes);
    const std::string_view window(static_cast<const char*>(base), map_bytes);
    const bool window_ends_range = map_start + map_bytes == end;
    // Go through the window a cache-sized step at a time, so that the records around a hit are
    // still in the cache when they are cut out.
    const std::size_t step = std::clamp(window_bytes / 4, kRecordBufferBytes, kScanStepBytes);
    std::size_t at = offset - map_start;
    ScanEnd outcome = ScanEnd::kMore;
    while (outcome == ScanEnd::kMore) {
      if (stop.stop_requested()) {
        outcome = ScanEnd::kCancelled;
        break;
      }
      const std::size_t step_end = std::min(window.size(), at + step);
      const bool at_end = window_ends_range && step_end == window.size();
      const RegionStep result = scanner.Scan(window.substr(at, step_end - at), at_end);
      outcome = result.end;
      if (outcome != ScanEnd::kMore) break;
      at += result.consumed;
      if (on_progress) on_progress();
      if (step_end == window.size()) break;  // map the next window from `at`
    }
    guard.Unwatch();
    mapped = nullptr;
    ::munmap(base, map_bytes);
    if (outcome != ScanEnd::kMore) return {outcome};
    offset = map_start + at;
  }
  return {ScanEnd::kEndOfFile};
}

ScanEnd FinishMapped(const MappedEnd& end, int fd, RegionScanner& scanner,
                     const ScanOptions& options) {
  switch (end.end) {
    case ScanEnd::kEndOfFile:
    case ScanEnd::kStopped:
      return end.end;
    case ScanEnd::kUnmappable:
      // Some files and file systems cannot be mapped; those are read from where mapping failed.
      if (::lseek(fd, static_cast<off_t>(end.offset), SEEK_SET) < 0) return ScanEnd::kReadError;
      return FeedRead(fd, scanner, options);
    case ScanEnd::kMore:
    case ScanEnd::kReadError:
    case ScanEnd::kCancelled:
      break;
  }
  return ScanEnd::kReadError;
}

ScanEnd FeedMapped(int fd, RegionScanner& scanner, std::size_t size, const ScanOptions& options) {
  const MappedEnd end =
      ScanMappedRange(fd, scanner, LayoutFor(options.window_bytes), 0, size, options.on_progress);
  return FinishMapped(end, fd, scanner, options);
}

}  // namespace tolvane
