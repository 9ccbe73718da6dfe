#pragma once
// The start folder: where the records, results and state files are. It is handed to every
// operation that touches them; nothing changes the process's working directory.
#include <optional>
#include <string>

namespace tolvane {

// The process's working directory, whole; nothing when it cannot be read (it was removed, say).
std::optional<std::string> CurrentDirectory();

// `folder` as the working directory would read once changed there: absolute, with symbolic links
// resolved while it exists, else absolute only. Works on the path's bytes, whatever their
// encoding (a Shift-JIS folder name stays what it is). Empty when `folder` is relative and the
// working directory cannot be read.
std::string ResolvedFolder(const std::string& folder);

// The folder that holds the file `path` (a symbolic link to a file counts as in its own folder),
// resolved as ResolvedFolder does.
std::string FolderOfFile(const std::string& path);

}  // namespace tolvane
