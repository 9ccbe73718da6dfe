#include "search/sjis.h"

namespace tolvane {

bool IsCharBoundary(std::string_view text, std::size_t pos) {
  std::size_t run_start = pos;
  while (run_start > 0 && IsLeadByte(text[run_start - 1])) --run_start;
  return (pos - run_start) % 2 == 0;
}

}  // namespace tolvane
