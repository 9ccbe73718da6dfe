#pragma once
// The program's files in a folder that others may write to (a lab's group share): read and
// replaced without ever being led by someone else's symbolic link, and replaced whole, so that no
// reader ever sees half a file and a failure leaves the old one as it was.
//
// The link rule is the kernel's protected_symlinks rule, applied by the program in every folder: a
// symbolic link is followed only when the user or the owner of the folder that holds it owns it.
// A link the user made (results kept on another disk, say) works; one that another user planted
// in a shared folder, pointing at the user's own files, is refused and named.
#include <sys/types.h>

#include <optional>
#include <string>
#include <string_view>

#include "posix/unique_fd.h"

namespace tolvane {

// Why a file could not be used.
struct FileProblem {
  enum class Kind {
    kMissing,      // nothing of that name, or its folder is gone
    kNotRegular,   // a folder, a FIFO, a device ...
    kRefusedLink,  // a symbolic link owned by neither the user nor the folder's owner
    kSystem,       // any other failure of the system: `error` tells which
  };
  Kind kind = Kind::kSystem;
  int error = 0;         // errno, with kSystem and kMissing
  std::string link;      // with kRefusedLink: the link as it was reached
  uid_t link_owner = 0;  // and who owns it
};

// The problem errno `error` stands for: kMissing for ENOENT and ENOTDIR, else kSystem.
FileProblem ProblemFromErrno(int error);

// The folder at `path`, opened only to name files in it (O_PATH). Not open when `path` is empty,
// gone or no folder.
UniqueFd OpenFolder(const std::string& path);
// `name` in `folder`: one slash between them, none added to a folder that ends with one; `name`
// alone when `folder` is empty (the working directory).
std::string JoinPath(std::string_view folder, std::string_view name);

// `name` in `folder`, opened for reading: a regular file only, never waiting for a FIFO's writer,
// through links that the rule allows. The descriptor is blocking again once open.
struct OpenedFile {
  UniqueFd fd;
  std::optional<FileProblem> problem;  // set when fd is not open
};
OpenedFile OpenForReading(int folder, std::string_view name);

// The folder `name` in `folder`, opened for reading its entries, through links that the rule
// allows. Not open, with `problem` set, when that fails.
UniqueFd OpenFolderIn(int folder, std::string_view name, FileProblem& problem);

// `name` in `folder` (or a path with AT_FDCWD) opened for reading as a regular file, without
// waiting for a FIFO's writer (a FIFO, a folder or a device is kNotRegular). A final symbolic link
// is followed only with `follow_link`, for paths the user gave.
OpenedFile OpenRegularFile(int folder, const char* name, bool follow_link);

// A new version of `name` in `folder`, written through fd() and put in place of the old one by
// Commit. Until then the old file stays as it was and the new one has no name: a process that
// dies meanwhile leaves nothing behind. Where the file system has no unnamed files, a hidden
// temporary name in the same folder is used and removed again on every failure.
//
// A link that the rule allows is followed to the file it ends at, which is replaced in its own
// folder while the links stay. The new file takes the old one's permission bits (a new one 0666
// less the umask).
//
// A rename needs only the folder's permission, so by itself it would replace a file its owner made
// read-only. With `keep_unwritable`, a file the user may not write is left alone and Begin fails
// with EACCES (EROFS on a read-only medium): one that grants no one writing (mode 444, even for
// root), one the kernel would not open for writing, and another user's in a sticky folder that is
// not the user's either (where the rename would fail with EPERM, which is then the error).
class WholeFileReplacement {
 public:
  struct Options {
    bool sync = false;             // flush to the disk before the rename (small state files)
    bool unnamed_allowed = true;   // false: take the named way at once, for tests
    mode_t new_file_mode = 0666;   // for a file made new, less the umask
    bool keep_unwritable = false;  // leave a file the user may not write as it is
  };
  // Nothing, with `problem` set, when no new version can be made.
  static std::optional<WholeFileReplacement> Begin(int folder, std::string_view name,
                                                   FileProblem& problem, Options options);
  static std::optional<WholeFileReplacement> Begin(int folder, std::string_view name,
                                                   FileProblem& problem) {
    return Begin(folder, name, problem, Options{});
  }

  WholeFileReplacement(WholeFileReplacement&& other) noexcept;
  WholeFileReplacement& operator=(WholeFileReplacement&&) = delete;
  WholeFileReplacement(const WholeFileReplacement&) = delete;
  // Abandons a version that was not committed.
  ~WholeFileReplacement();

  int fd() const { return file_.get(); }
  // Puts the written file in place of the old one. False, with `problem` set and the old file
  // untouched, when that fails.
  bool Commit(FileProblem& problem);

 private:
  WholeFileReplacement(UniqueFd folder, std::string name, UniqueFd file, std::string temp_name,
                       Options options);
  void Abandon();

  UniqueFd folder_;        // where the replaced file is
  std::string name_;       // its name there
  UniqueFd file_;          // the new version
  std::string temp_name_;  // empty while the new version has no name
  Options options_;
  bool done_ = false;
};

// Makes SIGHUP, SIGINT, SIGQUIT and SIGTERM remove a new version that has a temporary name before
// they end the process as they would have. Only signals whose action is the default are taken; for
// a program that has no handlers of its own, such as the command. An unnamed version needs none of
// this: it never had a name.
void RemoveTemporaryNameOnEndingSignals();

// Replaces the file at `path` whole with `content`, flushed to the disk first (see
// WholeFileReplacement). False, with `problem` set, when anything fails.
bool ReplaceFileWhole(const std::string& path, std::string_view content,
                      FileProblem* problem = nullptr);

// Opens the file at `path` for reading (see OpenForReading).
OpenedFile OpenPathForReading(const std::string& path);

}  // namespace tolvane
