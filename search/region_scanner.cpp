#include "search/region_scanner.h"

#include <algorithm>
#include <cstring>

#include "encoding/sjis.h"
#include "search/record_reader.h"

namespace tolvane {

namespace {

std::size_t OffsetOf(const void* found, std::string_view raw) {
  return static_cast<std::size_t>(static_cast<const char*>(found) - raw.data());
}

// Where the piece of a long line that holds `at` starts, walking the pieces from `start`, a record
// boundary of the same line. Every piece before `at` lies whole before it, on raw bytes that are
// the line's own: only the line's end is rewritten by text mode.
std::size_t PieceStartOf(TextEncoding encoding, std::string_view raw, std::size_t start,
                         std::size_t at) {
  // A piece is at least as long as a character's longest back-off below 2,998 bytes.
  while (at - start >= kRecordTextBytes - (kMaxCharBytes - 1)) {
    const std::size_t length = PieceLength(encoding, raw.substr(start));
    if (at - start < length) break;
    start += length;
  }
  return start;
}

// Where the complete records of `raw` end. Past the last LF only the pieces whose length is known
// are complete, and a CR at the very end may still turn out to be half of a CR LF.
std::size_t CompleteEnd(TextEncoding encoding, std::string_view raw, bool at_end) {
  if (at_end) return raw.size();
  const void* lf = memrchr(raw.data(), kLineFeed, raw.size());
  std::size_t piece = lf ? OffsetOf(lf, raw) + 1 : 0;
  std::size_t known = raw.size();
  if (known > piece && raw[known - 1] == kCarriageReturn) --known;
  // A piece's end is known once the bytes its last character may take are there.
  while (known - piece >= kPieceLookBytes)
    piece += PieceLength(encoding, raw.substr(piece, known - piece));
  return piece;
}

}  // namespace

RegionScanner::RegionScanner(const TermTable* terms, const FilterChoice* choice,
                             const MatchSink* on_match)
    : terms_(terms), choice_(choice), on_match_(on_match) {}

bool RegionScanner::TurnedAway(std::string_view raw, std::size_t start, std::size_t hit,
                               std::size_t& next) const {
  // Only a record that is a whole line, or the last piece of one: its bytes lie as they are on disk
  // up to its LF, and a term nowhere among them is not in its text either.
  const std::size_t reach = std::min(raw.size(), start + kRecordTextBytes + 1);
  const void* lf = std::memchr(raw.data() + hit, kLineFeed, reach - hit);
  if (!lf) return false;
  const std::size_t lf_at = OffsetOf(lf, raw);
  const std::size_t content_end =
      lf_at > start && raw[lf_at - 1] == kCarriageReturn ? lf_at - 1 : lf_at;
  if (content_end - start >= kRecordTextBytes) return false;
  // The filter has seen no Ctrl+Z before the hit; one after it makes this the file's last record.
  if (std::memchr(raw.data() + hit, kEndOfFileByte, lf_at - hit)) return false;
  const std::string_view bytes = raw.substr(start, lf_at - start);
  for (const PairFilter& check : choice_->quick_checks) {
    if (!check.MayOccurIn(bytes)) {
      next = lf_at + 1;
      return true;
    }
  }
  return false;
}

bool RegionScanner::Plain(std::string_view raw, std::size_t from, std::size_t to) {
  if (to <= plain_until_) return true;
  // Looked for a little ahead at a time: a stretch of records in a row costs one look, a lone
  // record far from the last costs a few KiB more, never a second pass over the region.
  const std::size_t look_from = std::max(from, plain_until_);
  const std::size_t look_to = std::min(raw.size(), std::max(to, look_from + kPlainLookAheadBytes));
  const std::string_view ahead = raw.substr(look_from, look_to - look_from);
  const std::size_t special = std::min(ahead.find(kEndOfFileByte), ahead.find('\0'));
  plain_until_ = special == std::string_view::npos ? look_to : look_from + special;
  return to <= plain_until_;
}

RegionScanner::Record RegionScanner::RecordAt(std::string_view raw, std::size_t start) {
  std::size_t window = std::min(raw.size() - start, kPieceLookBytes);
  const void* lf = std::memchr(raw.data() + start, kLineFeed, window);
  // The common record: a whole line short of a piece, neither a Ctrl+Z nor a NUL in it.
  if (lf && Plain(raw, start, OffsetOf(lf, raw))) {
    const std::size_t lf_at = OffsetOf(lf, raw);
    const std::size_t content_end =
        lf_at > start && raw[lf_at - 1] == kCarriageReturn ? lf_at - 1 : lf_at;
    const std::size_t length = content_end - start;
    if (length < kRecordTextBytes) {
      std::memcpy(record_.data(), raw.data() + start, length);
      record_[length] = kLineFeed;
      return {lf_at + 1, std::string_view(record_.data(), length + 1), false};
    }
  }
  // A Ctrl+Z before the record's line end makes it the file's last record.
  bool ends_file = false;
  const std::size_t before_lf = lf ? OffsetOf(lf, raw) - start : window;
  if (const void* z = std::memchr(raw.data() + start, kEndOfFileByte, before_lf)) {
    window = OffsetOf(z, raw) - start;
    lf = nullptr;
    ends_file = true;
  }
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
      length = PieceLength(terms_->encoding, raw.substr(start));
      end = start + length;
    }
  } else {
    length = PieceLength(terms_->encoding, raw.substr(start, window));
    end = start + length;
  }
  std::memcpy(record_.data(), raw.data() + start, length);
  if (ends_line) record_[length++] = kLineFeed;
  return {end, RecordText(std::string_view(record_.data(), length)), ends_file};
}

