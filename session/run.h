#pragma once
// One search, as the Enter key and the command run it: scan the records file in the start
// folder, write every matching record to the results file there, put the first 500 on top of
// the earlier results, and report the count in the caption.
#include <cstddef>
#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "search/scan.h"
#include "session/display.h"

namespace tolvane {

enum class RunStatus {
  kMatched,             // at least one match; results box and caption updated
  kNoMatch,             // nothing matched; the screen keeps what it showed
  kNoRecordsFile,       // the records file could not be opened
  kCannotCreateResults, // the results file could not be created
  kReadError,           // the records file failed part way; the results file is incomplete
  kWriteError,          // the results file did not get every record
};

struct RunResult {
  int matches = 0;  // records counted; 0 whenever the run reported a failure
  RunStatus status = RunStatus::kNoMatch;
};

struct RunOptions {
  ScanOptions scan;  // how the records file is read
  // Sees each shown record as read, before it is shown; for a caller that wants the records
  // themselves rather than the box's text.
  std::function<void(std::string_view record_text)> on_shown_record;
  // Told, just before the box gets the merged text, how many of its first bytes are this search's
  // block (its closing line end included) and which terms found it; for a box that marks them.
  std::function<void(std::size_t block_bytes, std::span<const std::string> terms)> on_newest_block;
};

// True when a search in `folder` would find its records file.
bool HoldsRecordsFile(const std::string& folder);

// Runs one search in `start_dir`, which is never made the working directory: the records and
// results files are opened in it, and a folder that no longer exists means no records file.
// `accumulated` is the results box's text, kept by the caller between searches; it is replaced
// only when something matched.
RunResult RunSearch(std::string_view query, const std::string& start_dir, const DisplayOps& display,
                    std::string& accumulated, const RunOptions& options = {});

}  // namespace tolvane
