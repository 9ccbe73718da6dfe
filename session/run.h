#pragma once
// One search, as the Enter key and the command run it: scan the records file in the start
// folder, write every matching record to a new results file there, which takes the old one's
// place only once it is whole, put the first 500 on top of the earlier results, and count them in
// the caption. The run shows nothing itself: it hands back one result, and the caller shows it.
//
// Where the start folder or its results file may not be written (a read-only share or medium, a
// kekka.txt its owner made read-only, another user's in a sticky folder), the results go whole to
// a folder the caller names instead, and nothing in the start folder changes.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "posix/files.h"
#include "search/scan.h"
#include "session/display.h"

namespace tolvane {

enum class RunStatus {
  kMatched,              // at least one match; the results file, box and caption are new
  kNoMatch,              // nothing matched; the results file is empty, the screen stays as it was
  kNoRecordsFile,        // the records file could not be opened
  kCannotCreateResults,  // no new results file could be made or put in place
  kReadError,            // the records file failed part way
  kWriteError,           // the new results file did not get every record
  kUnreadableEncoding,   // the records file is UTF-16 or UTF-32
  kUnconvertibleQuery,   // a query character the records file's encoding cannot hold
};

// What stopped a run: its message (Shift-JIS), and what the system said about the file, where it
// said more than the message does (another user's link, a full disk ...).
struct RunProblem {
  std::string_view message;
  std::optional<FileProblem> file;
  // With kUnconvertibleQuery: the character, and the encoding that lacks it (for %1 and %2).
  std::optional<char32_t> character;
  TextEncoding encoding = TextEncoding::kShiftJis;
};

struct SearchResult {
  RunStatus status = RunStatus::kNoMatch;
  std::int64_t matches = 0;           // records counted; 0 whenever the run failed
  std::int64_t shown_records = 0;     // with kMatched: how many of them the new block shows
  std::string caption;                // with kMatched: the count caption
  ShownResults shown;                 // with kMatched: the box's new text, the newest block first
  std::optional<RunProblem> problem;  // with a failure; the results file is as it was
  // The records file's encoding, which the results file and the newest block are in, and whether
  // some of its lines seem to be in another.
  TextEncoding encoding = TextEncoding::kShiftJis;
  bool other_encoding_lines = false;
  // The results file's path when it is not the start folder's kekka.txt, which the start folder
  // did not let the run write; empty otherwise. Set whenever the results went there, matches or
  // none.
  std::string results_elsewhere;
  // The records file is in no encoding the search knows, and was searched as Shift-JIS bytes, as
  // the program always searched: told once a session.
  bool unknown_encoding = false;
};

// A folder of the user's own for results the start folder cannot take, and its path.
struct ResultsFolder {
  UniqueFd fd;
  std::string path;
};

struct RunOptions {
  ScanOptions scan;  // how the records file is read
  // Sees each shown record as read; for the command, which prints the records themselves.
  std::function<void(std::string_view record_text)> on_shown_record;
  // False: the new results file is written under a hidden temporary name from the start, as on a
  // file system without unnamed files. For tests.
  bool unnamed_results_file = true;
  // The loose search: the notational variants of each term (width, case, kana, dashes, old and
  // new kanji forms: encoding/fold.h) are found as the term.
  bool loose = false;
  // Opens (making it where missing) the folder for the results when the start folder, or its
  // kekka.txt, may not be written; called only then. Empty, or a folder that is not open: such a
  // search fails as one whose results file cannot be made.
  std::function<ResultsFolder()> results_fallback;
};

// True when a search in `folder` would find its records file.
bool HoldsRecordsFile(const std::string& folder);

// Runs one search in `start_dir`, which is never made the working directory: the records and
// results files are opened in it, and a folder that no longer exists means no records file.
// `query` is UTF-8, as the window and the command take it; its terms are written in the records
// file's own encoding (Shift-JIS, UTF-8 or EUC-JP), decided from the file each search, and
// searched in it.
// `earlier` is what the results box shows now. Whatever fails, the old results file stays as it
// was and no temporary file is left; concurrent searches in one folder each leave a whole file.
SearchResult RunSearch(std::string_view query, const std::string& start_dir,
                       const ShownResults& earlier, const RunOptions& options = {});

}  // namespace tolvane
