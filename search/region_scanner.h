#pragma once
// The records inside a stretch of the records file as it lies on disk, CR LF and all. Text-mode
// reading only ever turns the CR LF that ends a line into LF, so every byte before a line's end is
// where it was on disk, and the 2,998-byte pieces of a long line can be counted on the raw bytes.
//
// `raw` may be a mapping of the file that a SIGBUS cuts short under the scan, left by a jump back
// to the mapped feed (see bus_guard.h). What makes that jump safe is kept here:
// - the sink never sees mapped bytes: every record is copied into record_ before it is checked or
//   handed on, so a sink (and the two-halves hold) only ever keeps copies;
// - while Scan and ChooseFilter read `raw`, no local with a destructor is alive in their frames
//   or in those they call (ChooseFilter counts its sample before it builds anything);
// - the filter term never holds CR, LF or Ctrl+Z (HasSpecialByte), so a hit on the raw bytes is
//   where the term stands in the record's text, and its position can be trusted. The same holds
//   for every spelling of a term with twins: twin codes are double-byte, their bytes never those;
// - the filter and the quick checks of a term with twins compare only bytes that every spelling
//   shares, so neither passes over nor turns away a record that holds another spelling.
#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "search/scan_sizes.h"
#include "search/pair_filter.h"
#include "search/scan.h"
#include "search/terms.h"

namespace tolvane {

// How far one region's scan went.
struct RegionStep {
  ScanEnd end;           // kMore, kStopped or kEndOfFile
  std::size_t consumed;  // with kMore: where the next region must start
};

class RegionScanner {
 public:
  // Both must outlive the scanner; pointers, so that a temporary cannot be passed.
  RegionScanner(const TermTable* terms, const MatchSink* on_match);

  // Hands every matching record among the complete records of `raw` to the sink. `raw` starts on
  // a record boundary and ends where the file ends when `at_end`. A Ctrl+Z in it ends the file.
  RegionStep Scan(std::string_view raw, bool at_end);
  // Which term to look for, and which bytes of it, by the byte counts of `sample`. Done with the
  // first region scanned unless done before.
  void ChooseFilter(std::string_view sample);
  // Whether a Ctrl+Z ended the file, as opposed to its last byte.
  bool MetEndOfFileByte() const { return met_end_of_file_byte_; }

 private:
  struct Record {
    std::size_t end;        // where the next record starts, in `raw`
    std::string_view text;  // text-mode bytes up to the first NUL, in record_
    bool ends_file;         // a Ctrl+Z cut it short
  };
  Record RecordAt(std::string_view raw, std::size_t start);
  RegionStep ScanEveryRecord(std::string_view raw, bool at_end);
  std::optional<std::size_t> TurnedAway(std::string_view raw, std::size_t start,
                                        std::size_t hit) const;

  const TermTable* terms_;
  const MatchSink* on_match_;
  bool filter_chosen_ = false;
  bool met_end_of_file_byte_ = false;
  std::optional<PairFilter> filter_;  // none: every record is looked at
  const std::string* filter_term_ = nullptr;
  std::vector<const std::string*> check_order_;  // the active terms, rarest first
  std::vector<PairFilter> quick_checks_;  // the other terms, rarest first, to turn candidates away
  std::array<char, kRecordBufferBytes> record_{};
};

}  // namespace tolvane
