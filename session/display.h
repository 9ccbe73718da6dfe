#pragma once
// What one search puts on screen: the display text of its shown records, merged in front of the
// earlier results, and the caption with its count. The run builds them; the window only shows them.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "encoding/text_encoding.h"
#include "search/terms.h"

namespace tolvane {

// What one search puts on screen: at most 500 records, and no more once its text passes 74,500
// bytes; the box keeps the newest blocks within about 75,000 bytes. The limits count the records'
// own bytes, in whatever encoding their file is. They bound the box only: the scan goes on, and
// every match is counted and written to the results file.
inline constexpr int kShownRecords = 500;
inline constexpr std::size_t kDisplayStopBytes = 74500;
inline constexpr std::size_t kAccumulatedCutBytes = 75000;

// One search's block in the results box: its bytes (its closing empty line included), the
// encoding of the file they came from, which they stay in, and the terms that found it (in that
// encoding), which the box marks in it. Blocks of files in different encodings stand side by side.
// A block of a loose search marks every variant of its terms. `spans` are where the engine found
// the terms in the block's records, in bytes from the block's start: what the box marks.
struct ShownBlock {
  std::size_t bytes = 0;
  std::vector<std::string> terms;
  TextEncoding encoding = TextEncoding::kShiftJis;
  bool loose = false;
  std::vector<TermSpan> spans = {};
  bool operator==(const ShownBlock&) const = default;
};

// Exactly what the results box shows, newest search first, and the blocks it is made of, which
// cover the text from its start to its end. Only a search with matches changes it.
struct ShownResults {
  std::string text;
  std::vector<ShownBlock> blocks;
};

// The display text of one search: its first 500 matching records, each ending with CR LF when it
// ended with a line feed. Its storage is taken up front, so appending never reallocates.
class DisplayText {
 public:
  // With `terms` (which must outlive it), each shown record's term spans are kept for the marks.
  explicit DisplayText(TextEncoding encoding = TextEncoding::kShiftJis,
                       const TermTable* terms = nullptr);
  // Appends a shown record. False once the text holds 500 records or has passed 74,500 bytes:
  // nothing more is to be appended then.
  bool Append(std::string_view record);
  // The records appended.
  int Records() const { return records_; }
  // Closes the block with its empty line and puts it, found by `terms`, over `older`.
  ShownResults MergeInFrontOf(const ShownResults& older, std::vector<std::string> terms,
                              bool loose = false) &&;

 private:
  TextEncoding encoding_;
  const TermTable* terms_;
  std::string text_;
  int records_ = 0;
  std::vector<TermSpan> spans_;
};

// The caption for a search with `matches` matches (at least one), of which the box shows
// `shown`: the form that points to the editor whenever it shows fewer than matched.
std::string CountCaption(std::int64_t matches, std::int64_t shown = kShownRecords);

// Puts a new block (ending with its empty line) in front of the older text, dropping the older
// text's oldest lines so that the whole stays near 75,000 bytes. Returns the merged text.
std::string MergeResults(std::string block, std::string_view older);

// The new block over the older results, cut as MergeResults cuts: the blocks the cut dropped are
// gone, and one it shortened is shortened.
// The older blocks keep the spans that lie wholly within what the cut kept of them.
ShownResults MergeShown(std::string block, std::vector<std::string> terms,
                        const ShownResults& older, TextEncoding encoding = TextEncoding::kShiftJis,
                        bool loose = false, std::vector<TermSpan> spans = {});

}  // namespace tolvane
