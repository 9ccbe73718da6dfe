#pragma once
// Why a file could not be used, in words the user reads under a message: UTF-8, for the screen and
// the terminal alike.
#include <string>

#include "posix/files.h"
#include "session/run.h"

namespace tolvane {

// The reason, one sentence; empty for a file that is simply missing, where the caller names the
// folder it was looked for in instead. A link is named as it was reached, in the file system's
// own bytes.
std::string FileProblemReason(const FileProblem& problem);

// A run's message in UTF-8, the character and the encoding it names filled in.
std::string RunProblemMessage(const RunProblem& problem);

}  // namespace tolvane
