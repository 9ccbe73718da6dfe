#include "state/history.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cstdio>

#include "encoding/primitives.h"
#include "encoding/sjis.h"
#include "posix/unique_fd.h"
#include "state/replace_file.h"
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
  ++revision_;
}

void HistoryTable::Load(const std::string& dir) {
  ++revision_;
  const std::string path = PathIn(dir, kHistoryFileName);
  // Non-blocking so that a FIFO in its place cannot hang the start-up.
  UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  struct stat info {};
  if (!fd.valid() || ::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
    for (std::size_t i = 0; i < kHistoryQueries; ++i) {
      char placeholder[16];
      std::snprintf(placeholder, sizeof placeholder, "%04d", static_cast<int>(i));
      slots_[i] = placeholder;
    }
    slots_[kEditorSlot] = kDefaultEditor;
    return;
  }

  TextModeReader reader(fd.get());
  std::string_view run;
  bool line_ends = false;
  std::size_t line = 0;
  SlotLine current(line == kEditorSlot);
  while (line < kHistorySlots && reader.Next(run, line_ends)) {
    current.Add(run);
    if (!line_ends) continue;
    if (auto text = current.Take()) slots_[line] = std::move(*text);
    ++line;
    current = SlotLine(line == kEditorSlot);
  }
  // The last line may lack its line feed.
  if (line < kHistorySlots) {
    if (auto text = current.Take()) slots_[line] = std::move(*text);
  }
}

bool HistoryTable::Save(const std::string& dir) const {
  std::string content;
  for (const std::string& slot : slots_) {
    content += LineText(slot);
    content += kCrLf;
  }

  // The old file is replaced only once the new one is complete on disk, so a failure anywhere
  // leaves it as it was.
  return ReplaceFileWhole(PathIn(dir, kHistoryFileName), content);
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
  ++revision_;
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
