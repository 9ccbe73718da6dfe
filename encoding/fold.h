#pragma once
// Characters that a search takes for one: each is folded to one code point of its class, and a
// class's members are known, so that a filter can look for every way of writing it.
#include <cstddef>
#include <string_view>
#include <vector>

#include "encoding/text_encoding.h"

namespace tolvane {

enum class Folding {
  // The exact search: only the two Unicode forms that converters give one Shift-JIS character
  // (the wave dash 〜 and ～ ...) are one; every other character stands for itself.
  kUnicodeForms,
};

// The code point `c` stands for under `folding`.
char32_t FoldCharacter(char32_t c, Folding folding);

// Every code point that folds to `folded`, itself first.
std::vector<char32_t> FoldClass(char32_t folded, Folding folding);

}  // namespace tolvane
