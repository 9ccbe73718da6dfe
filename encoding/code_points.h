#pragma once
// The Unicode code point of each character of an encoding, and every way the encoding writes a
// code point: tables derived from glibc's iconv once per process and encoding, at first need, so
// that they always agree with the conversions of the screen and the terminal.
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "encoding/text_encoding.h"

namespace tolvane {

// What Decode gives for bytes that are no character of the encoding.
inline constexpr char32_t kReplacementCodePoint = 0xfffd;

class CodePointTable {
 public:
  // The one table of the process for `encoding`.
  static const CodePointTable& Get(TextEncoding encoding);

  // The code point of the character that starts at boundary `pos` of `text`, which ends at `end`;
  // U+FFFD for one that is no character of the encoding.
  char32_t Decode(std::string_view text, std::size_t pos, std::size_t& end) const;
  // Every way the encoding writes `c` (CP932's twins give some characters two or three); none when
  // it cannot.
  std::vector<std::string> Spellings(char32_t c) const;

 private:
  explicit CodePointTable(TextEncoding encoding);
  void Add(std::string bytes, char32_t c);

  TextEncoding encoding_;
  // By the character's bytes read big-endian, for Shift-JIS and EUC-JP; UTF-8 needs no table.
  // Flat, since the loose search decodes every character of a candidate record: single bytes and
  // two-byte codes by their value, EUC-JP's three-byte codes (0x8F ...) by their last two bytes.
  std::vector<char32_t> one_or_two_bytes_;
  std::vector<char32_t> three_bytes_;
  // Every code with its code point, by code point and then code: each code's bytes read big-endian.
  std::vector<std::pair<char32_t, std::uint32_t>> spellings_;
};

}  // namespace tolvane
