#include "screen/term_marks.h"

#include <QTextBlock>
#include <algorithm>

#include "screen/screen_text.h"

namespace tolvane {
namespace {

// Opaque enough to see on either base, light enough that the text stays readable.
constexpr int kMarkAlpha = 110;

}  // namespace

int BoxLength(const QString& text) {
  return static_cast<int>(text.size() - text.count(QStringLiteral("\r\n")));
}

QStringList MarkableTerms(std::span<const std::string> encoded_terms, TextEncoding encoding) {
  QStringList terms;
  for (const std::string& term : encoded_terms) {
    const QString unicode = FromEncoded(term, encoding);
    if (!unicode.contains(QChar::ReplacementCharacter)) terms << unicode;
  }
  return terms;
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
  // Every character of the decoded text is a character boundary of the record; occurrences may
  // overlap.
  for (const QString& term : block.terms) {
    for (qsizetype at = text.indexOf(term); at >= 0; at = text.indexOf(term, at + 1)) {
      setFormat(static_cast<int>(at), static_cast<int>(term.size()), mark_);
    }
  }
}

}  // namespace tolvane
