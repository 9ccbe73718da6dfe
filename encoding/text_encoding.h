#pragma once
// The encodings a bibliography may be written in, each with its own walk over its characters:
// Shift-JIS (CP932), the program's own; UTF-8; EUC-JP. Every walk is total: a byte that starts no
// valid character is a character of its own, so any bytes can be walked.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace tolvane {

enum class TextEncoding : std::uint8_t { kShiftJis, kUtf8, kEucJp };

// What a UTF-8 file may begin with, which is no part of its text.
inline constexpr std::string_view kUtf8ByteOrderMark = "\xef\xbb\xbf";

// The longest character of any of them: four bytes of UTF-8.
inline constexpr std::size_t kMaxCharBytes = 4;

// The name glibc's iconv knows the encoding by.
const char* IconvName(TextEncoding encoding);
// The name the user reads: "Shift-JIS", "UTF-8", "EUC-JP".
const char* DisplayName(TextEncoding encoding);

// End of the character that starts at boundary `pos` of `text`.
std::size_t NextCharEnd(TextEncoding encoding, std::string_view text, std::size_t pos);

// True when `pos` is a character boundary of `text` walked from its start, given that `known`
// (<= pos) is one. Looks back no further than it must: UTF-8 at most three bytes, Shift-JIS and
// EUC-JP over the run of bytes that may be part of a character.
bool IsCharBoundary(TextEncoding encoding, std::string_view text, std::size_t pos,
                    std::size_t known = 0);

// Offset of the first occurrence of `pattern` in `text` that starts on a character boundary.
// `pattern` must not be empty.
std::optional<std::size_t> CharBoundaryFind(TextEncoding encoding, std::string_view text,
                                            std::string_view pattern);

// The last character boundary of `text` at or before `limit` (< text.size()): where a piece of a
// long line ends, so that no character is cut in two.
std::size_t LastBoundaryAtMost(TextEncoding encoding, std::string_view text, std::size_t limit);

// True when the line feed at `lf` ends the line rather than being the second byte of a character:
// only in Shift-JIS can a lead byte take it.
bool IsLineEnd(TextEncoding encoding, std::string_view text, std::size_t lf, std::size_t known = 0);

// `text` in UTF-8; a byte that starts no character of the encoding shows as U+FFFD.
std::string ToUtf8(TextEncoding encoding, std::string_view text);

// The same for text that arrives in pieces, such as a file read a block at a time: a character
// whose bytes fall into two pieces converts whole, so the pieces' UTF-8 together is exactly ToUtf8
// of the whole text, wherever the cuts fall.
class ToUtf8Stream {
 public:
  explicit ToUtf8Stream(TextEncoding encoding);
  ~ToUtf8Stream();
  ToUtf8Stream(const ToUtf8Stream&) = delete;
  ToUtf8Stream& operator=(const ToUtf8Stream&) = delete;

  // False when the system offers no conversion from the encoding; nothing is converted then.
  bool ok() const;
  // Appends the UTF-8 of `piece` to `out`. The start of a character that the piece cuts off is
  // held back for the next piece.
  void Convert(std::string_view piece, std::string& out);
  // The text has ended: a character start still held back shows as U+FFFD.
  void Finish(std::string& out);

 private:
  std::unique_ptr<class IconvConverter> converter_;
  std::size_t longest_;  // the encoding's longest character
  bool euc_;             // EUC-JP, whose stray bytes iconv would pass on as control characters
  std::string held_;
};

// `sjis` (CP932) in `encoding`: the bytes, when every character converted, else the first
// character the encoding cannot hold. For EUC-JP the JIS forms of the characters whose Unicode
// mapping differs between CP932 and JIS (the wave dash, the minus sign ...) are taken.
struct Reencoded {
  std::string bytes;
  std::optional<char32_t> unconvertible;
};
Reencoded FromCp932(TextEncoding encoding, std::string_view sjis);

// Six Shift-JIS characters have two Unicode forms, as converters made with CP932's mapping or
// with JIS's write them (the wave dash: U+FF5E and U+301C ...). The CP932 form of a JIS form, and
// the JIS form of a CP932 form; nothing for any other character.
std::optional<char32_t> Cp932FormOf(char32_t jis_form);
std::optional<char32_t> JisFormOf(char32_t cp932_form);

// A code point as UTF-8.
std::string Utf8Of(char32_t c);

}  // namespace tolvane
