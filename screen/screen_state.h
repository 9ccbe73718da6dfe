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

struct ScreenState {
  HistoryTable history;
  // Where the records, results and state files are; set at every initial update.
  std::string start_dir;
  // Exactly what the results box shows, and its blocks; only a search with matches replaces it.
  ShownResults shown;
  // The history entry Up and Down last showed, kNoHistoryEntry when none.
  int history_cursor = kNoHistoryEntry;
  // True while the results box, not the query box, was the last of the two to get the focus.
  bool results_focus = false;
  // Until the view was first shown and put the usage hint in the caption.
  bool first_show = true;
  // Once the user was told that history.txt cannot be used: once a session is enough.
  bool history_problem_told = false;
  // Likewise that the records file seems to hold lines in another encoding, that it is in no
  // known encoding, and that a history file in UTF-8 held characters Shift-JIS lacks.
  bool other_encoding_lines_told = false;
  bool unknown_encoding_told = false;
  bool history_characters_dropped_told = false;
  // Where the last search's results went when the start folder could not take them (empty: its
  // kekka.txt), for Shift+Enter; and the places the user was told of, each once a session.
  std::string results_elsewhere;
  std::set<std::string> results_elsewhere_told;
  // The loose search, as the File menu sets it, and where it is remembered across starts (none:
  // only for this session).
  bool loose_search = false;
  std::optional<std::string> settings_file;
};

}  // namespace tolvane
