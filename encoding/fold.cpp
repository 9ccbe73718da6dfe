#include "encoding/fold.h"

namespace tolvane {

char32_t FoldCharacter(char32_t c, Folding /*folding*/) {
  // CP932's forms stand for the pair: they are what the program's own queries convert to.
  return Cp932FormOf(c).value_or(c);
}

std::vector<char32_t> FoldClass(char32_t folded, Folding /*folding*/) {
  std::vector<char32_t> members{folded};
  if (const std::optional<char32_t> jis = JisFormOf(folded)) members.push_back(*jis);
  return members;
}

}  // namespace tolvane
