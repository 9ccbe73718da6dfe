#pragma once
// The records file read the plain way, one record at a time, as a text-mode line reader does:
// CR LF arrives as LF, a lone CR stays, Ctrl+Z ends the file, and a read takes at most
// 2,998 bytes, never ending between the two bytes of a character (PieceLength). This is the
// reference that the fast scan is measured against.
#include <array>
#include <cstddef>
#include <string>
#include <string_view>


namespace tolvane {

class RecordReader {
 public:
  explicit RecordReader(int fd) : fd_(fd) {}

  enum class Read { kRecord, kEnd, kError };
  // The next record's bytes (a NUL may be among them), ending after its LF or at 2,998 bytes:
  // kRecord with a record, kEnd at the end of the file, kError when a read failed.
  Read Next(std::string& record);

 private:
  enum : int { kEof = -1, kError = -2, kNoByte = -3 };
  int RawByte();
  int LogicalByte();

  int fd_;
  std::array<char, 4096> buffer_{};
  std::size_t pos_ = 0;
  std::size_t size_ = 0;
  int pushed_back_ = kNoByte;
  bool ended_ = false;
  bool failed_ = false;
};

// How long the piece of a long line that starts `rest` is: 2,998 bytes, or 2,997 where the
// 2,998th would be the lead byte of a character, so that the next piece starts on the character
// rather than on its trail byte. `rest` holds at least kRecordTextBytes bytes of the line.
std::size_t PieceLength(std::string_view rest);

// The part of a record that counts: everything before its first NUL byte.
std::string_view RecordText(std::string_view record);

}  // namespace tolvane
