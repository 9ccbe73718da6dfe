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
  for (Block& block : blocks_) {
    block.folded_terms.clear();
    if (!block.loose) continue;
    for (const QString& term : block.terms) {
      if (!term.isEmpty()) block.folded_terms.emplace_back(TextEncoding::kUtf8, term.toStdString(), Folding::kLoose);
    }
  }
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
  if (block.loose) {
    MarkLoose(text, block);
    return;
  }
  // Every character of the decoded text is a character boundary of the record; occurrences may
  // overlap.
  for (const QString& term : block.terms) {
    for (qsizetype at = text.indexOf(term); at >= 0; at = text.indexOf(term, at + 1)) {
      setFormat(static_cast<int>(at), static_cast<int>(term.size()), mark_);
    }
  }
}

void TermMarks::MarkLoose(const QString& text, const Block& block) {
  const std::string utf8 = text.toStdString();
  // The line's position of each UTF-8 byte offset, and of the end: a character of four bytes is
  // two UTF-16 units, any other one.
  std::vector<int> position(utf8.size() + 1, 0);
  int at = 0;
  for (std::size_t byte = 0; byte < utf8.size();) {
    const std::size_t end = NextCharEnd(TextEncoding::kUtf8, utf8, byte);
    std::fill(position.begin() + static_cast<std::ptrdiff_t>(byte),
              position.begin() + static_cast<std::ptrdiff_t>(end), at);
    at += end - byte == 4 ? 2 : 1;
    byte = end;
  }
  position[utf8.size()] = at;
  for (const FoldedTerm& term : block.folded_terms) {
    for (std::optional<FoldedTerm::Match> match = term.Find(utf8); match;
         match = term.Find(utf8, term.NextPlace(utf8, match->at))) {
      setFormat(position[match->at], position[match->end] - position[match->at], mark_);
    }
  }
}

}  // namespace tolvane
