#pragma once
// Marks, in the results box, where each shown search's terms occur in that search's block, without
// touching the box's text: a syntax highlighter over the box's document. Positions are the
// document's, in which every CR LF of the accumulated text is one paragraph break; each block ends
// with one, so a line of the box always lies within one search's block.
#include <QPalette>
#include <QString>
#include <QStringList>
#include <QSyntaxHighlighter>
#include <QTextCharFormat>
#include <span>
#include <string>
#include <vector>

#include "encoding/text_encoding.h"
#include "search/folded_term.h"

class QTextDocument;

namespace tolvane {

// How long `text` is once set into a document as plain text.
int BoxLength(const QString& text);

// The terms of a search (in `encoding`, their file's) as the box finds them, each character of two
// Unicode forms in CP932's form. A term that does not decode to whole characters (a lone lead
// byte) matches bytes the Unicode text does not show, and is left out.
QStringList MarkableTerms(std::span<const std::string> terms, TextEncoding encoding);

class TermMarks : public QSyntaxHighlighter {
 public:
  TermMarks(QTextDocument* document, const QPalette& palette);

  // One search's block: its length in the box and the terms to mark in it. A loose search's
  // terms mark every variant: they are matched folded on the line's UTF-8, one character at a
  // time, as the search matched them.
  struct Block {
    int length;
    QStringList terms;
    bool loose = false;
  };
  // The box's blocks from its top, newest first, covering the whole box. Called before the box
  // gets its text, which marks it.
  void SetBlocks(std::vector<Block> blocks);
  // The mark is derived from the palette, so that it reads on a light and on a dark base alike.
  void SetPalette(const QPalette& palette);

 protected:
  void highlightBlock(const QString& text) override;

 private:
  void MarkLoose(const QString& text, const std::vector<FoldedTerm>& terms);

  std::vector<Block> blocks_;  // newest first, which is their order in the box
  std::vector<int> starts_;    // where each block starts
  std::vector<std::vector<FoldedTerm>> folded_terms_;  // each loose block's terms, in UTF-8
  QTextCharFormat mark_;
};

}  // namespace tolvane
