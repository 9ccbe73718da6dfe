#pragma once
// Folders of the user's own, for files the program makes for the user alone (the results' copy
// in the cache, and the results of a folder the user may not write): made 0700, and kept so.
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

// The program's folder in the user's cache, which holds one folder per searched folder.
inline constexpr char kProgramCacheFolder[] = "tolvane";
// In a searched folder's own: where its results go when the searched folder may not be written
// (the UTF-8 copy for the editor lies beside it, one level up).
inline constexpr char kOwnResultsFolder[] = "results";

// The name of `start_dir`'s own folder in the cache: a digest of its path, the same for every
// window and every command on that folder, across versions and machines.
std::string StartFolderCacheName(const std::string& start_dir);

// <cache>/tolvane/<StartFolderCacheName(start_dir)>, followed by `below`, opened as OpenOwnFolder
// opens it; its path in `path`. Not valid when there is no cache or any step fails.
UniqueFd OpenStartFolderCache(const std::string& start_dir, std::span<const std::string> below,
                              std::string& path);

// The folder `start_dir`'s results go to when they cannot be written there: its own results
// folder in the cache.
UniqueFd OpenOwnResultsFolder(const std::string& start_dir, std::string& path);

}  // namespace tolvane
