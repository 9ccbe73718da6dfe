#include "encoding/primitives.h"

#include "encoding/sjis.h"

namespace tolvane {

std::optional<std::size_t> CharBoundaryFind(std::string_view text, std::string_view pattern) {
  if (pattern.empty()) return 0;
  // `known` is a boundary no later than the next hit, so the runs of lead bytes looked back over
  // never overlap and the whole search stays linear.
  std::size_t known = 0;
  while (true) {
    const std::size_t hit = text.find(pattern, known);
    if (hit == std::string_view::npos) return std::nullopt;
    if (IsCharBoundary(text, hit, known)) return hit;
    known = hit + 1;  // the hit sat on a trail byte, so the next character starts after it
  }
}

std::optional<std::size_t> ReplaceFirst(std::string& text, std::string_view from,
                                        std::string_view to, std::size_t start) {
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
