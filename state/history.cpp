#include "state/history.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <vector>

#include "encoding/cp932.h"
#include "encoding/detect.h"
#include "encoding/iconv_converter.h"
#include "encoding/primitives.h"
#include "encoding/query_text.h"
#include "encoding/sjis.h"
#include "posix/files.h"
#include "posix/io.h"
#include "posix/unique_fd.h"
#include "state/text_mode_reader.h"

namespace tolvane {
namespace {

constexpr bool IsWhiteSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
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

// The geta mark, which stands in history.txt for each character of a query Shift-JIS lacks.
constexpr std::string_view kStandInCharacter = "\x81\xac";
// The full-width blank in UTF-8, as a query Shift-JIS cannot hold stores its blanks.
constexpr std::string_view kFullWidthBlankUtf8 = "\xe3\x80\x80";

bool IsUnicodeQuery(std::string_view slot) {
  return !slot.empty() && slot.front() == kUnicodeQueryMark;
}

// `utf8` without the bytes that start no UTF-8 character and without NULs, which `dropped` tells.
std::string CleanUtf8(std::string_view utf8, bool& dropped) {
  std::string clean;
  while (!utf8.empty()) {
    const std::string_view before = utf8;
    char32_t c = 0;
    if (!DecodeUtf8(utf8, c) || c == 0) {
      if (utf8.size() == before.size()) utf8.remove_prefix(1);
      dropped = true;
      continue;
    }
    clean += before.substr(0, before.size() - utf8.size());
  }
  return clean;
}

// What history.txt holds in the place of a query Shift-JIS cannot hold: its Shift-JIS, with the
// geta mark for each character Shift-JIS lacks.
std::string StandIn(std::string_view utf8) {
  std::string sjis;
  while (!utf8.empty()) {
    const std::string_view before = utf8;
    char32_t c = 0;
    if (!DecodeUtf8(utf8, c)) {
      utf8.remove_prefix(1);
      continue;
    }
    const Cp932Encoding one = Utf8ToCp932(before.substr(0, before.size() - utf8.size()));
    sjis += one.ok() ? std::string_view(one.sjis) : kStandInCharacter;
  }
  return sjis;
}

// Puts each query of `unicode` (UTF-8, most recent first) in the first query slot after the last
// one placed that holds its stand-in: the order of history.txt is the order of the queries, even
// when another program moved them.
void PlaceUnicodeQueries(FileSlots& slots, const std::vector<std::string>& unicode) {
  std::size_t from = 0;
  for (const std::string& query : unicode) {
    const std::string stand_in = StandIn(query);
    for (std::size_t i = from; i < kHistoryQueries; ++i) {
      if (slots[i] && !IsUnicodeQuery(*slots[i]) && *slots[i] == stand_in) {
        slots[i] = kUnicodeQueryMark + query;
        from = i + 1;
        break;
      }
    }
  }
}

// Reads at most `limit` bytes of the open file `fd` from its start.
std::string ReadUpTo(int fd, std::size_t limit) {
  std::string content;
  char buffer[4096];
  for (ssize_t got;
       content.size() < limit &&
       (got = PreadRetry(fd, buffer, sizeof buffer, static_cast<off_t>(content.size()))) > 0;) {
    content.append(buffer, static_cast<std::size_t>(got));
  }
  return content;
}

// The queries of history-utf8.txt in `dir`, most recent first; nothing when it is missing (or
// another user's link). Whether the file is there at all goes to `exists`.
std::vector<std::string> ReadUnicodeQueries(const std::string& dir, bool& exists) {
  std::vector<std::string> queries;
  const OpenedFile file = OpenPathForReading(JoinPath(dir, kHistoryUnicodeFileName));
  exists = !file.problem;
  if (file.problem) return queries;
  const std::string content = ReadUpTo(file.fd.get(), kHistoryUtf8ReadBytes);
  std::string_view rest = content;
  while (!rest.empty() && queries.size() < kHistoryQueries) {
    const std::size_t lf = rest.find(kLineFeed);
    std::string_view line = rest.substr(0, lf);
    rest.remove_prefix(lf == std::string_view::npos ? rest.size() : lf + 1);
    if (line.ends_with(kCarriageReturn)) line.remove_suffix(1);
    bool dropped = false;
    std::string query = CleanUtf8(line, dropped);
    if (!query.empty() && !dropped) queries.push_back(std::move(query));
  }
  return queries;
}

// What history-utf8.txt holds for `slots`: their queries Shift-JIS cannot hold, one a line.
std::string UnicodeFileContent(const std::array<std::string, kHistorySlots>& slots) {
  std::string content;
  for (std::size_t i = 0; i < kHistoryQueries; ++i) {
    if (!IsUnicodeQuery(slots[i])) continue;
    content += std::string_view(slots[i]).substr(1);
    content += kLineFeed;
  }
  return content;
}

std::vector<std::string> UnicodeQueriesOf(const std::array<std::string, kHistorySlots>& slots) {
  std::vector<std::string> queries;
  for (std::size_t i = 0; i < kHistoryQueries; ++i) {
    if (IsUnicodeQuery(slots[i])) queries.push_back(slots[i].substr(1));
  }
  return queries;
}

// A state file saved by an editor that writes UTF-8: each line Shift-JIS holds comes back in
// Shift-JIS; the first token of a query line it cannot hold is kept in UTF-8. Bytes that are no
// UTF-8, and what the editor line holds beyond Shift-JIS, are left out, which `dropped` tells.
// Nothing when the file is no such file; `shift_jis_known` when the program wrote it in Shift-JIS.
std::optional<FileSlots> ReadUtf8Slots(int fd, bool shift_jis_known, bool& dropped) {
  const std::string sample = PreadSample(fd, kHistorySampleBytes);
  if (DetectEncoding(sample, {}, false, shift_jis_known).kind != EncodingVerdict::Kind::kUtf8) {
    return std::nullopt;
  }
  // The file whole, as far as a state file can sensibly reach.
  const std::string content = ReadUpTo(fd, kHistoryUtf8ReadBytes);
  std::string_view text = content;
  if (text.starts_with(kUtf8ByteOrderMark)) text.remove_prefix(kUtf8ByteOrderMark.size());
  text = text.substr(0, text.find(kEndOfFileByte));
  std::string sjis;
  std::vector<std::string> unicode;
  for (std::size_t line_number = 0; !text.empty() && line_number < kHistorySlots; ++line_number) {
    const std::size_t lf = text.find(kLineFeed);
    std::string_view line = text.substr(0, lf);
    text.remove_prefix(lf == std::string_view::npos ? text.size() : lf + 1);
    if (line.ends_with(kCarriageReturn)) line.remove_suffix(1);
    const std::string clean = CleanUtf8(line, dropped);
    const Cp932Encoding converted = Utf8ToCp932(clean);
    if (converted.ok()) {
      sjis += converted.sjis;
    } else if (line_number == kEditorSlot) {
      sjis += Utf8ToCp932Dropping(clean, dropped).sjis;
    } else {
      sjis += StandIn(clean);
      // The line's first token, as the slot takes it.
      const std::size_t begin = clean.find_first_not_of(" \t\v\f\r");
      if (begin != std::string::npos) {
        const std::size_t end = clean.find_first_of(" \t\v\f\r", begin);
        unicode.push_back(clean.substr(begin, end == std::string::npos ? end : end - begin));
      }
    }
    sjis += kLineFeed;
  }
  FileSlots slots = ParseTextMode(sjis);
  PlaceUnicodeQueries(slots, unicode);
  return slots;
}

// The slots of an open state file, in Shift-JIS or, `in_utf8`, converted from UTF-8, with the
// queries of history-utf8.txt (`unicode`) in their places. `shift_jis_known` when
// history-utf8.txt is there: the program wrote history.txt, in Shift-JIS.
FileSlots ReadSlots(int fd, const std::vector<std::string>& unicode, bool shift_jis_known,
                    bool& in_utf8, bool& dropped) {
  std::optional<FileSlots> utf8 = ReadUtf8Slots(fd, shift_jis_known, dropped);
  in_utf8 = utf8.has_value();
  if (utf8) return std::move(*utf8);
  SlotParser parser;
  TextModeReader reader(fd);
  std::string_view run;
  bool line_ends = false;
  while (!parser.Full() && reader.Next(run, line_ends)) parser.Add(run, line_ends);
  FileSlots slots = std::move(parser).Finish();
  PlaceUnicodeQueries(slots, unicode);
  return slots;
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
    content += IsUnicodeQuery(slot) ? StandIn(std::string_view(slot).substr(1))
                                    : std::string(LineText(slot));
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
  const OpenedFile file = OpenPathForReading(JoinPath(dir, kHistoryFileName));
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
  bool unicode_file = false;
  const std::vector<std::string> unicode = ReadUnicodeQueries(dir, unicode_file);
  on_disk_ = ReadSlots(file.fd.get(), unicode, unicode_file, in_utf8, dropped);
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
  const std::string path = JoinPath(dir, kHistoryFileName);
  const std::string unicode_path = JoinPath(dir, kHistoryUnicodeFileName);
  // What the files hold now: another window may have saved since this one last read or wrote them.
  FileSlots now;
  bool exists = false;
  bool in_utf8 = false;
  bool unicode_file = false;
  const std::vector<std::string> unicode_now = ReadUnicodeQueries(dir, unicode_file);
  if (OpenedFile file = OpenPathForReading(path); !file.problem) {
    bool dropped = false;
    now = ReadSlots(file.fd.get(), unicode_now, unicode_file, in_utf8, dropped);
    exists = true;
  }
  MergeStoredElsewhere(now);
  const std::string content = FileContent(slots_);
  const std::vector<std::string> unicode = UnicodeQueriesOf(slots_);
  FileSlots written = SlotsOf(content);
  PlaceUnicodeQueries(written, unicode);
  // history-utf8.txt is kept while a query needs it, and also when history.txt holds Shift-JIS
  // that a reader would take for UTF-8 (a kanji byte pair before a half-width kana can be both):
  // its presence says the program wrote history.txt, in Shift-JIS.
  const bool taken_for_utf8 = DetectEncoding(content).kind == EncodingVerdict::Kind::kUtf8;
  const bool unicode_needed = !unicode.empty() || taken_for_utf8;
  // Written first: a history.txt whose queries' UTF-8 is not there yet would show their stand-ins.
  if (unicode_needed && !(unicode_file && unicode_now == unicode) &&
      !ReplaceFileWhole(unicode_path, UnicodeFileContent(slots_), problem)) {
    return false;
  }
  // Nothing to write when the file already says it all, in Shift-JIS: one a UTF-8 editor saved is
  // written again even when its queries are the table's.
  const bool file_says_it_all = exists && !in_utf8 && now == written;
  if (!file_says_it_all && !ReplaceFileWhole(path, content, problem)) return false;
  // A folder whose queries are all Shift-JIS keeps history.txt alone. The name itself goes, never
  // what a link there points at.
  if (!unicode_needed && unicode_file) (void)::unlink(unicode_path.c_str());
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

bool HistoryTable::AddQuery(std::string_view utf8) {
  Cp932Encoding sjis = Utf8ToCp932(utf8);
  if (sjis.ok()) return AddToHistory(sjis.sjis);
  // A NUL or bytes that are no UTF-8 are no query anyone typed.
  if (sjis.malformed_utf8 || sjis.unconvertible == char32_t{0} || !FitsQueryLimit(utf8))
    return false;
  // Byte for byte: UTF-8 never holds one character's bytes inside another's.
  std::string query;
  for (const char c : utf8) {
    if (c == ' ') {
      query += kFullWidthBlankUtf8;
    } else {
      query += c;
    }
  }
  const std::string slot = kUnicodeQueryMark + query;
  for (std::size_t i = 0; i < kHistoryQueries; ++i) {
    if (slots_[i] == slot) return true;
  }
  for (std::size_t i = kHistoryQueries - 1; i > 0; --i) slots_[i] = std::move(slots_[i - 1]);
  slots_[0] = slot;
  ++added_since_sync_;
  return true;
}

std::string HistoryTable::QueryText(std::size_t i) const {
  const std::string& slot = slots_[i];
  return IsUnicodeQuery(slot) ? slot.substr(1) : Cp932ToUtf8(slot);
}

bool FitsQueryLimit(std::string_view utf8) { return QueryLimitBytes(utf8) <= kSlotTextBytes; }

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

bool HoldsHistoryFile(const std::string& folder) {
  if (folder.empty()) return false;
  const UniqueFd fd = OpenFolder(folder);
  if (!fd.valid()) return false;
  const OpenedFile file = OpenForReading(fd.get(), kHistoryFileName);
  return !file.problem || file.problem->kind != FileProblem::Kind::kMissing;
}

}  // namespace tolvane
