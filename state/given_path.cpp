#include "state/given_path.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "posix/files.h"

namespace tolvane {
namespace {

GivenPathKind FromErrno(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR:
      return GivenPathKind::kMissing;
    case EACCES:
    case EPERM:
      return GivenPathKind::kNoPermission;
    default:
      return GivenPathKind::kCannotOpen;
  }
}

}  // namespace

GivenPathKind InspectGivenPath(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return FromErrno(errno);
  if (S_ISDIR(info.st_mode)) {
    // As the opens of the records and state files will be checked: by the effective user.
    return ::faccessat(AT_FDCWD, path.c_str(), X_OK, AT_EACCESS) == 0 ? GivenPathKind::kFolder
                                                                      : FromErrno(errno);
  }
  // Only a regular file: a FIFO would block the opens to come and a device never ends.
  if (!S_ISREG(info.st_mode)) return GivenPathKind::kCannotOpen;
  // The path is the user's own choice, links and all.
  const OpenedFile file = OpenRegularFile(AT_FDCWD, path.c_str(), true);
  if (!file.problem) return GivenPathKind::kFile;
  if (file.problem->kind == FileProblem::Kind::kNotRegular) return GivenPathKind::kCannotOpen;
  return FromErrno(file.problem->error);
}

}  // namespace tolvane
