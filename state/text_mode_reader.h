#pragma once
// A small file read as a text-mode reader reads it: CR LF arrives as LF, a lone CR stays, and a
// Ctrl+Z ends the file. For the state files, whose lines are short but may be anything on disk.
#include <array>
#include <cstddef>
#include <string_view>

namespace tolvane {

class TextModeReader {
 public:
  explicit TextModeReader(int fd) : fd_(fd) {}

  // The next run of a line's bytes, valid until the next call; `line_ends` when the line's LF
  // follows the run (the LF itself is not in it). False at the end of the file, or on a read
  // error, which Failed() then tells.
  bool Next(std::string_view& run, bool& line_ends);
  bool Failed() const { return failed_; }

 private:
  bool Fill();

  int fd_;
  std::array<char, 4096> buffer_{};
  std::size_t pos_ = 0;
  std::size_t size_ = 0;
  bool carried_cr_ = false;  // a CR ended the last read; the next byte tells what it was
  bool ended_ = false;
  bool failed_ = false;
};

}  // namespace tolvane
