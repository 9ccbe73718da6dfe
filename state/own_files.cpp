#include "state/own_files.h"

#include <fcntl.h>
#include <limits.h>
#include <pwd.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string_view>
#include <vector>

namespace tolvane {
namespace {

constexpr mode_t kOwnFolderMode = 0700;
// Group and other write bits: with either, someone else could put a link in the folder.
constexpr mode_t kOthersWriteBits = 022;
// Names tried for the temporary file before the write gives up.
constexpr int kTempNameAttempts = 100;
// getpwuid_r's buffer when the system names no size.
constexpr std::size_t kPasswdBufferBytes = 16384;

// A single name within a folder, never a path or a step up.
bool IsPlainName(std::string_view name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos;
}

std::string HomeFolder() {
  const char* home = ::getenv("HOME");
  if (home != nullptr && home[0] == '/') return home;
  const long suggested = ::sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(suggested > 0 ? static_cast<std::size_t>(suggested) : kPasswdBufferBytes);
  passwd entry{};
  passwd* found = nullptr;
  if (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr ||
      found->pw_dir == nullptr || found->pw_dir[0] != '/') {
    return {};
  }
  return found->pw_dir;
}

// `path` and each of its parents, made with mode 0700 where missing.
bool MakeFolderWithParents(const std::string& path) {
  for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
    const std::string prefix = path.substr(0, slash);
    if (::mkdir(prefix.c_str(), kOwnFolderMode) != 0 && errno != EEXIST) return false;
    if (slash == std::string::npos) return true;
  }
}

// True when `folder` is the user's own and no one else may write it, after narrowing it to 0700
// when others could.
bool KeptPrivate(int folder) {
  struct stat info {};
  if (::fstat(folder, &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::geteuid()) return false;
  if ((info.st_mode & kOthersWriteBits) == 0) return true;
  return ::fchmod(folder, kOwnFolderMode) == 0;
}

// Gives the unnamed file `fd` a fresh temporary name in `folder`; empty when none could be given.
std::string NameUnnamedFile(int folder, int fd, const std::string& name) {
  const std::string self = "/proc/self/fd/" + std::to_string(fd);
  for (int attempt = 0; attempt < kTempNameAttempts; ++attempt) {
    std::string temp = name + ".tmp" + std::to_string(::getpid()) + "-" + std::to_string(attempt);
    if (::linkat(AT_FDCWD, self.c_str(), folder, temp.c_str(), AT_SYMLINK_FOLLOW) == 0) return temp;
    if (errno != EEXIST) return {};
  }
  return {};
}

// Makes a named temporary file in `folder`; `temp` gets its name.
UniqueFd MakeNamedTemp(int folder, const std::string& name, mode_t mode, std::string& temp) {
  for (int attempt = 0; attempt < kTempNameAttempts; ++attempt) {
    temp = name + ".tmp" + std::to_string(::getpid()) + "-" + std::to_string(attempt);
    UniqueFd fd(::openat(folder, temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode));
    if (fd.valid() || errno != EEXIST) return fd;
  }
  return UniqueFd();
}

}  // namespace

OpenedName OpenWithoutForeignLink(int folder, const std::string& name, int flags) {
  OpenedName opened;
  opened.fd = UniqueFd(::openat(folder, name.c_str(), flags | O_NOFOLLOW | O_CLOEXEC));
  // A link at the name fails with ELOOP, or with ENOTDIR where a folder was asked for.
  if (opened.fd.valid() || (errno != ELOOP && errno != ENOTDIR)) return opened;

  // A link: judged and read through a descriptor of the link itself, so that a link swapped in
  // after the check is never the one followed.
  const UniqueFd link(::openat(folder, name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
  struct stat link_info {}, folder_info {};
  if (!link.valid() || ::fstat(link.get(), &link_info) != 0 || !S_ISLNK(link_info.st_mode) ||
      ::fstat(folder, &folder_info) != 0) {
    return opened;
  }
  if (link_info.st_uid != ::geteuid() && link_info.st_uid != folder_info.st_uid) {
    opened.refused_link = true;
    return opened;
  }
  std::string target(PATH_MAX, '\0');
  const ssize_t size = ::readlinkat(link.get(), "", target.data(), target.size());
  if (size <= 0 || static_cast<std::size_t>(size) >= target.size()) return opened;
  target.resize(static_cast<std::size_t>(size));
  // A relative target is read from the link's folder, as the kernel reads it.
  opened.fd = UniqueFd(::openat(folder, target.c_str(), flags | O_CLOEXEC));
  return opened;
}

std::string UserCacheHome() {
  const char* cache = ::getenv("XDG_CACHE_HOME");
  // A relative path is no valid setting; the default stands in for it.
  if (cache != nullptr && cache[0] == '/') return cache;
  const std::string home = HomeFolder();
  return home.empty() ? std::string() : home + "/.cache";
}

UniqueFd OpenOwnFolder(const std::string& base, std::span<const std::string> subfolders) {
  if (base.empty() || base[0] != '/' || !MakeFolderWithParents(base)) return UniqueFd();
  UniqueFd folder(::open(base.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  for (const std::string& name : subfolders) {
    if (!folder.valid() || !IsPlainName(name)) return UniqueFd();
    if (::mkdirat(folder.get(), name.c_str(), kOwnFolderMode) != 0 && errno != EEXIST) return UniqueFd();
    OpenedName sub = OpenWithoutForeignLink(folder.get(), name, O_RDONLY | O_DIRECTORY);
    if (!sub.fd.valid() || !KeptPrivate(sub.fd.get())) return UniqueFd();
    folder = std::move(sub.fd);
  }
  return folder;
}

bool WriteWholeFileAt(int folder, const std::string& name, mode_t mode,
                      const std::function<bool(int fd)>& fill) {
  if (!IsPlainName(name)) return false;
  std::string temp;
  // Unnamed while it is written, so a process killed meanwhile leaves nothing behind.
  UniqueFd fd(::openat(folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, mode));
  if (fd.valid()) {
    if (!fill(fd.get())) return false;
    temp = NameUnnamedFile(folder, fd.get(), name);
    if (temp.empty()) return false;
  } else {
    // A file system without unnamed files (before Linux 3.11, or one that lacks them).
    fd = MakeNamedTemp(folder, name, mode, temp);
    if (!fd.valid()) return false;
    if (!fill(fd.get())) {
      ::unlinkat(folder, temp.c_str(), 0);
      return false;
    }
  }
  // Not flushed to the disk: what is written here can be made again, and the rename alone already
  // keeps every reader from seeing part of it.
  if (!fd.Close() || ::renameat(folder, temp.c_str(), folder, name.c_str()) != 0) {
    ::unlinkat(folder, temp.c_str(), 0);
    return false;
  }
  return true;
}

}  // namespace tolvane
