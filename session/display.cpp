#include "session/display.h"

#include <algorithm>

#include "encoding/sjis.h"
#include "search/scan_sizes.h"
#include "texts/texts.h"

namespace tolvane {

DisplayText::DisplayText(TextEncoding encoding, const TermTable* terms)
    : encoding_(encoding), terms_(terms) {
  text_.reserve(kDisplayStopBytes + kRecordBufferBytes + kCrLf.size());
}

bool DisplayText::Append(std::string_view record) {
  const std::size_t record_start = text_.size();
  ++records_;
  text_ += record;
  // Only shown records are looked at again: at most kShownRecords of them, after the scan found
  // them.
  if (terms_) {
    for (const TermSpan& span : TermSpans(record, *terms_)) {
      spans_.push_back({record_start + span.at, record_start + span.end});
    }
  }
  // Only a line feed on a character boundary ends the line; after a lone Shift-JIS lead byte it
  // stays bare. A record's only line feed is its last byte.
  if (!record.empty() && record.back() == kLineFeed &&
      IsLineEnd(encoding_, text_, text_.size() - 1, record_start)) {
    text_.replace(text_.size() - 1, 1, kCrLf);
  }
  return records_ < kShownRecords && text_.size() <= kDisplayStopBytes;
}

ShownResults DisplayText::MergeInFrontOf(const ShownResults& older, std::vector<std::string> terms,
                                         bool loose) && {
  text_ += kCrLf;
  return MergeShown(std::move(text_), std::move(terms), older, encoding_, loose, std::move(spans_));
}

std::string CountCaption(std::int64_t matches, std::int64_t shown) {
  const std::string_view format = shown < matches ? kManyMatchesCaption : kMatchesCaption;
  const std::size_t at = format.find("%d");
  std::string caption(format.substr(0, at));
  caption += std::to_string(matches);
  caption += format.substr(at + 2);
  return caption;
}

std::string MergeResults(std::string block, std::string_view older) {
  if (block.size() + older.size() < kAccumulatedCutBytes) {
    block += older;
    return block;
  }
  // Keep the older text up to its last line end that lets the whole stay within 75,000 bytes.
  // Looking further back than the first 500 positions, and dropping the older text entirely when
  // there is no such line end, keeps the new block whole and first and the box's text bounded.
  std::size_t keep = 0;
  if (block.size() + 2 <= kAccumulatedCutBytes) {
    for (std::size_t c = kAccumulatedCutBytes - block.size(); c >= 2; --c) {
      if (older[c - 2] == kCarriageReturn && older[c - 1] == kLineFeed) {
        keep = c;
        break;
      }
    }
  }
  block += older.substr(0, keep);
  return block;
}

ShownResults MergeShown(std::string block, std::vector<std::string> terms,
                        const ShownResults& older, TextEncoding encoding, bool loose,
                        std::vector<TermSpan> spans) {
  ShownResults merged;
  const std::size_t block_bytes = block.size();
  merged.text = MergeResults(std::move(block), older.text);
  merged.blocks.push_back({block_bytes, std::move(terms), encoding, loose, std::move(spans)});
  // The older blocks as far as the cut kept them.
  std::size_t kept = merged.text.size() - block_bytes;
  for (const ShownBlock& earlier : older.blocks) {
    if (kept == 0) break;
    ShownBlock& block = merged.blocks.emplace_back(ShownBlock{
        std::min(earlier.bytes, kept), earlier.terms, earlier.encoding, earlier.loose, {}});
    for (const TermSpan& span : earlier.spans) {
      if (span.end <= block.bytes) block.spans.push_back(span);
    }
    kept -= block.bytes;
  }
  return merged;
}

}  // namespace tolvane
