#include "state/history.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <vector>

#include "encoding/primitives.h"
#include "encoding/sjis.h"
#include "encoding/cp932.h"
#include "encoding/detect.h"
#include "posix/files.h"
#include "posix/io.h"
#include "posix/unique_fd.h"
#include "state/text_mode_reader.h"

namespace tolvane {
namespace {

constexpr bool IsWhiteSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

std::string PathIn(const std::string& dir, std::string_view name) {
  if (dir.empty()) return std::string(name);
  std::string path = dir;
  if (path.back() != '/') path += '/';
  path += name;
  return path;
}

// The whole characters at the front of a token that was cut short: a lead byte that ends the
// kept bytes lost its trail byte in the cut.
std::size_t WholeCharacterPrefix(std::string_view cut) {
  std::size_t end = 0;
  while (end < cut.size() && !(IsLeadByte(cut[end]) && end + 1 == cut.size())) {
    end = NextCharEnd(cut, end);
  }
  return end;
}

// What one line of the state file gives its slot, gathered as the line streams past so that a line
// of any length costs at most one slot of memory.
class SlotLine {
 public:
  explicit SlotLine(bool whole) : whole_(whole) {}

  void Add(std::string_view bytes) {
    for (const char c : bytes) {
      if (ended_) return;
      if (c == '\0') {  // a C string reader never saw past it
        ended_ = true;
        return;
      }
      const bool white = IsWhiteSpace(c);
      if (white && text_.empty()) continue;
      if (white && !whole_) {
        ended_ = true;
        return;
      }
      if (text_.size() < kSlotTextBytes) {
        text_.push_back(c);
      } else if (!white) {
        too_long_ = true;
      }
    }
  }

  std::optional<std::string> Take() {
    if (whole_) {
      // A path cut short would name some other program: such a line is left out.
      if (too_long_) return std::nullopt;
      while (!text_.empty() && IsWhiteSpace(text_.back())) text_.pop_back();
    } else if (too_long_) {
      text_.resize(WholeCharacterPrefix(text_));
    }
    if (text_.empty()) return std::nullopt;
    return std::move(text_);
  }

 private:
  bool whole_;
  std::string text_;
  bool ended_ = false;
  bool too_long_ = false;
};

// The part of a slot that can stand on one line of the state file: a line feed would shift every
// later line, a Ctrl+Z would end the file there, and nothing is read past a NUL.
std::string_view LineText(std::string_view slot) {
  return slot.substr(0, slot.find_first_of(std::string_view("\n\x1a\0", 3)));
}

}  // namespace

void HistoryTable::SetEditorCommand(std::string_view command) {
  if (command.size() > kSlotTextBytes || slots_[kEditorSlot] == command) return;
  slots_[kEditorSlot] = std::string(command);
  editor_changed_since_sync_ = true;
}

namespace {

// What the lines of a state file give their slots, line by line: nothing where a line holds no
// token. Lines after the 21st are not looked at.
class SlotParser {
 public:
  // A run of a line's bytes; `line_ends` when the line's LF follows it.
  void Add(std::string_view run, bool line_ends) {
    if (line_ >= kHistorySlots) return;
    current_.Add(run);
    if (!line_ends) return;
    slots_[line_] = current_.Take();
    ++line_;
    current_ = SlotLine(line_ == kEditorSlot);
  }
  bool Full() const { return line_ >= kHistorySlots; }
  // The last line may lack its line feed.
  FileSlots Finish() && {
    if (line_ < kHistorySlots) slots_[line_] = current_.Take();
    return std::move(slots_);
  }

