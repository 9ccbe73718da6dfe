#pragma once
// Helpers shared by the test suites: a scratch folder and whole-file reads and writes.
#include <grp.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <set>
#include <string>
#include <string_view>

namespace tolvane::testing {

// A fresh folder under the temporary directory, removed with everything in it at the end of the
// test. Its path is empty when none could be made.
class ScratchDir {
 public:
  ScratchDir() : ScratchDir(std::filesystem::temp_directory_path()) {}
  // The same under `parent` instead.
  explicit ScratchDir(const std::filesystem::path& parent) {
    std::string pattern = (parent / "tolvane-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) != nullptr) path_ = std::move(pattern);
  }
  ~ScratchDir() {
    if (path_.empty()) return;
    std::error_code ignored;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all, ignored);
    std::filesystem::remove_all(path_, ignored);
  }
  const std::string& path() const { return path_; }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  std::string operator/(std::string_view name) const { return path_ + "/" + std::string(name); }

 private:
  std::string path_;
};

inline void WriteFile(const std::string& path, std::string_view bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc).write(bytes.data(), bytes.size());
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline bool Exists(const std::string& path) { return std::filesystem::exists(path); }

// The names in a folder, "." and ".." aside.
inline std::set<std::string> NamesIn(const std::string& dir) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir))
    names.insert(entry.path().filename());
  return names;
}

// The user id root becomes to meet the permission bits, which do not stop root.
inline constexpr uid_t kNobody = 65534;
// Where folders for that user go: the temporary directory every user may enter, whatever TMPDIR
// says (a TMPDIR under /root would shut nobody out before any check it was meant for).
inline constexpr const char* kEveryonesTempDir = "/tmp";

// Makes this root process nobody, without root's supplementary groups, through which it could
// still open what nobody may not. False when any step fails.
inline bool BecomeNobody() {
  return ::setgroups(0, nullptr) == 0 && ::setgid(kNobody) == 0 && ::setuid(kNobody) == 0;
}

// Whether every folder from the root down to `folder` lets other users through.
inline bool OthersCanEnter(const std::filesystem::path& folder) {
  std::filesystem::path walked;
  for (const auto& part : folder) {
    walked /= part;
    struct stat info {};
    if (::stat(walked.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || !(info.st_mode & S_IXOTH)) {
      return false;
    }
  }
  return true;
}

// Runs `work` in a child process as an ordinary user (nobody, when this is root) and gives back
// its answer; nothing when the child could not drop root or did not end normally. For
// single-threaded tests only: the child runs on after fork.
inline std::optional<bool> AsOrdinaryUser(const std::function<bool()>& work) {
  constexpr int kCannotDrop = 3;
  const pid_t child = ::fork();
  if (child == 0) {
    if (::geteuid() == 0 && !BecomeNobody()) ::_exit(kCannotDrop);
    ::_exit(work() ? 0 : 1);
  }
  int status = 0;
  if (child < 0 || ::waitpid(child, &status, 0) != child) return std::nullopt;
  if (!WIFEXITED(status) || WEXITSTATUS(status) == kCannotDrop) return std::nullopt;
  return WEXITSTATUS(status) == 0;
}

}  // namespace tolvane::testing
