#pragma once
// Replacing a small state file so that a reader sees either the old file or the new one, whole,
// whatever fails or stops the process in between: the new bytes go to a temporary file in the
// replaced file's own folder (so the rename never crosses a file system), are flushed to the disk,
// and only then take the old file's name.
#include <string>
#include <string_view>

namespace tolvane {

// Replaces `target` with `content`. A symbolic link is followed to the file it finally names,
// which is replaced while the links stay; a dangling link gets that file made, when its folder
// exists. The replaced file keeps its permission bits (not its owner, which only root could keep);
// a new one gets 0666 less the umask. False, with any old file untouched and no temporary file
// left, when any step fails (a chain of links that goes round, or ends at a folder, among them).
bool ReplaceFileWhole(const std::string& target, std::string_view content);

}  // namespace tolvane
