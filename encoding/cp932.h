#pragma once
// Conversion between the Shift-JIS (CP932) of the files and the UTF-8 of the screen and the
// terminal.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tolvane {

// Shift-JIS to UTF-8. A byte sequence that is not CP932 shows as U+FFFD; nothing is dropped.
std::string Cp932ToUtf8(std::string_view sjis);

struct Cp932Encoding {
  std::string sjis;                       // the converted text, when everything converted
  std::optional<char32_t> unconvertible;  // else the first character CP932 cannot hold
  bool malformed_utf8 = false;            // or the input was not UTF-8
  bool ok() const { return !unconvertible && !malformed_utf8; }
};

// UTF-8 to Shift-JIS. The JIS forms that input methods produce (the wave dash, the minus sign ...)
// become CP932's own characters. A character CP932 lacks whose NFKC form it holds (a Kangxi
// radical ⾔ pasted from a PDF, a compatibility ideograph, a no-break space) becomes that form; a
// character CP932 holds is never changed.
Cp932Encoding Utf8ToCp932(std::string_view utf8);

// The same, leaving out the characters that convert in neither form (and NUL) and every byte that
// starts no UTF-8 character, and telling so in `dropped`. For text the user did not type, such as
// a history file saved by a UTF-8 editor.
Cp932Encoding Utf8ToCp932Dropping(std::string_view utf8, bool& dropped);

// "U+301C 〜" style name of a character, for telling the user which one could not be converted.
std::string DescribeCharacter(char32_t c);

}  // namespace tolvane
