#include "search/region_scanner.h"

#include <algorithm>
#include <cstring>

#include "search/record_reader.h"
#include "search/sjis.h"

namespace tolvane {

namespace {

std::size_t OffsetOf(const void* found, std::string_view raw) {
  return static_cast<std::size_t>(static_cast<const char*>(found) - raw.data());
}

// Where the complete records of `raw` end. Past the last LF, only whole 2,998-byte pieces are
// complete, and a CR at the very end may still turn out to be half of a CR LF.
std::size_t CompleteEnd(std::string_view raw, bool at_end) {
  if (at_end) return raw.size();
  const void* lf = memrchr(raw.data(), kLineFeed, raw.size());
  const std::size_t line_start = lf ? OffsetOf(lf, raw) + 1 : 0;
  std::size_t known = raw.size();
  if (known > line_start && raw[known - 1] == kCarriageReturn) --known;
  return line_start + (known - line_start) / kRecordTextBytes * kRecordTextBytes;
}

bool HasLineEndByte(std::string_view term) {
  return term.find_first_of("\r\n") != std::string_view::npos;
}

}  // namespace

RegionScanner::RegionScanner(const TermTable& terms, const MatchSink& on_match)
    : terms_(terms), on_match_(on_match) {}

void RegionScanner::ChooseFilter(std::string_view sample) {
  filter_chosen_ = true;
  const ByteCounts counts = CountBytes(sample.substr(0, kByteSampleBytes));
  // A term with CR or LF may match across the line end that text mode rewrites; such terms are
  // only checked inside records, never looked for on the raw bytes.
  for (const std::string& term : terms_.Active()) {
    if (HasLineEndByte(term)) continue;
    PairFilter candidate(term, counts);
    if (!filter_ || candidate.Cost() < filter_->Cost()) {
      filter_.emplace(candidate);
      filter_term_ = &term;
    }
  }
}

RegionScanner::Record RegionScanner::RecordAt(std::string_view raw, std::size_t start) {
  const std::size_t window = std::min(raw.size() - start, kRecordTextBytes + 1);
  const void* lf = std::memchr(raw.data() + start, kLineFeed, window);
  std::size_t length;
  std::size_t end;
  bool ends_line = false;
  if (lf) {
    const std::size_t lf_at = OffsetOf(lf, raw);
    const std::size_t content_end =
        lf_at > start && raw[lf_at - 1] == kCarriageReturn ? lf_at - 1 : lf_at;
    length = content_end - start;
    if (length < kRecordTextBytes) {
      ends_line = true;
      end = lf_at + 1;
    } else {
      length = kRecordTextBytes;
      end = start + length;
    }
  } else {
    length = std::min(window, kRecordTextBytes);
    end = start + length;
  }
  std::memcpy(record_.data(), raw.data() + start, length);
  if (ends_line) record_[length++] = kLineFeed;
  return {end, RecordText(std::string_view(record_.data(), length))};
}

std::optional<std::size_t> RegionScanner::Scan(std::string_view raw, bool at_end) {
  if (!filter_chosen_) ChooseFilter(raw);
  const std::size_t limit = CompleteEnd(raw, at_end);
  const std::string_view complete = raw.substr(0, limit);
  std::size_t pos = 0;  // always a record boundary
  while (pos < limit) {
    std::size_t start = pos;
    std::size_t hit = 0;
    if (filter_) {
      hit = filter_->Find(complete, pos);
      if (hit == std::string_view::npos) break;
      // Records run from `pos` to each LF, and every 2,998 bytes in between.
      const void* lf = memrchr(raw.data() + pos, kLineFeed, hit - pos);
      const std::size_t line_start = lf ? OffsetOf(lf, raw) + 1 : pos;
      start = line_start + (hit - line_start) / kRecordTextBytes * kRecordTextBytes;
    }
    const Record record = RecordAt(complete, start);
    const bool matches = filter_ ? MatchesAllTerms(record.text, terms_, filter_term_, hit - start)
                                 : MatchesAllTerms(record.text, terms_);
    if (matches && !on_match_(record.text)) return std::nullopt;
    pos = record.end;
  }
  return limit;
}

}  // namespace tolvane
