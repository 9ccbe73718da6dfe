#include "state/start_dir.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <vector>

#include "posix/files.h"

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

std::string ResolvedFolder(const std::string& folder) {
  const std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(folder.c_str(), nullptr),
                                                             &std::free);
  if (resolved) return resolved.get();
  if (!folder.empty() && folder.front() == '/') return folder;
  const std::optional<std::string> working = CurrentDirectory();
  if (!working) return std::string();
  return JoinPath(*working, folder);
}

std::string FolderOfFile(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ResolvedFolder(".");
  return ResolvedFolder(slash == 0 ? std::string("/") : path.substr(0, slash));
}

}  // namespace tolvane
