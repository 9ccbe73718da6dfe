#pragma once
// What the search screen keeps for the whole life of the process. The application object owns
// the one instance; the view only borrows it, so a new view (or a test) never loses or shares it
// by accident.
#include <optional>
#include <set>
#include <string>

#include "session/display.h"
#include "state/history.h"

namespace tolvane {

inline constexpr int kNoHistoryEntry = -1;
inline constexpr int kLastHistoryEntry = static_cast<int>(kHistoryQueries) - 1;

// Something the user hears of once a session, or once a session for each thing it is about.
class TellOnce {
 public:
  // True the first time only: it is to be told now.
  bool Due() { return Due(std::string()); }
  bool Due(const std::string& about) { return told_.insert(about).second; }

 private:
  std::set<std::string> told_;
};

struct ScreenState {
  HistoryTable history;
  // Where the records, results and state files are; set at start-up and at every change of folder.
  std::string start_dir;
  // Exactly what the results box shows, and its blocks; only a search with matches replaces it.
  ShownResults shown;
  // The history entry Up and Down last showed, kNoHistoryEntry when none.
  int history_cursor = kNoHistoryEntry;
  // True while the results box, not the query box, was the last of the two to get the focus.
  bool results_focus = false;
  // Until the view was first shown and put the usage hint in the caption.
  bool first_show = true;
  // What the user is told once a session: that history.txt cannot be used, that the records file
  // seems to hold lines in another encoding, that it is in no known encoding, that a history file
  // in UTF-8 held characters Shift-JIS lacks, and each place results went to instead of kekka.txt.
  TellOnce history_problem;
  TellOnce other_encoding_lines;
  TellOnce unknown_encoding;
  TellOnce history_characters_dropped;
  TellOnce results_elsewhere_place;
  // Where the last search's results went when the start folder could not take them (empty: its
  // kekka.txt), for Shift+Enter.
  std::string results_elsewhere;
  // The loose search, as the File menu sets it, and where it is remembered across starts (none:
  // only for this session).
  bool loose_search = false;
  std::optional<std::string> settings_file;
};

}  // namespace tolvane
