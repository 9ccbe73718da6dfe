#include "screen/results_copy.h"

#include <fcntl.h>
#include <sys/stat.h>

#include "encoding/cp932.h"
#include "encoding/text_encoding.h"
#include "posix/files.h"
#include "posix/io.h"
#include "posix/unique_fd.h"
#include "session/records_encoding.h"
#include "state/own_files.h"
#include "texts/texts.h"

namespace tolvane {
namespace {

// Readable by the user alone, as the cache folder is: the results are the user's.
constexpr mode_t kCopyMode = 0600;
// The most a byte grows: one that starts no character becomes U+FFFD, three bytes of UTF-8.
constexpr std::size_t kUtf8BytesPerEncodedByte = 3;

// Writes the UTF-8 of the results read from `from` (in their records file's encoding) to `to`, a
// block at a time.
bool ConvertFile(int from, int to, const std::function<void()>& on_progress,
                 std::optional<TextEncoding> encoding) {
  // The results are in their records file's encoding, which the search decided; only for results
  // of an earlier session is it found again, the same way, from the results themselves.
  ToUtf8Stream stream(encoding ? *encoding : DetectRecordsEncoding(from).Encoding());
  if (!stream.ok()) return false;
  std::string encoded(kCopyReadBytes, '\0');
  std::string utf8;
  utf8.reserve(kCopyReadBytes * kUtf8BytesPerEncodedByte);
  for (;;) {
    const ssize_t got = ReadRetry(from, encoded.data(), encoded.size());
    if (got < 0) return false;
    if (got == 0) break;
    utf8.clear();
    stream.Convert(std::string_view(encoded.data(), static_cast<std::size_t>(got)), utf8);
    if (!WriteAll(to, utf8)) return false;
    if (on_progress) on_progress();
  }
  utf8.clear();
  stream.Finish(utf8);
  return WriteAll(to, utf8);
}

// Converts the opened results into the start folder's copy.
ResultsCopy CopyOf(const std::string& start_dir, const OpenedFile& results,
                   const std::function<void()>& on_progress, std::optional<TextEncoding> encoding) {
  ResultsCopy copy;
  // A regular file only (a FIFO would block the window, a device might never end), and another
  // user's link is not read through: neither it nor a copy is handed on.
  if (results.problem) {
    const FileProblem::Kind kind = results.problem->kind;
    if (kind == FileProblem::Kind::kRefusedLink || kind == FileProblem::Kind::kNotRegular) {
      copy.outcome = CopyOutcome::kResultsRefused;
    }
    return copy;
  }
  std::string folder_path;
  const UniqueFd copy_folder = OpenStartFolderCache(start_dir, {}, folder_path);
  if (!copy_folder.valid()) return copy;
  // Not flushed to the disk: the copy can be made again, and the rename alone keeps every reader
  // from seeing part of it.
  FileProblem problem;
  std::optional<WholeFileReplacement> written = WholeFileReplacement::Begin(
      copy_folder.get(), kResultsFileName, problem, {.new_file_mode = kCopyMode});
  if (!written || !ConvertFile(results.fd.get(), written->fd(), on_progress, encoding) ||
      !written->Commit(problem)) {
    return copy;
  }
  copy.outcome = CopyOutcome::kMade;
  copy.path = JoinPath(folder_path, kResultsFileName);
  return copy;
}

}  // namespace

ResultsCopy MakeUtf8CopyOfResults(const std::string& start_dir,
                                  const std::function<void()>& on_progress,
                                  std::optional<TextEncoding> encoding) {
  if (start_dir.empty()) return {};
  const UniqueFd start_folder = OpenFolder(start_dir);
  if (!start_folder.valid()) return {};
  return CopyOf(start_dir, OpenForReading(start_folder.get(), kResultsFileName), on_progress,
                encoding);
}

ResultsCopy MakeUtf8CopyOfResultsAt(const std::string& start_dir, const std::string& results_file,
                                    const std::function<void()>& on_progress,
                                    std::optional<TextEncoding> encoding) {
  if (start_dir.empty() || results_file.empty()) return {};
  return CopyOf(start_dir, OpenPathForReading(results_file), on_progress, encoding);
}

}  // namespace tolvane
