#pragma once
// What a path the user gave (on the command line, or in the open dialog) is: a file to open as
// the document, a folder to search in, or something that can be neither, and why. The checks ask
// the file system as the program's own user meets it; nothing is read and nothing is left open.
#include <string>

namespace tolvane {

enum class GivenPathKind {
  kFile,          // a regular file that opens for reading
  kFolder,        // a folder that can be entered
  kMissing,       // nothing of that name, or a part of the path is not a folder
  kNoPermission,  // the file cannot be read or the folder entered, or a folder on the way not
  kCannotOpen,    // anything else: a FIFO or a device, or an error of the file system
};

// `path` in local bytes, relative to the working directory or absolute.
GivenPathKind InspectGivenPath(const std::string& path);

}  // namespace tolvane
