#include "screen/term_marks.h"

#include <QTextBlock>
#include <algorithm>

#include "encoding/text_encoding.h"
#include "screen/screen_text.h"

namespace tolvane {
namespace {

// Opaque enough to see on either base, light enough that the text stays readable.
constexpr int kMarkAlpha = 110;

// `text` with each character of two Unicode forms in CP932's form, as the search takes them: one
// UTF-16 unit for another, so that positions stay where they are.
QString WithCp932Forms(QString text) {
  for (QChar& c : text) {
    if (const std::optional<char32_t> form = Cp932FormOf(c.unicode())) c = QChar(static_cast<char16_t>(*form));
  }
  return text;
}

}  // namespace

int BoxLength(const QString& text) {
  return static_cast<int>(text.size() - text.count(QStringLiteral("\r\n")));
}

QStringList MarkableTerms(std::span<const std::string> encoded_terms, TextEncoding encoding) {
  QStringList terms;
  for (const std::string& term : encoded_terms) {
    const QString unicode = FromEncoded(term, encoding);
    if (!unicode.contains(QChar::ReplacementCharacter)) terms << WithCp932Forms(unicode);
  }
  return terms;
}

TermMarks::TermMarks(QTextDocument* document, const QPalette& palette)
    : QSyntaxHighlighter(document) {
  SetPalette(palette);
}

void TermMarks::SetBlocks(std::vector<Block> blocks) {
  blocks_ = std::move(blocks);
  folded_terms_.assign(blocks_.size(), {});
  for (std::size_t k = 0; k < blocks_.size(); ++k) {
    if (!blocks_[k].loose) continue;
    for (const QString& term : blocks_[k].terms) {
      if (!term.isEmpty()) folded_terms_[k].emplace_back(TextEncoding::kUtf8, term.toStdString(), Folding::kLoose);
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
    MarkLoose(text, folded_terms_[index]);
    return;
  }
  // Every character of the decoded text is a character boundary of the record; occurrences may
  // overlap. A wave dash is marked in either of its forms, as the search found it.
  const QString folded = WithCp932Forms(text);
  for (const QString& term : block.terms) {
    for (qsizetype at = folded.indexOf(term); at >= 0; at = folded.indexOf(term, at + 1)) {
      setFormat(static_cast<int>(at), static_cast<int>(term.size()), mark_);
    }
  }
}

void TermMarks::MarkLoose(const QString& text, const std::vector<FoldedTerm>& terms) {
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
  for (const FoldedTerm& term : terms) {
    for (std::optional<FoldedTerm::Match> match = term.Find(utf8); match;
         match = term.Find(utf8, term.NextPlace(utf8, match->at))) {
      setFormat(position[match->at], position[match->end] - position[match->at], mark_);
    }
  }
}

}  // namespace tolvane
