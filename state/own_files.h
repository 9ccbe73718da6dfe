#pragma once
// Files in folders of the user's own, and names in folders that others may write: a symbolic link
// is followed only when the user or the folder's owner owns it (the kernel's protected_symlinks
// rule, which the kernel itself applies only in sticky world-writable folders), and a file is
// written whole, so that no reader ever sees part of it.
#include <sys/types.h>

#include <functional>
#include <span>
#include <string>

#include "search/unique_fd.h"

namespace tolvane {

struct OpenedName {
  UniqueFd fd;                // open when the open succeeded
  bool refused_link = false;  // the name is a symbolic link of another user's
};

// openat(`folder`, `name`, `flags`), where a symbolic link at `name` is followed only when the
// user or `folder`'s owner owns it; the link checked is the link followed, whatever replaces it
// meanwhile. Links further along the link's target are the kernel's to judge.
OpenedName OpenWithoutForeignLink(int folder, const std::string& name, int flags);

// The user's cache folder: $XDG_CACHE_HOME when it is an absolute path, else ~/.cache. Empty when
// there is no home to put it in.
std::string UserCacheHome();

// Opens `base`/`subfolders[0]`/`subfolders[1]`/..., making what is missing with mode 0700 (`base`
// with its parents). Each subfolder must be the user's own and writable by no one else: one of the
// user's own that others may write is narrowed to 0700, a link is followed as by
// OpenWithoutForeignLink, and anything else fails. Not valid when any step fails.
UniqueFd OpenOwnFolder(const std::string& base, std::span<const std::string> subfolders);

// Gives `name` in the open folder `folder` the content that `fill` writes to the descriptor it is
// handed (true when all of it was written). The content goes to a temporary file in that folder
// with `mode` (narrowed by the umask), unnamed while it is written where the file system allows,
// and takes the name only once it is complete: a link at `name` is replaced, never written
// through. False, with any old file untouched and no temporary file left, when a step fails.
bool WriteWholeFileAt(int folder, const std::string& name, mode_t mode,
                      const std::function<bool(int fd)>& fill);

}  // namespace tolvane
