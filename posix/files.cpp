#include "posix/files.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <string>
#include <utility>

#include "posix/io.h"

namespace tolvane {
namespace {

// Links followed before a chain is taken for a loop, as the kernel's own limit.
constexpr int kLinkHops = 40;
// Hidden names tried for a temporary file before the replacement gives up.
constexpr int kTempNameAttempts = 100;
// The bits a replaced file keeps. Set-id bits are not carried over: the new file may have another
// owner than the old one.
constexpr mode_t kPermissionBits = 0777;
// The write bits of owner, group and others: a file with none of them is one its owner protected.
constexpr mode_t kAnyoneWriteBits = 0222;
// Longest link text read; a longer one is taken for a failure.
constexpr std::size_t kLinkTextBytes = 4096;

FileProblem SystemProblem(int error) { return ProblemFromErrno(error); }

FileProblem KindProblem(FileProblem::Kind kind) {
  FileProblem problem;
  problem.kind = kind;
  return problem;
}

// Where a name's chain of links ends: the folder and name there, and what is there, if anything.
struct FinalName {
  UniqueFd folder;
  std::string name;
  std::optional<struct stat> existing;
};

std::optional<FinalName> FollowAllowedLinks(int start_folder, std::string_view start_name,
                                            FileProblem& problem) {
  FinalName at{UniqueFd(::fcntl(start_folder, F_DUPFD_CLOEXEC, 0)), std::string(start_name), {}};
  if (!at.folder.valid()) {
    problem = SystemProblem(errno);
    return std::nullopt;
  }
  std::string reached(start_name);
  for (int hop = 0; hop <= kLinkHops; ++hop) {
    struct stat info {};
    if (::fstatat(at.folder.get(), at.name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
      if (errno != ENOENT) {
        problem = SystemProblem(errno);
        return std::nullopt;
      }
      return at;  // nothing there yet
    }
    if (!S_ISLNK(info.st_mode)) {
      at.existing = info;
      return at;
    }
    // The link itself is opened, so that its owner and its text are read from the very same link
    // even if another one takes its name meanwhile.
    const UniqueFd link(
        ::openat(at.folder.get(), at.name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
    struct stat link_info {};
    struct stat folder_info {};
    if (!link.valid() || ::fstat(link.get(), &link_info) != 0 ||
        ::fstat(at.folder.get(), &folder_info) != 0) {
      problem = SystemProblem(errno);
      return std::nullopt;
    }
    if (!S_ISLNK(link_info.st_mode)) continue;  // replaced by a plain file since the look
    if (link_info.st_uid != ::geteuid() && link_info.st_uid != folder_info.st_uid) {
      problem = KindProblem(FileProblem::Kind::kRefusedLink);
      problem.link = reached;
      problem.link_owner = link_info.st_uid;
      return std::nullopt;
    }
    std::array<char, kLinkTextBytes> text{};
    const ssize_t size = ::readlinkat(link.get(), "", text.data(), text.size());
    if (size <= 0 || static_cast<std::size_t>(size) >= text.size()) {
      problem = SystemProblem(size < 0 ? errno : ENAMETOOLONG);
      return std::nullopt;
    }
    reached.assign(text.data(), static_cast<std::size_t>(size));
    // The folder part is the kernel's to resolve; only the last part can be our file.
    const std::size_t slash = reached.rfind('/');
    const std::string folder_part = slash == std::string::npos ? "."
                                    : slash == 0               ? "/"
                                                               : reached.substr(0, slash);
    std::string name = slash == std::string::npos ? reached : reached.substr(slash + 1);
    if (name.empty() || name == "." || name == "..") {
      problem = KindProblem(FileProblem::Kind::kNotRegular);
      return std::nullopt;
    }
    UniqueFd folder(
        ::openat(at.folder.get(), folder_part.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!folder.valid()) {
      problem = SystemProblem(errno);
      return std::nullopt;
    }
    at.folder = std::move(folder);
    at.name = std::move(name);
  }
  problem = SystemProblem(ELOOP);
  return std::nullopt;
}

// The signals that end a process by default, held back while a new file takes its name, so that
// a kill in between leaves no temporary name behind.
class EndingSignalsHeld {
 public:
  EndingSignalsHeld() {
    sigset_t held;
    sigemptyset(&held);
    for (const int signal : {SIGHUP, SIGINT, SIGQUIT, SIGTERM}) sigaddset(&held, signal);
    held_ = ::pthread_sigmask(SIG_BLOCK, &held, &before_) == 0;
  }
  ~EndingSignalsHeld() {
    if (held_) ::pthread_sigmask(SIG_SETMASK, &before_, nullptr);
  }
  EndingSignalsHeld(const EndingSignalsHeld&) = delete;
  EndingSignalsHeld& operator=(const EndingSignalsHeld&) = delete;

 private:
  sigset_t before_{};
  bool held_ = false;
};

// The one temporary name a signal handler removes: kept in plain storage, so that the handler may
// read it, and armed only while the name is complete.
constexpr std::size_t kPendingNameBytes = 256;
struct PendingName {
  volatile sig_atomic_t armed = 0;
  int folder = -1;
  char name[kPendingNameBytes] = {};
};
PendingName pending_name;

void ArmPendingName(int folder, const std::string& name) {
  if (pending_name.armed || name.size() >= kPendingNameBytes) return;
  pending_name.folder = folder;
  name.copy(pending_name.name, name.size());
  pending_name.name[name.size()] = '\0';
  std::atomic_signal_fence(std::memory_order_seq_cst);
  pending_name.armed = 1;
}

void DisarmPendingName(int folder) {
  if (pending_name.armed && pending_name.folder == folder) pending_name.armed = 0;
  std::atomic_signal_fence(std::memory_order_seq_cst);
}

void RemovePendingNameAndEnd(int signal) {
  if (pending_name.armed) ::unlinkat(pending_name.folder, pending_name.name, 0);
  ::signal(signal, SIG_DFL);
  ::raise(signal);
}

std::string TempName(std::string_view name, int attempt) {
  return "." + std::string(name) + "." + std::to_string(::getpid()) + "-" +
         std::to_string(attempt) + ".tmp";
}

// Gives the unnamed file at `fd` a hidden name in `folder`; empty on failure, with errno set.
std::string NameUnnamedFile(int fd, int folder, std::string_view name) {
  const std::string proc_path = "/proc/self/fd/" + std::to_string(fd);
  for (int attempt = 0; attempt < kTempNameAttempts; ++attempt) {
    std::string temp = TempName(name, attempt);
    if (::linkat(AT_FDCWD, proc_path.c_str(), folder, temp.c_str(), AT_SYMLINK_FOLLOW) == 0)
      return temp;
    if (errno == EEXIST) continue;
    // Without /proc, only a process allowed to link any descriptor can.
    if (errno == ENOENT && ::linkat(fd, "", folder, temp.c_str(), AT_EMPTY_PATH) == 0) return temp;
    if (errno != EEXIST) return {};
  }
  errno = EEXIST;
  return {};
}

bool IsUnnamedFileRefusal(int error) {
  // No O_TMPFILE in this kernel or on this file system.
  return error == EOPNOTSUPP || error == EISDIR || error == EINVAL || error == ENOENT;
}

// Zero when the user may write the existing file `name` in `folder` (described by `info`), else
// why not: EACCES, EROFS or EPERM.
int WhyNotWritable(int folder, const std::string& name, const struct stat& info) {
  if ((info.st_mode & kAnyoneWriteBits) == 0) return EACCES;
  if (::faccessat(folder, name.c_str(), W_OK, AT_EACCESS | AT_SYMLINK_NOFOLLOW) != 0) return errno;
  // In a sticky folder only the file's owner, the folder's owner (or root) may rename over it.
  struct stat folder_info {};
  if (::fstat(folder, &folder_info) != 0) return errno;
  const uid_t user = ::geteuid();
  if ((folder_info.st_mode & S_ISVTX) != 0 && user != 0 && info.st_uid != user &&
      folder_info.st_uid != user) {
    return EPERM;
  }
  return 0;
}

std::pair<std::string, std::string> SplitPath(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return {".", path};
  return {slash == 0 ? "/" : path.substr(0, slash), path.substr(slash + 1)};
}

}  // namespace

FileProblem ProblemFromErrno(int error) {
  FileProblem problem;
  problem.kind = error == ENOENT || error == ENOTDIR ? FileProblem::Kind::kMissing
                                                     : FileProblem::Kind::kSystem;
  problem.error = error;
  return problem;
}

std::string JoinPath(std::string_view folder, std::string_view name) {
  std::string path(folder);
  if (!path.empty() && path.back() != '/') path += '/';
  path += name;
  return path;
}

UniqueFd OpenFolder(const std::string& path) {
  if (path.empty()) {
    errno = ENOENT;
    return UniqueFd();
  }
  return UniqueFd(::open(path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
}

OpenedFile OpenForReading(int folder, std::string_view name) {
  OpenedFile opened;
  FileProblem problem;
  std::optional<FinalName> final_name = FollowAllowedLinks(folder, name, problem);
  if (!final_name) {
    opened.problem = problem;
    return opened;
  }
  if (!final_name->existing) {
    opened.problem = SystemProblem(ENOENT);
    return opened;
  }
  // Not following: a link put in the file's place since the look is not followed unjudged.
  return OpenRegularFile(final_name->folder.get(), final_name->name.c_str(), false);
}

OpenedFile OpenRegularFile(int folder, const char* name, bool follow_link) {
  OpenedFile opened;
  const int flags = O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | (follow_link ? 0 : O_NOFOLLOW);
  UniqueFd fd(::openat(folder, name, flags));
  struct stat info {};
  if (!fd.valid() || ::fstat(fd.get(), &info) != 0) {
    opened.problem = SystemProblem(errno);
    return opened;
  }
  if (!S_ISREG(info.st_mode)) {
    opened.problem = KindProblem(FileProblem::Kind::kNotRegular);
    return opened;
  }
  const int status = ::fcntl(fd.get(), F_GETFL);
  if (status < 0 || ::fcntl(fd.get(), F_SETFL, status & ~O_NONBLOCK) != 0) {
    opened.problem = SystemProblem(errno);
    return opened;
  }
  opened.fd = std::move(fd);
  return opened;
}

UniqueFd OpenFolderIn(int folder, std::string_view name, FileProblem& problem) {
  std::optional<FinalName> final_name = FollowAllowedLinks(folder, name, problem);
  if (!final_name) return UniqueFd();
  UniqueFd opened(::openat(final_name->folder.get(), final_name->name.c_str(),
                           O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  if (!opened.valid()) problem = SystemProblem(errno);
  return opened;
}

OpenedFile OpenPathForReading(const std::string& path) {
  const auto [folder_part, name] = SplitPath(path);
  const UniqueFd folder = OpenFolder(folder_part);
  if (!folder.valid()) return OpenedFile{UniqueFd(), SystemProblem(errno)};
  return OpenForReading(folder.get(), name);
}

std::optional<WholeFileReplacement> WholeFileReplacement::Begin(int folder, std::string_view name,
                                                                FileProblem& problem,
                                                                Options options) {
  std::optional<FinalName> final_name = FollowAllowedLinks(folder, name, problem);
  if (!final_name) return std::nullopt;
  if (final_name->existing && !S_ISREG(final_name->existing->st_mode)) {
    problem = KindProblem(FileProblem::Kind::kNotRegular);
    return std::nullopt;
  }
  const int at = final_name->folder.get();
  if (options.keep_unwritable && final_name->existing) {
    if (const int why = WhyNotWritable(at, final_name->name, *final_name->existing); why != 0) {
      problem = SystemProblem(why);
      return std::nullopt;
    }
  }
  // The replaced file's permission bits, which the new one takes; a new file gets the default.
  const bool keeps_mode = final_name->existing.has_value();
  const mode_t mode =
      keeps_mode ? final_name->existing->st_mode & kPermissionBits : options.new_file_mode;
  UniqueFd file;
  std::string temp_name;
  if (options.unnamed_allowed) {
    file = UniqueFd(::openat(at, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, mode));
    if (!file.valid() && !IsUnnamedFileRefusal(errno)) {
      problem = SystemProblem(errno);
      return std::nullopt;
    }
  }
  for (int attempt = 0; !file.valid() && attempt < kTempNameAttempts; ++attempt) {
    temp_name = TempName(final_name->name, attempt);
    // Held until a signal handler knows the name, so that no ending signal leaves it behind.
    const EndingSignalsHeld held;
    // Created no wider than the old file, so the new bytes are never readable by more users.
    file = UniqueFd(::openat(at, temp_name.c_str(),
                             O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode));
    if (file.valid()) {
      ArmPendingName(at, temp_name);
    } else if (errno != EEXIST) {
      problem = SystemProblem(errno);
      return std::nullopt;
    }
  }
  if (!file.valid()) {
    problem = SystemProblem(EEXIST);
    return std::nullopt;
  }
  WholeFileReplacement replacement(std::move(final_name->folder), std::move(final_name->name),
                                   std::move(file), std::move(temp_name), options);
  // open() narrowed the bits by the umask; the replaced file's own come back. A file system that
  // keeps no modes of its own (FAT) may refuse, but then shows those bits already.
  struct stat info {};
  if (keeps_mode && ::fstat(replacement.fd(), &info) == 0 &&
      (info.st_mode & kPermissionBits) != mode && ::fchmod(replacement.fd(), mode) != 0) {
    problem = SystemProblem(errno);
    return std::nullopt;
  }
  return replacement;
}

WholeFileReplacement::WholeFileReplacement(UniqueFd folder, std::string name, UniqueFd file,
                                           std::string temp_name, Options options)
    : folder_(std::move(folder)),
      name_(std::move(name)),
      file_(std::move(file)),
      temp_name_(std::move(temp_name)),
      options_(options) {}

WholeFileReplacement::WholeFileReplacement(WholeFileReplacement&& other) noexcept
    : folder_(std::move(other.folder_)),
      name_(std::move(other.name_)),
      file_(std::move(other.file_)),
      temp_name_(std::move(other.temp_name_)),
      options_(other.options_),
      done_(std::exchange(other.done_, true)) {}

WholeFileReplacement::~WholeFileReplacement() { Abandon(); }

void WholeFileReplacement::Abandon() {
  if (done_) return;
  done_ = true;
  file_.Close();
  const EndingSignalsHeld held;
  DisarmPendingName(folder_.get());
  if (!temp_name_.empty()) ::unlinkat(folder_.get(), temp_name_.c_str(), 0);
}

bool WholeFileReplacement::Commit(FileProblem& problem) {
  if (done_) {
    problem = SystemProblem(EBADF);
    return false;
  }
  if (options_.sync && ::fsync(file_.get()) != 0) {
    problem = SystemProblem(errno);
    Abandon();
    return false;
  }
  const EndingSignalsHeld held;
  if (temp_name_.empty()) {
    temp_name_ = NameUnnamedFile(file_.get(), folder_.get(), name_);
    if (temp_name_.empty()) {
      problem = SystemProblem(errno);
      Abandon();
      return false;
    }
  }
  // A write the kernel could not finish shows at the latest here, before the name changes hands.
  if (!file_.Close()) {
    problem = SystemProblem(errno);
    Abandon();
    return false;
  }
  if (::renameat(folder_.get(), temp_name_.c_str(), folder_.get(), name_.c_str()) != 0) {
    problem = SystemProblem(errno);
    Abandon();
    return false;
  }
  done_ = true;
  DisarmPendingName(folder_.get());
  if (options_.sync) {
    // The rename itself is done; this only hastens it to the disk.
    const UniqueFd readable(::openat(folder_.get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (readable.valid()) ::fsync(readable.get());
  }
  return true;
}

void RemoveTemporaryNameOnEndingSignals() {
  for (const int signal : {SIGHUP, SIGINT, SIGQUIT, SIGTERM}) {
    struct sigaction before {};
    if (::sigaction(signal, nullptr, &before) != 0 || before.sa_handler != SIG_DFL) continue;
    struct sigaction action {};
    action.sa_handler = RemovePendingNameAndEnd;
    sigemptyset(&action.sa_mask);
    ::sigaction(signal, &action, nullptr);
  }
}

bool ReplaceFileWhole(const std::string& path, std::string_view content, FileProblem* problem) {
  FileProblem ignored;
  FileProblem& told = problem ? *problem : ignored;
  const auto [folder_part, name] = SplitPath(path);
  const UniqueFd folder = OpenFolder(folder_part);
  if (!folder.valid()) {
    told = SystemProblem(errno);
    return false;
  }
  std::optional<WholeFileReplacement> replacement =
      WholeFileReplacement::Begin(folder.get(), name, told, {.sync = true});
  if (!replacement) return false;
  if (!WriteAll(replacement->fd(), content)) {
    told = SystemProblem(errno != 0 ? errno : EIO);
    return false;
  }
  return replacement->Commit(told);
}

}  // namespace tolvane
