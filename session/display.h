#pragma once
// What one search puts on screen: the display text of its shown records, merged in front of the
// earlier results, and the caption with its count. The run builds them; the window only shows them.
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace tolvane {

// What one search puts on screen: at most 500 records, and no more once its text passes 74,500
// bytes; the box keeps the newest blocks within about 75,000 bytes.
inline constexpr int kShownRecords = 500;
inline constexpr std::size_t kDisplayStopBytes = 74500;
inline constexpr std::size_t kAccumulatedCutBytes = 75000;

// What the window offers a run. Every text is Shift-JIS.
struct DisplayOps {
  std::function<void(std::string_view message)> show_error;  // modal; returns when closed
  std::function<void(std::string_view text)> set_results_text;
  std::function<void(std::string_view caption)> set_caption;
  // Instead of show_error when the records file is missing, for a screen that also names the
  // folder it was looked for in; left empty, show_error shows the message alone.
  std::function<void(std::string_view message)> show_missing_records = {};
};

// The display text of one search: its first 500 matching records, each ending with CR LF when it
// ended with a line feed. Its storage is taken up front, so appending never reallocates.
class DisplayText {
 public:
  DisplayText();
  // Appends a shown record. False once the text has passed 74,500 bytes: the scan ends there.
  bool Append(std::string_view record);
  // How long the block will be once closed with its empty line.
  std::size_t ClosedBytes() const;
  // Closes the block with its empty line and puts it in front of `older` (see MergeResults).
  std::string MergeInFrontOf(std::string_view older) &&;

 private:
  std::string text_;
};

// The caption for a search with `matches` matches (at least one).
std::string CountCaption(int matches);

// Puts a new block (ending with its empty line) in front of the older text, dropping the older
// text's oldest lines so that the whole stays near 75,000 bytes. Returns the merged text.
std::string MergeResults(std::string block, std::string_view older);

}  // namespace tolvane
