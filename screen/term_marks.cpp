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

QStringList MarkableTerms(std::span<const std::string> sjis_terms) {
  QStringList terms;
  for (const std::string& term : sjis_terms) {
    const QString unicode = FromSjis(term);
    if (!unicode.contains(QChar::ReplacementCharacter)) terms << unicode;
  }
  return terms;
}

TermMarks::TermMarks(QTextDocument* document, const QPalette& palette)
    : QSyntaxHighlighter(document) {
  SetPalette(palette);
}

void TermMarks::AddNewestBlock(int length, QStringList terms, int box_length) {
  blocks_.insert(blocks_.begin(), Block{0, length, std::move(terms)});
  int start = 0;
  auto kept = blocks_.begin();
  for (; kept != blocks_.end() && start < box_length; ++kept) {
    kept->start = start;
    kept->length = std::min(kept->length, box_length - start);
    start += kept->length;
  }
  blocks_.erase(kept, blocks_.end());
}

void TermMarks::SetPalette(const QPalette& palette) {
  QColor background = palette.color(QPalette::Active, QPalette::Highlight);
  background.setAlpha(kMarkAlpha);
  mark_.setBackground(background);
  rehighlight();
}

void TermMarks::highlightBlock(const QString& text) {
  const int position = currentBlock().position();
  auto after = std::upper_bound(blocks_.begin(), blocks_.end(), position,
                                [](int at, const Block& block) { return at < block.start; });
  if (after == blocks_.begin()) return;
  const Block& block = *std::prev(after);
  if (position >= block.start + block.length) return;
  // Every character of the decoded text is a character boundary of the record; occurrences may
  // overlap.
  for (const QString& term : block.terms) {
    for (qsizetype at = text.indexOf(term); at >= 0; at = text.indexOf(term, at + 1)) {
      setFormat(static_cast<int>(at), static_cast<int>(term.size()), mark_);
    }
  }
}

}  // namespace tolvane
