#include "screen/term_marks.h"

#include <QTextBlock>
#include <algorithm>

#include "encoding/text_encoding.h"
#include "screen/screen_text.h"

namespace tolvane {
namespace {

// Opaque enough to see on either base, light enough that the text stays readable.
constexpr int kMarkAlpha = 110;

}  // namespace

int BoxLength(const QString& text) {
  return static_cast<int>(text.size() - text.count(QStringLiteral("\r\n")));
}

std::vector<BoxMark> BoxMarksOf(std::string_view block, TextEncoding encoding,
                                std::span<const TermSpan> spans) {
  // Every span's ends are character boundaries: the block is decoded a stretch at a time between
  // them, in order, and each end's position is the length decoded before it.
  std::vector<std::size_t> ends;
  for (const TermSpan& span : spans) {
    if (span.at >= span.end || span.end > block.size()) continue;
    ends.push_back(span.at);
    ends.push_back(span.end);
  }
  std::sort(ends.begin(), ends.end());
  ends.erase(std::unique(ends.begin(), ends.end()), ends.end());
  std::vector<int> positions(ends.size());
  std::size_t decoded = 0;
  int position = 0;
  for (std::size_t k = 0; k < ends.size(); ++k) {
    position += BoxLength(FromEncoded(block.substr(decoded, ends[k] - decoded), encoding));
    decoded = ends[k];
    positions[k] = position;
  }
  const auto position_of = [&](std::size_t byte) {
    return positions[static_cast<std::size_t>(std::lower_bound(ends.begin(), ends.end(), byte) -
                                              ends.begin())];
  };
  std::vector<BoxMark> marks;
  for (const TermSpan& span : spans) {
    if (span.at >= span.end || span.end > block.size()) continue;
    marks.push_back({position_of(span.at), position_of(span.end) - position_of(span.at)});
  }
  return marks;
}

TermMarks::TermMarks(QTextDocument* document, const QPalette& palette)
    : QSyntaxHighlighter(document) {
  SetPalette(palette);
}

void TermMarks::SetBlocks(std::vector<Block> blocks) {
  blocks_ = std::move(blocks);
  starts_.clear();
  int start = 0;
  for (const Block& block : blocks_) {
    starts_.push_back(start);
    start += block.length;
  }
}

void TermMarks::SetPalette(const QPalette& palette) {
  QColor background = palette.color(QPalette::Active, QPalette::Highlight);
  background.setAlpha(kMarkAlpha);
  mark_.setBackground(background);
  rehighlight();
}

void TermMarks::highlightBlock(const QString& text) {
  const int position = currentBlock().position();
  const auto after = std::upper_bound(starts_.begin(), starts_.end(), position);
  if (after == starts_.begin()) return;
  const auto index = static_cast<std::size_t>(std::prev(after) - starts_.begin());
  const Block& block = blocks_[index];
  if (position >= starts_[index] + block.length) return;
  // The line's stretch of its block, and the marks that reach into it, cut to the line.
  const int line_start = position - starts_[index];
  const int line_end = line_start + static_cast<int>(text.size());
  for (const BoxMark& mark : block.marks) {
    const int from = std::max(mark.at, line_start);
    const int to = std::min(mark.at + mark.length, line_end);
    if (from < to) setFormat(from - line_start, to - from, mark_);
  }
}

}  // namespace tolvane
