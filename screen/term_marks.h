#pragma once
// Marks, in the results box, where each shown search's terms occur in that search's block, without
// touching the box's text: a syntax highlighter over the box's document. Positions are the
// document's, in which every CR LF of the accumulated text is one paragraph break; each block ends
// with one, so a line of the box always lies within one search's block.
#include <QPalette>
#include <QString>
#include <QSyntaxHighlighter>
#include <QTextCharFormat>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "encoding/text_encoding.h"
#include "search/terms.h"

class QTextDocument;

namespace tolvane {

// How long `text` is once set into a document as plain text.
int BoxLength(const QString& text);

// Where a block's marks stand in the box: from its start, in the document's positions.
struct BoxMark {
  int at = 0;
  int length = 0;
  bool operator==(const BoxMark&) const = default;
};

// The engine's spans (bytes of `block`, in `encoding`, ordered by where they start) as marks in
// the box, where the block is decoded whole and each CR LF is one paragraph break.
std::vector<BoxMark> BoxMarksOf(std::string_view block, TextEncoding encoding,
                                std::span<const TermSpan> spans);

class TermMarks : public QSyntaxHighlighter {
 public:
  TermMarks(QTextDocument* document, const QPalette& palette);

  // One search's block: its length in the box and where the search found its terms in it. The
  // marks come from the engine's own matches: the box never looks for the terms again.
  struct Block {
    int length;
    std::vector<BoxMark> marks;
  };
  // The box's blocks from its top, newest first, covering the whole box. Called before the box
  // gets its text, which marks it.
  void SetBlocks(std::vector<Block> blocks);
  // The mark is derived from the palette, so that it reads on a light and on a dark base alike.
  void SetPalette(const QPalette& palette);

 protected:
  void highlightBlock(const QString& text) override;

 private:
  std::vector<Block> blocks_;  // newest first, which is their order in the box
  std::vector<int> starts_;    // where each block starts
  QTextCharFormat mark_;
};

}  // namespace tolvane
