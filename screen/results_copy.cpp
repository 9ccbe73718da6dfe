#include "screen/results_copy.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <array>
#include <cstdint>
#include <cstdio>

#include "search/cp932.h"
#include "search/io.h"
#include "search/unique_fd.h"
#include "state/own_files.h"
#include "texts/texts.h"

namespace tolvane {
namespace {

// Readable by the user alone, as the cache folder is: the results are the user's.
constexpr mode_t kCopyMode = 0600;
// FNV-1a, 64 bits: a digest that stays the same across versions and machines.
constexpr std::uint64_t kFnvOffsetBasis = 0xcbf29ce484222325ULL;
constexpr std::uint64_t kFnvPrime = 0x100000001b3ULL;
// The most a byte grows: one that is not CP932 becomes U+FFFD, three bytes of UTF-8.
constexpr std::size_t kUtf8BytesPerSjisByte = 3;

// kekka.txt for reading: a link only as OpenWithoutForeignLink follows one, and a regular file
// only (a FIFO would block the window, a device might never end); `refused` tells those apart
// from a file that is missing or unreadable. The open does not wait for a FIFO.
UniqueFd OpenResults(int folder, bool& refused) {
  OpenedName results = OpenWithoutForeignLink(folder, kResultsFileName, O_RDONLY | O_NONBLOCK);
  refused = results.refused_link;
  struct stat info {};
  if (results.fd.valid() && (::fstat(results.fd.get(), &info) != 0 || !S_ISREG(info.st_mode))) {
    refused = true;
    return UniqueFd();
  }
  return std::move(results.fd);
}

// Writes the UTF-8 of the Shift-JIS read from `from` to `to`, a block at a time.
bool ConvertFile(int from, int to, const std::function<void()>& on_progress) {
  Cp932ToUtf8Stream stream;
  if (!stream.ok()) return false;
  std::string sjis(kCopyReadBytes, '\0');
  std::string utf8;
  utf8.reserve(kCopyReadBytes * kUtf8BytesPerSjisByte);
  for (;;) {
    const ssize_t got = ReadRetry(from, sjis.data(), sjis.size());
    if (got < 0) return false;
    if (got == 0) break;
    utf8.clear();
    stream.Convert(std::string_view(sjis.data(), static_cast<std::size_t>(got)), utf8);
    if (!WriteAll(to, utf8)) return false;
    if (on_progress) on_progress();
  }
  utf8.clear();
  stream.Finish(utf8);
  return WriteAll(to, utf8);
}

}  // namespace

std::string CopyFolderName(const std::string& start_dir) {
  std::uint64_t digest = kFnvOffsetBasis;
  for (const char c : start_dir) {
    digest ^= static_cast<unsigned char>(c);
    digest *= kFnvPrime;
  }
  std::array<char, 17> hex{};
  std::snprintf(hex.data(), hex.size(), "%016llx", static_cast<unsigned long long>(digest));
  return hex.data();
}

ResultsCopy MakeUtf8CopyOfResults(const std::string& start_dir, const std::function<void()>& on_progress) {
  ResultsCopy copy;
  if (start_dir.empty()) return copy;
  const UniqueFd start_folder(::open(start_dir.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
  if (!start_folder.valid()) return copy;
  bool refused = false;
  const UniqueFd results = OpenResults(start_folder.get(), refused);
  if (refused) copy.outcome = CopyOutcome::kResultsRefused;
  if (!results.valid()) return copy;

  const std::string cache = UserCacheHome();
  const std::array<std::string, 2> subfolders{kProgramCacheFolder, CopyFolderName(start_dir)};
  const UniqueFd copy_folder = OpenOwnFolder(cache, subfolders);
  if (!copy_folder.valid()) return copy;
  const bool written = WriteWholeFileAt(copy_folder.get(), kResultsFileName, kCopyMode, [&](int to) {
    return ConvertFile(results.get(), to, on_progress);
  });
  if (!written) return copy;
  copy.outcome = CopyOutcome::kMade;
  copy.path = cache + "/" + subfolders[0] + "/" + subfolders[1] + "/" + kResultsFileName;
  return copy;
}

}  // namespace tolvane
