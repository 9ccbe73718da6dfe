#pragma once
// The records inside a stretch of the records file as it lies on disk, CR LF and all. Text-mode
// reading only ever turns the CR LF that ends a line into LF, so every byte before a line's end is
// where it was on disk, and the pieces of a long line can be counted on the raw bytes.
//
// What makes looking on the raw bytes safe:
// - the filter term never holds CR, LF or Ctrl+Z (HasSpecialByte), so a hit on the raw bytes is
//   where the term stands in the record's text, and its position can be trusted. The same holds
//   for every spelling of a character of several spellings: none holds those bytes either;
// - the filter and the quick checks of a term with twins compare only bytes that every spelling
//   shares, or each spelling's own, so neither passes over nor turns away a record that holds
//   another spelling;
// - every record is copied into record_ before it is checked or handed on, so the sink only ever
//   sees the scanner's own copy, never the caller's buffer.
#include <array>
#include <cstddef>
#include <string_view>

#include "search/filter_choice.h"
#include "search/scan.h"
#include "search/scan_sizes.h"
#include "search/terms.h"

namespace tolvane {

// How far ahead of a record the scan looks for Ctrl+Z and NUL at a time.
inline constexpr std::size_t kPlainLookAheadBytes = 4096;

// How far one region's scan went.
struct RegionStep {
  enum class End {
    kMore,     // the complete records are done; `consumed` is where the next region must start
    kEnd,      // the region, which ended where the data ends, is done
    kCtrlZ,    // a Ctrl+Z ended the file
    kStopped,  // the sink wanted no more; `stopped_at` is where the record it refused starts
  };
  End end;
  std::size_t consumed = 0;
  std::size_t stopped_at = 0;
};

class RegionScanner {
 public:
  // All three must outlive the scanner; pointers, so that a temporary cannot be passed.
  RegionScanner(const TermTable* terms, const FilterChoice* choice, const MatchSink* on_match);

  // Hands every matching record among the complete records of `raw` to the sink. `raw` starts on
  // a record boundary and ends where the data ends when `at_end`. A Ctrl+Z in it ends the file.
  RegionStep Scan(std::string_view raw, bool at_end);

 private:
  struct Record {
    std::size_t end;        // where the next record starts, in `raw`
    std::string_view text;  // text-mode bytes up to the first NUL, in record_
    bool ends_file;         // a Ctrl+Z cut it short
  };
  Record RecordAt(std::string_view raw, std::size_t start);
  // True when raw[from, to) holds neither a Ctrl+Z nor a NUL, which only a record's plain copy
  // may skip looking for.
  bool Plain(std::string_view raw, std::size_t from, std::size_t to);
  RegionStep ScanEveryRecord(std::string_view raw, bool at_end);
  bool TurnedAway(std::string_view raw, std::size_t start, std::size_t hit,
                  std::size_t& next) const;

  const TermTable* terms_;
  const FilterChoice* choice_;
  const MatchSink* on_match_;
  std::array<char, kRecordBufferBytes> record_{};
  std::size_t plain_until_ = 0;  // raw holds neither Ctrl+Z nor NUL before this, this region
};

}  // namespace tolvane
