#pragma once
// One search: scan the records file, write every matching record to the results file, put the
// first 500 on top of the earlier results, and report the count in the caption.
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "search/limits.h"
#include "search/scan.h"

namespace tolvane {

inline constexpr char kRecordsFileName[] = "tolvaneken.txt";
inline constexpr char kResultsFileName[] = "kekka.txt";

// The messages and captions of a run, in Shift-JIS.
// "tolvaneken.txtがありません。"
inline constexpr std::string_view kNoRecordsFileMessage =
    "tolvaneken.txt\x82\xaa\x82\xa0\x82\xe8\x82\xdc\x82\xb9\x82\xf1\x81\x42";
// "kekka.txtが作れません。"
inline constexpr std::string_view kCannotCreateResultsMessage =
    "kekka.txt\x82\xaa\x8d\xec\x82\xea\x82\xdc\x82\xb9\x82\xf1\x81\x42";
// "tolvaneken.txtが読めません。"
inline constexpr std::string_view kCannotReadRecordsMessage =
    "tolvaneken.txt\x82\xaa\x93\xc7\x82\xdf\x82\xdc\x82\xb9\x82\xf1\x81\x42";
// "kekka.txtに書き込めません。"
inline constexpr std::string_view kCannotWriteResultsMessage =
    "kekka.txt\x82\xc9\x8f\x91\x82\xab\x8d\x9e\x82\xdf\x82\xdc\x82\xb9\x82\xf1\x81\x42";

// The caption after a search with more than 500 matches; %d is the count.
// "件数：%d   500件までを表示しています。shift+Enterキーでエディタ上に全体を開きます。"
inline constexpr std::string_view kManyMatchesCaption =
    "\x8c\x8f\x90\x94\x81\x46%d   500\x8c\x8f\x82\xdc\x82\xc5\x82\xf0\x95\x5c\x8e\xa6\x82\xb5\x82\xc4"
    "\x82\xa2\x82\xdc\x82\xb7\x81\x42shift+Enter\x83\x4c\x81\x5b\x82\xc5\x83\x47\x83\x66\x83\x42\x83\x5e"
    "\x8f\xe3\x82\xc9\x91\x53\x91\xcc\x82\xf0\x8a\x4a\x82\xab\x82\xdc\x82\xb7\x81\x42";
// The caption after any other search with matches.
// "件数：%d   空白で区切るとand検索。上下矢印キーで入力履歴。shift+Enter：エディタで結果を開く。"
inline constexpr std::string_view kMatchesCaption =
    "\x8c\x8f\x90\x94\x81\x46%d   \x8b\xf3\x94\x92\x82\xc5\x8b\xe6\x90\xd8\x82\xe9\x82\xc6" "and\x8c\x9f"
    "\x8d\xf5\x81\x42\x8f\xe3\x89\xba\x96\xee\x88\xf3\x83\x4c\x81\x5b\x82\xc5\x93\xfc\x97\xcd\x97\x9a"
    "\x97\xf0\x81\x42shift+Enter\x81\x46\x83\x47\x83\x66\x83\x42\x83\x5e\x82\xc5\x8c\x8b\x89\xca\x82\xf0"
    "\x8a\x4a\x82\xad\x81\x42";

// What the window offers a run. Every text is Shift-JIS.
struct DisplayOps {
  std::function<void(std::string_view message)> show_error;  // modal; returns when closed
  std::function<void(std::string_view text)> set_results_text;
  std::function<void(std::string_view caption)> set_caption;
};

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
};

// Runs one search in `start_dir` (made the working directory first). `accumulated` is the results
// box's text, kept by the caller between searches; it is replaced only when something matched.
RunResult RunSearch(std::string_view query, const std::string& start_dir, const DisplayOps& display,
                    std::string& accumulated, const RunOptions& options = {});

// The caption for a search with `matches` matches (at least one).
std::string CountCaption(int matches);

// Puts a new block (ending with its empty line) in front of the older text, dropping the older
// text's oldest lines so that the whole stays near 75,000 bytes. Returns the merged text.
std::string MergeResults(std::string block, std::string_view older);

}  // namespace tolvane
