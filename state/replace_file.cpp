#include "state/replace_file.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <optional>

#include "posix/io.h"
#include "posix/unique_fd.h"

namespace tolvane {
namespace {

// Names tried for the temporary file before the replacement gives up.
constexpr int kTempNameAttempts = 100;
// Links followed before a chain is taken for a loop, as the kernel's own limit.
constexpr int kLinkHops = 40;
// The bits a replaced file keeps. Set-id bits are not carried over: the new file may have another
// owner than the old one.
constexpr mode_t kPermissionBits = 0777;
constexpr mode_t kNewFileMode = 0666;

// The folder part of `path` as written, nothing resolved: a link is read relative to it.
std::string FolderPart(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// Where `path`'s chain of links ends: the name the rename must replace, and the permission bits of
// the file there when there is one. A relative link is joined to the link's folder as text, so that
// the kernel resolves a ".." after a linked folder as it would have through the link itself.
struct FinalFile {
  std::string path;
  std::optional<mode_t> permissions;
};
std::optional<FinalFile> FollowLinks(std::string path) {
  for (int hop = 0; hop <= kLinkHops; ++hop) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) {
      if (errno != ENOENT) return std::nullopt;
      return FinalFile{std::move(path), std::nullopt};
    }
    if (!S_ISLNK(info.st_mode)) return FinalFile{std::move(path), info.st_mode & kPermissionBits};
    std::string link(PATH_MAX, '\0');
    const ssize_t size = ::readlink(path.c_str(), link.data(), link.size());
    if (size <= 0 || static_cast<std::size_t>(size) >= link.size()) return std::nullopt;
    link.resize(static_cast<std::size_t>(size));
    path = link.front() == '/' ? std::move(link) : FolderPart(path) + "/" + link;
  }
  return std::nullopt;
}

// The old file's bits onto the temporary file, which open() narrowed by the umask. A file system
// that keeps no modes of its own (FAT) may refuse the change, but then shows those bits already.
bool GivePermissions(int fd, mode_t permissions) {
  struct stat info {};
  if (::fstat(fd, &info) == 0 && (info.st_mode & kPermissionBits) == permissions) return true;
  return ::fchmod(fd, permissions) == 0;
}

}  // namespace

bool ReplaceFileWhole(const std::string& target, std::string_view content) {
  const std::optional<FinalFile> final_file = FollowLinks(target);
  if (!final_file) return false;
  const std::string& path = final_file->path;
  const std::optional<mode_t>& kept = final_file->permissions;

  std::string temp;
  UniqueFd fd;
  for (int attempt = 0; attempt < kTempNameAttempts && !fd.valid(); ++attempt) {
    temp = path + ".tmp" + std::to_string(::getpid()) + "-" + std::to_string(attempt);
    // Created no wider than the old file, so the new bytes are never readable by more users.
    fd = UniqueFd(::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                         kept.value_or(kNewFileMode)));
    if (!fd.valid() && errno != EEXIST) return false;
  }
  if (!fd.valid()) return false;

  bool ok = (!kept || GivePermissions(fd.get(), *kept)) && WriteAll(fd.get(), content) &&
            ::fsync(fd.get()) == 0;
  ok = fd.Close() && ok;
  ok = ok && ::rename(temp.c_str(), path.c_str()) == 0;
  if (!ok) {
    ::unlink(temp.c_str());
    return false;
  }
  UniqueFd folder(::open(FolderPart(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (folder.valid()) ::fsync(folder.get());  // the rename itself is done; this only hastens it
  return true;
}

}  // namespace tolvane
