#include "search/two_halves.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "encoding/sjis.h"
#include "posix/io.h"
#include "search/read_feed.h"
#include "search/region_scanner.h"
#include "search/scan_sizes.h"

namespace tolvane {

namespace {

// How much of the file one read of the split search takes.
constexpr std::size_t kSplitReadBytes = std::size_t{64} << 10;

// The matching records of the second half, held until the first half has been handed on. The
// space is taken before the second half starts, so holding never allocates on the other thread.
class HeldMatches {
 public:
  explicit HeldMatches(std::size_t limit) : limit_(limit) { bytes_.reserve(limit_); }

  // False when the record does not fit: the second half then stops there.
  bool Hold(std::string_view text) {
    if (bytes_.size() + sizeof(std::uint32_t) + text.size() > limit_) return false;
    const auto length = static_cast<std::uint32_t>(text.size());
    bytes_.append(reinterpret_cast<const char*>(&length), sizeof length);
    bytes_.append(text);
    return true;
  }

  // False when the sink answers kStop.
  bool HandOn(const MatchSink& on_match) const {
    for (std::size_t at = 0; at < bytes_.size();) {
      std::uint32_t length;
      std::memcpy(&length, bytes_.data() + at, sizeof length);
      at += sizeof length;
      if (EndsScan(on_match(std::string_view(bytes_).substr(at, length)))) return false;
      at += length;
    }
    return true;
  }

 private:
  std::size_t limit_;
  std::string bytes_;
};

// Where the second half of the file starts: just past the first LF from the middle on, which ends
// a record whatever came before it. 0 when no LF lies near enough past the middle.
std::size_t SplitPoint(int fd, std::size_t size) {
  std::vector<char> buffer(kSplitReadBytes);
  const std::size_t middle = size / 2;
  for (std::size_t at = middle; at < size && at - middle < kSplitSearchBytes;) {
    const ssize_t n =
        PreadRetry(fd, buffer.data(), std::min(buffer.size(), size - at), static_cast<off_t>(at));
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

ScanEnd ScanInTwoHalves(int fd, std::uint64_t begin, std::size_t size, const TermTable& terms,
                        const FilterChoice& choice, const MatchSink& on_match,
                        const ScanOptions& options) {
  RegionScanner first(&terms, &choice, &on_match);
  const auto whole_file = [&] {
    return ScanEndOf(
        ScanRange(fd, first, begin, std::nullopt, options.read_bytes, options.on_progress));
  };
  const std::size_t split = SplitPoint(fd, size);
  if (split <= begin) return whole_file();

  HeldMatches held(options.held_match_bytes);
  const MatchSink hold = [&held](std::string_view text) {
    return held.Hold(text) ? MatchReply::kKeepGoing : MatchReply::kStop;
  };
  RegionScanner second(&terms, &choice, &hold);
  RangeEnd second_end{RangeEnd::Kind::kCancelled};
  // The hook belongs to the calling thread; the helper reports to nobody.
  const ProgressHook helper_progress;
  std::jthread helper;
  try {
    helper = std::jthread([&](std::stop_token stop) {
      second_end =
          ScanRange(fd, second, split, std::nullopt, options.read_bytes, helper_progress, stop);
    });
  } catch (const std::system_error&) {
    return whole_file();  // no thread to be had
  }
  const RangeEnd first_end =
      ScanRange(fd, first, begin, split, options.read_bytes, options.on_progress);
  // A stop, a Ctrl+Z or a failure in the first half decides the outcome; what the second half
  // found is dropped.
  if (first_end.kind != RangeEnd::Kind::kEnd) {
    helper.request_stop();
    helper.join();
    return ScanEndOf(first_end);
  }
  helper.join();
  if (!held.HandOn(on_match)) return ScanEnd::kStopped;
  // A full hold: the first half's scanner goes on from the record that did not fit.
  if (second_end.kind == RangeEnd::Kind::kStopped) {
    return ScanEndOf(ScanRange(fd, first, second_end.stopped_at, std::nullopt, options.read_bytes,
                               options.on_progress));
  }
  return ScanEndOf(second_end);
}

}  // namespace tolvane
