#pragma once
// The UTF-8 copy of the results that the desktop's editor is handed. Most Linux editors take a
// file for UTF-8 (or for the interface language's encoding) and show Shift-JIS as mojibake, while
// kekka.txt itself must stay Shift-JIS. The copy is kept in the user's cache, one folder per start
// folder, so that a window on another folder never replaces the copy open in this one's editor;
// it is named kekka.txt, so the editor's title says what it shows.
#include <functional>
#include <optional>
#include <string>

#include "encoding/text_encoding.h"
#include "state/own_files.h"

namespace tolvane {

// How much of the results file is converted at a time.
inline constexpr std::size_t kCopyReadBytes = std::size_t{1} << 20;

enum class CopyOutcome {
  kMade,
  // kekka.txt is another user's link, or no regular file: neither it nor a copy is to be opened.
  kResultsRefused,
  // No copy could be made (no cache folder, a full disk, a read error); kekka.txt itself can be.
  kFailed,
};

struct ResultsCopy {
  CopyOutcome outcome = CopyOutcome::kFailed;
  std::string path;  // the copy's absolute path, when made
};

// The name of the copy's folder for `start_dir`: the start folder's own in the cache.
inline std::string CopyFolderName(const std::string& start_dir) {
  return StartFolderCacheName(start_dir);
}

// Converts `start_dir`'s kekka.txt (in its records file's encoding: Shift-JIS, UTF-8 or EUC-JP,
// `encoding` as the search that wrote it decided, else found from kekka.txt itself) into
// <cache>/tolvane/<CopyFolderName>/kekka.txt, whole before this returns and never seen in part
// by a reader: a byte that starts no character shows as U+FFFD, and the line ends stay CR LF.
// `on_progress` is called after every block.
ResultsCopy MakeUtf8CopyOfResults(const std::string& start_dir,
                                  const std::function<void()>& on_progress = {},
                                  std::optional<TextEncoding> encoding = std::nullopt);

// The same for results that went elsewhere (`results_file`, an absolute path: the start folder
// could not be written); the copy still goes to the start folder's own folder in the cache.
ResultsCopy MakeUtf8CopyOfResultsAt(const std::string& start_dir, const std::string& results_file,
                                    const std::function<void()>& on_progress = {},
                                    std::optional<TextEncoding> encoding = std::nullopt);

}  // namespace tolvane