RegionStep RegionScanner::ScanEveryRecord(std::string_view raw, bool at_end) {
  plain_until_ = 0;
  bool ends_file = false;
  if (const void* z = std::memchr(raw.data(), kEndOfFileByte, raw.size())) {
    raw = raw.substr(0, OffsetOf(z, raw));
    at_end = ends_file = true;
  }
  const std::size_t limit = CompleteEnd(terms_->encoding, raw, at_end);
  for (std::size_t pos = 0; pos < limit;) {
    const Record record = RecordAt(raw.substr(0, limit), pos);
    if (MatchesAllTerms(record.text, *terms_) && EndsScan((*on_match_)(record.text))) {
      return {RegionStep::End::kStopped, 0, pos};
    }
    pos = record.end;
  }
  if (ends_file) return {RegionStep::End::kCtrlZ};
  return {at_end ? RegionStep::End::kEnd : RegionStep::End::kMore, limit};
}

RegionStep RegionScanner::Scan(std::string_view raw, bool at_end) {
  plain_until_ = 0;
  if (!choice_->filter) return ScanEveryRecord(raw, at_end);
  const PairFilter& filter = *choice_->filter;
  const std::size_t limit = CompleteEnd(terms_->encoding, raw, at_end);
  const std::string_view complete = raw.substr(0, limit);
  std::size_t pos = 0;  // always a record boundary
  while (pos < limit) {
    const std::size_t hit = filter.Find(complete, pos);
    if (hit == std::string_view::npos) break;
    // No record before a Ctrl+Z holds the term: the file ends here.
    if (raw[hit] == kEndOfFileByte) return {RegionStep::End::kCtrlZ};
    // Records run from `pos` to each LF, and piece by piece along a longer line.
    const void* lf = memrchr(raw.data() + pos, kLineFeed, hit - pos);
    const std::size_t start =
        PieceStartOf(terms_->encoding, raw, lf ? OffsetOf(lf, raw) + 1 : pos, hit);
    // Most candidates of a common term lack another term; turn them away before cutting them out.
    if (!choice_->quick_checks.empty() && TurnedAway(complete, start, hit, pos)) continue;
    const Record record = RecordAt(complete, start);
    // Where the filter saw its term stand, if it stands in this record at all.
    FoundTerm found;
    if (choice_->found_term && hit - start >= choice_->found_offset) {
      found = {choice_->found_term, hit - start - choice_->found_offset, choice_->found_whole};
    }
    if (MatchesAllTerms(record.text, *terms_, choice_->check_order, found) &&
        EndsScan((*on_match_)(record.text))) {
      return {RegionStep::End::kStopped, 0, start};
    }
    if (record.ends_file) return {RegionStep::End::kCtrlZ};
    pos = record.end;
  }
  return {at_end ? RegionStep::End::kEnd : RegionStep::End::kMore, limit};
}

}  // namespace tolvane
