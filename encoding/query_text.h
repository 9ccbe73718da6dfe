#pragma once
// A query as the user typed it, in UTF-8 from the box or the command line to the scan: written in
// the records file's encoding only when a search starts, so that a character that file holds is
// searched whether Shift-JIS holds it or not.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "encoding/text_encoding.h"

namespace tolvane {

// What a character Shift-JIS lacks counts against the query limit: two bytes, as most Shift-JIS
// characters are, whatever its UTF-8 takes (𠮷 is four, a combining mark two).
inline constexpr std::size_t kBytesPerCharacterBeyondShiftJis = 2;

// `utf8` in `encoding`, a character at a time. A character Shift-JIS holds (its JIS forms and its
// NFKC forms among them: 〜, ⾔) is written as it was when queries were held in Shift-JIS;
// any other is written as itself where the encoding holds it. Else `unconvertible` names the first
// character that cannot be written (U+FFFD for bytes that are no UTF-8, U+0000 for a NUL).
Reencoded FromUtf8(TextEncoding encoding, std::string_view utf8);

// The same for one code point; nothing when the encoding cannot hold it.
std::optional<std::string> CharacterIn(TextEncoding encoding, char32_t c);

// How many bytes `utf8` takes against the 299-byte query limit: its Shift-JIS bytes where Shift-JIS
// holds the query, each ASCII blank counting as the full-width blank it is stored as; each
// character Shift-JIS lacks counts two. Bytes that are no UTF-8 count one each.
std::size_t QueryLimitBytes(std::string_view utf8);

}  // namespace tolvane
