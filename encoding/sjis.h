#pragma once
// Shift-JIS (code page 932) character classification, and the one walk over its characters.
#include <cstddef>
#include <string_view>

namespace tolvane {

inline constexpr char kLineFeed = '\n';
inline constexpr char kCarriageReturn = '\r';
inline constexpr char kEndOfFileByte = '\x1a';  // Ctrl+Z ends a text-mode file
inline constexpr std::string_view kAsciiBlank = " ";
inline constexpr std::string_view kFullWidthBlank = "\x81\x40";  // "　"
inline constexpr std::string_view kCrLf = "\r\n";
inline constexpr std::string_view kLf = "\n";

// Lead bytes of code page 932: 0x81-0x9F and 0xE0-0xFC, whatever the locale says.
constexpr bool IsLeadByte(unsigned char byte) {
  return (byte >= 0x81 && byte <= 0x9f) || (byte >= 0xe0 && byte <= 0xfc);
}
constexpr bool IsLeadByte(char byte) { return IsLeadByte(static_cast<unsigned char>(byte)); }

// End of the character that starts at boundary `pos`: a lead byte takes the next byte with it
// (when there is one).
std::size_t NextCharEnd(std::string_view text, std::size_t pos);

// True when `pos` is a character boundary of `text`, given that `known` (<= pos) is one. Looks
// back only as far as the run of lead bytes before pos, never before known: the byte before such
// a run always ends a character.
bool IsCharBoundary(std::string_view text, std::size_t pos, std::size_t known = 0);

}  // namespace tolvane