 private:
  FileSlots slots_;
  std::size_t line_ = 0;
  SlotLine current_{false};
};

// What a text-mode reader makes of `content`: CR LF read as LF, and nothing after a Ctrl+Z.
FileSlots ParseTextMode(std::string_view content) {
  content = content.substr(0, content.find(kEndOfFileByte));
  SlotParser parser;
  while (!content.empty() && !parser.Full()) {
    const std::size_t lf = content.find(kLineFeed);
    std::string_view line = content.substr(0, lf);
    if (lf != std::string_view::npos && line.ends_with(kCarriageReturn)) line.remove_suffix(1);
    parser.Add(line, lf != std::string_view::npos);
    content.remove_prefix(lf == std::string_view::npos ? content.size() : lf + 1);
  }
  return std::move(parser).Finish();
}

// A state file saved by an editor that writes UTF-8: its queries come back in Shift-JIS, without
// the characters Shift-JIS lacks, which `dropped` tells. Nothing when the file is no such file.
std::optional<FileSlots> ReadUtf8Slots(int fd, bool& dropped) {
  std::string sample(kHistorySampleBytes, '\0');
  const ssize_t n = PreadRetry(fd, sample.data(), sample.size(), 0);
  sample.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
  if (DetectEncoding(sample).kind != EncodingVerdict::Kind::kUtf8) return std::nullopt;
  // The file whole, as far as a state file can sensibly reach.
  std::string content;
  char buffer[4096];
  for (ssize_t got; content.size() < kHistoryUtf8ReadBytes &&
                    (got = PreadRetry(fd, buffer, sizeof buffer, static_cast<off_t>(content.size()))) > 0;) {
    content.append(buffer, static_cast<std::size_t>(got));
  }
  std::string_view text = content;
  if (text.starts_with(kUtf8ByteOrderMark)) text.remove_prefix(kUtf8ByteOrderMark.size());
  return ParseTextMode(Utf8ToCp932Dropping(text, dropped).sjis);
}

// The slots of an open state file, in Shift-JIS or, `in_utf8`, converted from UTF-8.
FileSlots ReadSlots(int fd, bool& in_utf8, bool& dropped) {
  std::optional<FileSlots> utf8 = ReadUtf8Slots(fd, dropped);
  in_utf8 = utf8.has_value();
  if (utf8) return std::move(*utf8);
  SlotParser parser;
  TextModeReader reader(fd);
  std::string_view run;
  bool line_ends = false;
  while (!parser.Full() && reader.Next(run, line_ends)) parser.Add(run, line_ends);
  return std::move(parser).Finish();
}

// What the program's own file content gives back, as if read from the disk.
FileSlots SlotsOf(std::string_view content) {
  SlotParser parser;
  while (!content.empty()) {
    const std::size_t end = content.find(kCrLf);
    parser.Add(content.substr(0, end), end != std::string_view::npos);
    content.remove_prefix(end == std::string_view::npos ? content.size() : end + kCrLf.size());
  }
  return std::move(parser).Finish();
}

bool HoldsQuery(const FileSlots& slots, const std::string& query) {
  for (std::size_t i = 0; i < kHistoryQueries; ++i) {
    if (slots[i] == query) return true;
  }
  return false;
}

std::string FileContent(const std::array<std::string, kHistorySlots>& slots) {
  std::string content;
  for (const std::string& slot : slots) {
    content += LineText(slot);
    content += kCrLf;
  }
  return content;
}

// Held while this process reads, merges and replaces the state file of `dir`, so that two windows
// saving at once merge one after the other. Advisory, on the folder itself, so that no lock file is
// left behind; a folder that cannot be locked (some network file systems) is saved unlocked.
class FolderLock {
 public:
  explicit FolderLock(const std::string& dir)
      : fd_(::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
    if (fd_.valid()) {
      while (::flock(fd_.get(), LOCK_EX) != 0 && errno == EINTR) {
      }
    }
  }

