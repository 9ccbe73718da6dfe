// The character-boundary primitives against a model that tries every position.
// Input: a selector byte, then text 0xFF pattern 0xFF replacement.
#include <optional>

#include "encoding/primitives.h"
#include "encoding/sjis.h"
#include "fuzz_util.h"

namespace tolvane::fuzz {
namespace {

std::optional<std::size_t> Expected(std::size_t model_pos) {
  if (model_pos == std::string_view::npos) return std::nullopt;
  return model_pos;
}

// `known_pick` chooses the boundary that IsCharBoundary may count on.
void CheckBoundaries(std::string_view text, unsigned known_pick) {
  const std::vector<bool> is_boundary = ModelBoundaries(text);
  std::vector<std::size_t> boundaries;
  for (std::size_t pos = 0; pos <= text.size(); ++pos) {
    FUZZ_CHECK(IsCharBoundary(text, pos) == is_boundary[pos]);
    if (is_boundary[pos]) boundaries.push_back(pos);
  }
  const std::size_t known = boundaries[known_pick % boundaries.size()];
  for (std::size_t pos = known; pos <= text.size(); ++pos) {
    FUZZ_CHECK(IsCharBoundary(text, pos, known) == is_boundary[pos]);
  }
  for (std::size_t i = 1; i < boundaries.size(); ++i) {
    FUZZ_CHECK(NextCharEnd(text, boundaries[i - 1]) == boundaries[i]);
  }
  // A lead byte that ends the text is a character of its own.
  if (!is_boundary[text.size()]) FUZZ_CHECK(NextCharEnd(text, boundaries.back()) == text.size());
  for (std::size_t i = 0; i < text.size(); ++i)
    FUZZ_CHECK(IsLeadByte(text[i]) == ModelLeadByte(text[i]));
}

void CheckFind(std::string_view text, std::string_view pattern) {
  if (pattern.empty()) return;  // no caller passes an empty pattern: it would be found at once
  FUZZ_CHECK(CharBoundaryFind(text, pattern) == Expected(ModelFind(text, pattern)));
}

// `start_pick` chooses which boundary of `text` ReplaceFirst starts from.
void CheckReplace(const std::string& text, std::string_view from, std::string_view to,
                  unsigned start_pick) {
  if (from.empty()) return;
  const std::vector<bool> is_boundary = ModelBoundaries(text);
  std::vector<std::size_t> starts;
  for (std::size_t p = 0; p <= text.size(); ++p) {
    if (is_boundary[p]) starts.push_back(p);
  }
  const std::size_t start = starts[start_pick % starts.size()];

  std::string first = text;
  const std::optional<std::size_t> after = ReplaceFirst(first, from, to, start);
  const std::size_t hit = ModelFind(text, from, start);
  if (hit == std::string_view::npos) {
    FUZZ_CHECK(!after);
    FUZZ_CHECK(first == text);
  } else {
    FUZZ_CHECK(after == hit + to.size());
    FUZZ_CHECK(first == text.substr(0, hit) + std::string(to) + text.substr(hit + from.size()));
  }

  std::string all = text;
  ReplaceAll(all, from, to);
  FUZZ_CHECK(all == ModelReplaceAll(text, from, to));
}

}  // namespace
}  // namespace tolvane::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tolvane::fuzz;
  std::string_view input = AsText(data, size);
  const unsigned char selector = TakeByte(input);
  const std::vector<std::string> f = Fields(input, 3);
  const std::string& text = f[0];
  CheckBoundaries(text, selector);
  CheckFind(text, f[1]);
  CheckReplace(text, f[1], f[2], selector);
  // The rewrites the program makes, on the same text.
  CheckReplace(text, " ", "\x81\x40", selector);
  CheckReplace(text, "\x81\x40", " ", selector);
  CheckReplace(text, "\n", "\r\n", selector);
  return 0;
}
