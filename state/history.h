#pragma once
// The query history: twenty queries, most recent first, and the editor command, kept in
// "history.txt" in the start directory. Plain C++ over Shift-JIS byte strings.
#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "search/limits.h"

namespace tolvane {

inline constexpr char kHistoryFileName[] = "history.txt";
inline constexpr std::size_t kHistorySlots = 21;
inline constexpr std::size_t kHistoryQueries = 20;
inline constexpr std::size_t kEditorSlot = 20;
inline constexpr std::size_t kSlotTextBytes = kQueryTextBytes;  // 299
inline constexpr std::size_t kStartDirTextBytes = 298;
inline constexpr char kDefaultEditor[] = "notepad";

class HistoryTable {
 public:
  // Slot texts; slots 0-19 queries, slot 20 the editor command. Each at most 299 bytes.
  const std::string& Slot(std::size_t i) const { return slots_[i]; }
  const std::string& Query(std::size_t i) const { return slots_[i]; }
  const std::string& EditorCommand() const { return slots_[kEditorSlot]; }
  void SetEditorCommand(std::string_view command);

  // Fills the table from "history.txt" in `dir`, or with "0000".."0019" and "notepad" when there
  // is none. Slots the file does not reach keep their contents.
  void Load(const std::string& dir);
  // Replaces "history.txt" in `dir` with all 21 slots; the old file stays intact on failure.
  bool Save(const std::string& dir) const;

  // Records a query about to be searched. Returns false and changes nothing when the query with its
  // blanks widened would not fit a slot (see FitsHistorySlot). Otherwise rewrites `query` in place
  // (ASCII blanks become full-width blanks) and stores it in slot 0 unless an equal query is stored.
  bool AddToHistory(std::string& query);

 private:
  std::array<std::string, kHistorySlots> slots_;
};

// True when `query`, once its ASCII blanks became full-width blanks, fits the 299-byte copy.
bool FitsHistorySlot(std::string_view query);

}  // namespace tolvane