 private:
  UniqueFd fd_;  // closing it lets the lock go
};

}  // namespace

void HistoryTable::Load(const std::string& dir) {
  added_since_sync_ = 0;
  editor_changed_since_sync_ = false;
  load_problem_.reset();
  characters_dropped_ = false;
  read_as_utf8_ = false;
  // Only a regular file, never waiting for a FIFO, never through another user's link.
  const OpenedFile file = OpenPathForReading(PathIn(dir, kHistoryFileName));
  if (file.problem) {
    if (file.problem->kind == FileProblem::Kind::kRefusedLink) load_problem_ = file.problem;
    for (std::size_t i = 0; i < kHistoryQueries; ++i) {
      char placeholder[16];
      std::snprintf(placeholder, sizeof placeholder, "%04d", static_cast<int>(i));
      slots_[i] = placeholder;
    }
    slots_[kEditorSlot] = kDefaultEditor;
    on_disk_.reset();
    synced_.reset();
    return;
  }
  bool in_utf8 = false;
  bool dropped = false;
  on_disk_ = ReadSlots(file.fd.get(), in_utf8, dropped);
  characters_dropped_ = dropped;
  read_as_utf8_ = in_utf8;
  // Slots the file does not reach keep what they held, which the file then lacks.
  bool file_holds_table = true;
  for (std::size_t i = 0; i < kHistorySlots; ++i) {
    if ((*on_disk_)[i]) {
      slots_[i] = *(*on_disk_)[i];
    } else if (!slots_[i].empty()) {
      file_holds_table = false;
    }
  }
  // A file in UTF-8 is written again in Shift-JIS at the next save, even unchanged.
  if (file_holds_table && !in_utf8) {
    synced_ = slots_;
  } else {
    synced_.reset();
  }
}

bool HistoryTable::DiffersFromFile() const { return !synced_ || *synced_ != slots_; }

void HistoryTable::MergeStoredElsewhere(const FileSlots& now) {
  // The queries another window stored since this table last met the file: in the file now, not
  // in it then, and not in this table. They go after this table's own new ones, which followed
  // them (every window saves at each query).
  std::vector<std::string> theirs;
  for (std::size_t i = 0; i < kHistoryQueries; ++i) {
    const std::optional<std::string>& query = now[i];
    if (!query || (on_disk_ && HoldsQuery(*on_disk_, *query))) continue;
    if (std::find(slots_.begin(), slots_.begin() + kHistoryQueries, *query) !=
        slots_.begin() + kHistoryQueries) {
      continue;
    }
    theirs.push_back(*query);
  }
  if (!theirs.empty()) {
    const std::size_t own_new = std::min(added_since_sync_, kHistoryQueries);
    std::vector<std::string> merged(slots_.begin(), slots_.begin() + own_new);
    merged.insert(merged.end(), theirs.begin(), theirs.end());
    merged.insert(merged.end(), slots_.begin() + own_new, slots_.begin() + kHistoryQueries);
    for (std::size_t i = 0; i < kHistoryQueries; ++i) slots_[i] = std::move(merged[i]);
  }
  // The editor line last changed wins.
  if (!editor_changed_since_sync_ && now[kEditorSlot] && *now[kEditorSlot] != slots_[kEditorSlot]) {
    slots_[kEditorSlot] = *now[kEditorSlot];
  }
}

bool HistoryTable::Save(const std::string& dir, FileProblem* problem) {
  const FolderLock lock(dir);
  const std::string path = PathIn(dir, kHistoryFileName);
  // What the file holds now: another window may have saved since this one last read or wrote it.
  FileSlots now;
  bool exists = false;
  bool in_utf8 = false;
  if (OpenedFile file = OpenPathForReading(path); !file.problem) {
    bool dropped = false;
    now = ReadSlots(file.fd.get(), in_utf8, dropped);
    exists = true;
  }
  MergeStoredElsewhere(now);
  const std::string content = FileContent(slots_);
  FileSlots written = SlotsOf(content);
  // Nothing to write when the file already says it all, in Shift-JIS: one a UTF-8 editor saved is
  // written again even when its queries are the table's.
  const bool file_says_it_all = exists && !in_utf8 && now == written;
  if (!file_says_it_all && !ReplaceFileWhole(path, content, problem)) return false;
  on_disk_ = std::move(written);
  synced_ = slots_;
  added_since_sync_ = 0;
  editor_changed_since_sync_ = false;
  return true;
}

bool HistoryTable::AddToHistory(std::string& query) {
  if (!FitsHistorySlot(query)) return false;
  // Compared as typed: a query with ASCII blanks never equals its stored, widened form.
  for (std::size_t i = 0; i < kHistoryQueries; ++i) {
    if (!slots_[i].empty() && slots_[i] == query) return true;
  }
  for (std::size_t i = kHistoryQueries - 1; i > 0; --i) slots_[i] = std::move(slots_[i - 1]);
  ReplaceAll(query, kAsciiBlank, kFullWidthBlank);
  slots_[0] = query;
  ++added_since_sync_;
  return true;
}

bool FitsHistorySlot(std::string_view query) {
  std::size_t size = query.size();
  for (std::size_t i = 0; i < query.size() && size <= kSlotTextBytes; i = NextCharEnd(query, i)) {
    if (query[i] == ' ') size += kFullWidthBlank.size() - kAsciiBlank.size();
  }
  return size <= kSlotTextBytes;
}

bool IsStorableEditorCommand(std::string_view command) {
  if (command.empty() || command.size() > kEditorCommandBytes) return false;
  if (IsWhiteSpace(command.front()) || IsWhiteSpace(command.back())) return false;
  for (const char c : command) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7f) return false;
  }
  return true;
}

}  // namespace tolvane
