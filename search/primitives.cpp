#include "search/primitives.h"

#include "search/sjis.h"

namespace tolvane {

bool MatchesPrefix(std::string_view text, std::string_view pattern) {
  return text.substr(0, pattern.size()) == pattern;
}

std::optional<std::size_t> CharBoundaryFind(std::string_view text, std::string_view pattern) {
  if (pattern.empty()) return 0;
  // `walk` moves from boundary to boundary and never goes back, so the whole search stays linear.
  std::size_t walk = 0;
  std::size_t from = 0;
  while (true) {
    const std::size_t hit = text.find(pattern, from);
    if (hit == std::string_view::npos) return std::nullopt;
    while (walk < hit) walk += IsLeadByte(text[walk]) ? 2 : 1;
    if (walk == hit) return hit;
    from = walk;  // the hit sat on a trail byte; the next character is the next place it may start
  }
}

std::optional<std::size_t> ReplaceFirst(std::string& text, std::string_view from, std::string_view to,
                                        std::size_t start) {
  if (start > text.size()) return std::nullopt;
  const auto hit = CharBoundaryFind(std::string_view(text).substr(start), from);
  if (!hit) return std::nullopt;
  const std::size_t pos = start + *hit;
  text.replace(pos, from.size(), to);
  return pos + to.size();
}

void ReplaceAll(std::string& text, std::string_view from, std::string_view to) {
  std::optional<std::size_t> next = 0;
  while ((next = ReplaceFirst(text, from, to, *next))) {
  }
}

}  // namespace tolvane
