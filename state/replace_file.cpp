#include "state/replace_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "search/io.h"
#include "search/unique_fd.h"

namespace tolvane {
namespace {

// Names tried for the temporary file before the replacement gives up.
constexpr int kTempNameAttempts = 100;

std::string FolderOfFile(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

}  // namespace

bool ReplaceFileWhole(const std::string& target, std::string_view content) {
  std::string temp;
  UniqueFd fd;
  for (int attempt = 0; attempt < kTempNameAttempts && !fd.valid(); ++attempt) {
    temp = target + ".tmp" + std::to_string(::getpid()) + "-" + std::to_string(attempt);
    fd = UniqueFd(::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (!fd.valid() && errno != EEXIST) return false;
  }
  if (!fd.valid()) return false;

  bool ok = WriteAll(fd.get(), content) && ::fsync(fd.get()) == 0;
  ok = fd.Close() && ok;
  ok = ok && ::rename(temp.c_str(), target.c_str()) == 0;
  if (!ok) {
    ::unlink(temp.c_str());
    return false;
  }
  UniqueFd folder(::open(FolderOfFile(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (folder.valid()) ::fsync(folder.get());  // the rename itself is done; this only hastens it
  return true;
}

}  // namespace tolvane
