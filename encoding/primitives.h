#pragma once
// Searching and rewriting Shift-JIS text only where a character begins.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace tolvane {

// Offset of the first occurrence of `pattern` in `text` that starts on a character boundary
// (walked from the start of `text`). `pattern` must not be empty.
std::optional<std::size_t> CharBoundaryFind(std::string_view text, std::string_view pattern);

// Replaces the first boundary occurrence of `from` at or after `start` (itself a boundary) with
// `to`. Returns the offset just after the inserted `to`, or nothing when `from` does not occur.
std::optional<std::size_t> ReplaceFirst(std::string& text, std::string_view from,
                                        std::string_view to, std::size_t start = 0);

// ReplaceFirst until nothing is left; inserted text is never searched again.
void ReplaceAll(std::string& text, std::string_view from, std::string_view to);

}  // namespace tolvane
