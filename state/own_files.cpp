#include "state/own_files.h"

#include <fcntl.h>
#include <pwd.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <string_view>
#include <vector>

#include "posix/files.h"

namespace tolvane {
namespace {

constexpr mode_t kOwnFolderMode = 0700;
// Group and other write bits: with either, someone else could put a link in the folder.
constexpr mode_t kOthersWriteBits = 022;
// getpwuid_r's buffer when the system names no size.
constexpr std::size_t kPasswdBufferBytes = 16384;
// FNV-1a, 64 bits: a digest that stays the same across versions and machines.
constexpr std::uint64_t kFnvOffsetBasis = 0xcbf29ce484222325ULL;
constexpr std::uint64_t kFnvPrime = 0x100000001b3ULL;
// Sixteen hexadecimal digits and the NUL.
constexpr std::size_t kDigestTextBytes = 17;

// A single name within a folder, never a path or a step up.
bool IsPlainName(std::string_view name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos;
}

std::string HomeFolder() {
  const char* home = ::getenv("HOME");
  if (home != nullptr && home[0] == '/') return home;
  const long suggested = ::sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(suggested > 0 ? static_cast<std::size_t>(suggested)
                                         : kPasswdBufferBytes);
  passwd entry{};
  passwd* found = nullptr;
  if (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found) != 0 ||
      found == nullptr || found->pw_dir == nullptr || found->pw_dir[0] != '/') {
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
  if (::fstat(folder, &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::geteuid())
    return false;
  if ((info.st_mode & kOthersWriteBits) == 0) return true;
  return ::fchmod(folder, kOwnFolderMode) == 0;
}

}  // namespace

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
    if (::mkdirat(folder.get(), name.c_str(), kOwnFolderMode) != 0 && errno != EEXIST)
      return UniqueFd();
    FileProblem problem;
    UniqueFd sub = OpenFolderIn(folder.get(), name, problem);
    if (!sub.valid() || !KeptPrivate(sub.get())) return UniqueFd();
    folder = std::move(sub);
  }
  return folder;
}

std::string StartFolderCacheName(const std::string& start_dir) {
  std::uint64_t digest = kFnvOffsetBasis;
  for (const char c : start_dir) {
    digest ^= static_cast<unsigned char>(c);
    digest *= kFnvPrime;
  }
  std::array<char, kDigestTextBytes> hex{};
  std::snprintf(hex.data(), hex.size(), "%016llx", static_cast<unsigned long long>(digest));
  return hex.data();
}

UniqueFd OpenStartFolderCache(const std::string& start_dir, std::span<const std::string> below,
                              std::string& path) {
  const std::string cache = UserCacheHome();
  std::vector<std::string> subfolders{kProgramCacheFolder, StartFolderCacheName(start_dir)};
  subfolders.insert(subfolders.end(), below.begin(), below.end());
  UniqueFd folder = OpenOwnFolder(cache, subfolders);
  if (!folder.valid()) return folder;
  path = cache;
  for (const std::string& name : subfolders) path += "/" + name;
  return folder;
}

UniqueFd OpenOwnResultsFolder(const std::string& start_dir, std::string& path) {
  const std::array<std::string, 1> below{kOwnResultsFolder};
  return OpenStartFolderCache(start_dir, below, path);
}

}  // namespace tolvane
