#include "encoding/sjis.h"

namespace tolvane {

std::size_t NextCharEnd(std::string_view text, std::size_t pos) {
  return IsLeadByte(text[pos]) && pos + 1 < text.size() ? pos + 2 : pos + 1;
}

bool IsCharBoundary(std::string_view text, std::size_t pos, std::size_t known) {
  std::size_t run_start = pos;
  while (run_start > known && IsLeadByte(text[run_start - 1])) --run_start;
  return (pos - run_start) % 2 == 0;
}

}  // namespace tolvane
