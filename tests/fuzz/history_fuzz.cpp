// The state file loader over fuzzed "history.txt" files, then Save and Load again, then a query
// and an editor command added to the loaded table.
// Input: a flags byte, then query 0xFF editor command 0xFF state file.
#include "fuzz_util.h"
#include "search/scan_sizes.h"
#include "state/history.h"

namespace tolvane::fuzz {
namespace {

void CheckSlotsFit(const HistoryTable& table) {
  for (std::size_t i = 0; i < kHistorySlots; ++i)
    FUZZ_CHECK(table.Slot(i).size() <= kSlotTextBytes);
}

bool SameSlots(const HistoryTable& a, const HistoryTable& b) {
  for (std::size_t i = 0; i < kHistorySlots; ++i) {
    if (a.Slot(i) != b.Slot(i)) return false;
  }
  return true;
}

// What Save leaves: exactly 21 lines, each ended by CR LF, and nothing that ends a read early.
void CheckSavedLayout(const std::string& bytes) {
  std::size_t lines = 0;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    FUZZ_CHECK(bytes[i] != '\0' && bytes[i] != '\x1a');
    if (bytes[i] == '\n') {
      FUZZ_CHECK(i > 0 && bytes[i - 1] == '\r');
      ++lines;
    }
  }
  FUZZ_CHECK(lines == kHistorySlots && bytes.ends_with("\r\n"));
}

// A table as the window has it: empty, or already filled by an earlier load without a file.
HistoryTable StartingTable(bool prefilled, const std::string& missing) {
  HistoryTable table;
  if (prefilled) table.Load(missing);
  return table;
}

}  // namespace
}  // namespace tolvane::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tolvane;
  using namespace tolvane::fuzz;
  std::string_view input = AsText(data, size);
  const bool prefilled = TakeByte(input) & 1;
  const std::vector<std::string> f = Fields(input, 3);
  const std::string& dir = ScratchFolder();
  const std::string missing = dir + "/missing";
  const std::string path = dir + "/" + kHistoryFileName;

  WriteWholeFile(path, f[2]);
  HistoryTable table = StartingTable(prefilled, missing);
  table.Load(dir);
  CheckSlotsFit(table);

  // A file that already says what the table holds is left as it is; one that is written has the
  // program's own layout.
  FUZZ_CHECK(table.Save(dir));
  if (ReadWholeFile(path) != f[2]) CheckSavedLayout(ReadWholeFile(path));
  FUZZ_CHECK(!table.DiffersFromFile());
  HistoryTable again = StartingTable(prefilled, missing);
  again.Load(dir);
  // Bytes that are Shift-JIS and UTF-8 at once are read as UTF-8, by far the likelier of the two in
  // a file an editor saved (a short UTF-8 line walks as Shift-JIS about every other time; Shift-JIS
  // typed at the window is UTF-8 almost never), so a table whose bytes are both may come back
  // converted. Every other file comes back as it was saved.
  FUZZ_CHECK(SameSlots(table, again) || again.LoadReadUtf8());

  // Adding a query: refused and nothing touched when its widened form would not fit a slot.
  std::string query = f[0];
  const HistoryTable before = table;
  const std::size_t widened = ModelReplaceAll(query, " ", "\x81\x40").size();
  if (table.AddToHistory(query)) {
    FUZZ_CHECK(widened <= kSlotTextBytes);
    FUZZ_CHECK(query == ModelReplaceAll(f[0], " ", "\x81\x40"));
    FUZZ_CHECK(query.empty() || SameSlots(table, before) || table.Slot(0) == query);
  } else {
    FUZZ_CHECK(widened > kSlotTextBytes);
    FUZZ_CHECK(query == f[0] && SameSlots(table, before));
  }
  FUZZ_CHECK(FitsHistorySlot(f[0]) == (widened <= kSlotTextBytes));
  table.SetEditorCommand(f[1]);
  CheckSlotsFit(table);
  const std::string saved_before = ReadWholeFile(path);
  FUZZ_CHECK(table.Save(dir));
  if (ReadWholeFile(path) != saved_before) CheckSavedLayout(ReadWholeFile(path));
  FUZZ_CHECK(!table.DiffersFromFile());
  return 0;
}
