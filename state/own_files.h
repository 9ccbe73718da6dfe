#pragma once
// Folders of the user's own, for files the program makes for the user alone (the results' copy
// in the cache): made 0700, and kept so.
#include <sys/types.h>

#include <span>
#include <string>

#include "posix/unique_fd.h"

namespace tolvane {

// The user's cache folder: $XDG_CACHE_HOME when it is an absolute path, else ~/.cache. Empty when
// there is no home to put it in.
std::string UserCacheHome();

// Opens `base`/`subfolders[0]`/`subfolders[1]`/..., making what is missing with mode 0700 (`base`
// with its parents). Each subfolder must be the user's own and writable by no one else: one of the
// user's own that others may write is narrowed to 0700, a link is followed only where the user or
// the folder's owner owns it (posix/files.h), and anything else fails. Not valid when any step
// fails.
UniqueFd OpenOwnFolder(const std::string& base, std::span<const std::string> subfolders);

}  // namespace tolvane
