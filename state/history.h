#pragma once
// The query history: twenty queries, most recent first, and the editor command, kept in
// "history.txt" in the start directory. Plain C++ over Shift-JIS byte strings; a query Shift-JIS
// cannot hold is kept in UTF-8, in "history-utf8.txt" beside it.
#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "posix/files.h"

namespace tolvane {

inline constexpr char kHistoryFileName[] = "history.txt";
// The queries Shift-JIS cannot hold, in UTF-8, one a line, most recent first. history.txt holds
// each of them in its place with 〓 for every character Shift-JIS lacks, so that the program on
// Windows reads the same twenty lines; a folder whose queries are all Shift-JIS has no such file.
inline constexpr char kHistoryUnicodeFileName[] = "history-utf8.txt";
inline constexpr std::size_t kHistorySlots = 21;
inline constexpr std::size_t kHistoryQueries = 20;
inline constexpr std::size_t kEditorSlot = 20;
// A query and a history slot: 300-byte slots, 299 bytes of text. The window and the command take no
// longer query.
inline constexpr std::size_t kSlotBytes = 300;
inline constexpr std::size_t kSlotTextBytes = kSlotBytes - 1;
inline constexpr char kDefaultEditor[] = "notepad";
// How much of history.txt is looked at to tell a UTF-8 file, and read at most of one.
inline constexpr std::size_t kHistorySampleBytes = std::size_t{64} << 10;
inline constexpr std::size_t kHistoryUtf8ReadBytes = std::size_t{1} << 20;
// The editor is started by the command line "<command> kekka.txt" of at most 299 bytes.
inline constexpr std::size_t kResultsArgumentBytes = sizeof(" kekka.txt") - 1;
inline constexpr std::size_t kEditorCommandBytes = kSlotTextBytes - kResultsArgumentBytes;  // 289

// What each line of a state file gives its slot: nothing where a line holds no token.
using FileSlots = std::array<std::optional<std::string>, kHistorySlots>;

class HistoryTable {
 public:
  // Slot texts; slots 0-19 queries, slot 20 the editor command. Each at most 299 bytes. A query
  // Shift-JIS cannot hold is kUnicodeQueryMark followed by its UTF-8.
  const std::string& Slot(std::size_t i) const { return slots_[i]; }
  // A query slot as the box shows it, in UTF-8.
  std::string QueryText(std::size_t i) const;
  const std::string& EditorCommand() const { return slots_[kEditorSlot]; }
  // A command longer than a slot leaves the slot as it was.
  void SetEditorCommand(std::string_view command);

  // Fills the table from "history.txt" in `dir`, or with "0000".."0019" and "notepad" when there
  // is none (or it is another user's link, which LoadProblem then tells). Slots the file does not
  // reach keep their contents. Lines 1-20 give their first token (cut to 299 bytes at a character
  // boundary); line 21 is taken whole without surrounding white space, and left out when longer
  // than 299 bytes. Lines after the 21st are not read.
  void Load(const std::string& dir);
  const std::optional<FileProblem>& LoadProblem() const { return load_problem_; }
  // True when the last load read a file saved in UTF-8 (by an editor) that held characters
  // Shift-JIS lacks, which it left out of their entries. The file is written in Shift-JIS at the
  // next save.
  bool LoadDroppedCharacters() const { return characters_dropped_; }
  // True when the last load read the file as UTF-8 and converted it.
  bool LoadReadUtf8() const { return read_as_utf8_; }
  // Writes all 21 slots to "history.txt" in `dir`, replacing it whole; the old file stays intact
  // on failure, which `problem` then tells. Under a lock on the folder, the queries another window
  // stored there since this table last read or wrote the file come in first, after this table's
  // own new ones, and a changed editor line wins over an unchanged one; the table then holds what
  // was written. With no other window, the file is exactly the table.
  bool Save(const std::string& dir, FileProblem* problem = nullptr);
  // True while the table holds what the file, as last read or written, does not (a first start
  // without a file among them).
  bool DiffersFromFile() const;

  // Records a query about to be searched. Returns false and changes nothing when the query with its
  // blanks widened would not fit a slot (see FitsHistorySlot). Otherwise rewrites `query` in place
  // (ASCII blanks become full-width blanks) and stores it in slot 0 unless an equal query is
  // stored.
  bool AddToHistory(std::string& query);
  // The same for a query typed in Unicode (UTF-8): stored in Shift-JIS where Shift-JIS holds it,
  // else as it was typed (blanks widened to U+3000). False when it exceeds the query limit.
  bool AddQuery(std::string_view utf8);

 private:
  void MergeStoredElsewhere(const FileSlots& now);

  std::array<std::string, kHistorySlots> slots_;
  // What the file held as this table last read or wrote it; nothing while it had no file.
  std::optional<FileSlots> on_disk_;
  // The table as it stood when it last met the file, when the file then held all of it: a slot
  // the file cannot hold as it is (a line break in a command) does not make every save write.
  std::optional<std::array<std::string, kHistorySlots>> synced_;
  std::size_t added_since_sync_ = 0;  // queries stored since then, at the front
  bool editor_changed_since_sync_ = false;
  std::optional<FileProblem> load_problem_;
  bool characters_dropped_ = false;
  bool read_as_utf8_ = false;
};

// True when `query`, once its ASCII blanks became full-width blanks, fits the 299-byte copy.
bool FitsHistorySlot(std::string_view query);
// True when `folder` has something in the place of history.txt, whether or not it can be read:
// looked up under the folder's link rule, as every use of the file is.
bool HoldsHistoryFile(const std::string& folder);
// The same for a query in UTF-8, measured by QueryLimitBytes (encoding/query_text.h): exactly
// FitsHistorySlot for a query Shift-JIS holds, two bytes for each character it lacks.
bool FitsQueryLimit(std::string_view utf8);

// What starts a slot that holds a query Shift-JIS cannot hold, in UTF-8: a Ctrl+Z, which no slot
// read from history.txt holds, since a text-mode reader ends the file there.
inline constexpr char kUnicodeQueryMark = '\x1a';

// True when `command` (Shift-JIS) can be the editor command: it fits the command line and comes
// back from the state file unchanged (one line, no control characters, no white space at either
// end).
bool IsStorableEditorCommand(std::string_view command);

}  // namespace tolvane
