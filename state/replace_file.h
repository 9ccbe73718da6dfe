#pragma once
// Replacing a small state file so that a reader sees either the old file or the new one, whole,
// whatever fails or stops the process in between: the new bytes go to a temporary file in the same
// folder (so the rename never crosses a file system), are flushed to the disk, and only then take
// the old file's name.
#include <string>
#include <string_view>

namespace tolvane {

// Replaces `target` (created with 0666 less the umask when new) with `content`. False, with any
// old file untouched and no temporary file left, when any step fails.
bool ReplaceFileWhole(const std::string& target, std::string_view content);

}  // namespace tolvane
