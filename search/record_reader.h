#pragma once
// The records file read the plain way, one record at a time, as a text-mode line reader does:
// CR LF arrives as LF, a lone CR stays, Ctrl+Z ends the file, and a read takes at most
// 2,998 bytes, never ending inside a character of the file's encoding (PieceLength). A UTF-8
// file's byte-order mark is no part of its first record. This is the reference that the fast scan
// is measured against.
#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "encoding/text_encoding.h"
#include "search/scan_sizes.h"

namespace tolvane {

class RecordReader {
 public:
  explicit RecordReader(int fd, TextEncoding encoding = TextEncoding::kShiftJis)
      : fd_(fd), encoding_(encoding) {}

  enum class Read { kRecord, kEnd, kError };
  // The next record's bytes (a NUL may be among them), ending after its LF or at 2,998 bytes:
  // kRecord with a record, kEnd at the end of the file, kError when a read failed.
  Read Next(std::string& record);

 private:
  enum : int { kEof = -1, kError = -2, kNoByte = -3 };
  int RawByte();
  int LogicalByte();

  int fd_;
  TextEncoding encoding_;
  std::array<char, 4096> buffer_{};
  std::size_t pos_ = 0;
  std::size_t size_ = 0;
  int pushed_back_ = kNoByte;
  bool ended_ = false;
  bool failed_ = false;
  bool started_ = false;  // the first read, which a byte-order mark may begin
  std::string pending_;   // bytes read past the last record, which begin the next
};

// How long the piece of a long line that starts `rest` is: 2,998 bytes, or fewer where a
// character of `encoding` would stand across the 2,998th byte's end, so that the next piece starts
// on that character rather than inside it. `rest` holds the line from the piece's start, as far
// as kPieceLookBytes or the data's end.
inline constexpr std::size_t kPieceLookBytes = kRecordTextBytes + kMaxCharBytes - 1;
std::size_t PieceLength(TextEncoding encoding, std::string_view rest);

// The part of a record that counts: everything before its first NUL byte.
std::string_view RecordText(std::string_view record);

}  // namespace tolvane
