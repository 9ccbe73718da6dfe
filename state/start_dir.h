#pragma once
// The start folder: where the records, results and state files are. It is handed to every
// operation that touches them; nothing changes the process's working directory.
#include <optional>
#include <string>

namespace tolvane {

// The process's working directory, whole; nothing when it cannot be read (it was removed, say).
std::optional<std::string> CurrentDirectory();

}  // namespace tolvane
