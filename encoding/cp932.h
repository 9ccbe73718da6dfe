#pragma once
// Conversion between the Shift-JIS (CP932) of the files and the UTF-8 of the screen and the terminal.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace tolvane {

// Shift-JIS to UTF-8. A byte sequence that is not CP932 shows as U+FFFD; nothing is dropped.
std::string Cp932ToUtf8(std::string_view sjis);

// Shift-JIS to UTF-8 for text that arrives in pieces, such as a file read a block at a time: a
// character whose bytes fall into two pieces converts whole, so the pieces' UTF-8 together is
// exactly Cp932ToUtf8 of the whole text, wherever the cuts fall.
class Cp932ToUtf8Stream {
 public:
  Cp932ToUtf8Stream();
  ~Cp932ToUtf8Stream();
  Cp932ToUtf8Stream(const Cp932ToUtf8Stream&) = delete;
  Cp932ToUtf8Stream& operator=(const Cp932ToUtf8Stream&) = delete;

  // False when the system offers no CP932 conversion; nothing is converted then.
  bool ok() const;
  // Appends the UTF-8 of `piece` to `out`. The start of a character that the piece cuts off is
  // held back for the next piece.
  void Convert(std::string_view piece, std::string& out);
  // The text has ended: a character start still held back shows as U+FFFD.
  void Finish(std::string& out);

 private:
  class Converter;
  std::unique_ptr<Converter> converter_;
  std::string held_;
};

struct Cp932Encoding {
  std::string sjis;                      // the converted text, when everything converted
  std::optional<char32_t> unconvertible; // else the first character CP932 cannot hold
  bool malformed_utf8 = false;           // or the input was not UTF-8
  bool ok() const { return !unconvertible && !malformed_utf8; }
};

// UTF-8 to Shift-JIS. The JIS forms that input methods produce (the wave dash, the minus sign ...)
// become CP932's own characters.
Cp932Encoding Utf8ToCp932(std::string_view utf8);

// "U+301C 〜" style name of a character, for telling the user which one could not be converted.
std::string DescribeCharacter(char32_t c);

}  // namespace tolvane
