#include "state/start_dir.h"

#include <unistd.h>

#include <cerrno>
#include <vector>

namespace tolvane {

std::optional<std::string> CurrentDirectory() {
  // No fixed limit: the buffer grows until the path fits.
  std::vector<char> buffer(256);
  while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
    if (errno != ERANGE) return std::nullopt;
    buffer.resize(buffer.size() * 2);
  }
  return std::string(buffer.data());
}

}  // namespace tolvane
