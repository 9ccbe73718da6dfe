// The record reader against a naive text-mode reader, and the fast scan against the plain scan, on
// files in each encoding.
// Input: a window-size byte, a stop-after byte whose bits above the third choose the encoding (0
// Shift-JIS, 1 UTF-8, 2 UTF-8 with a byte-order mark, 3 EUC-JP: the file is then the Shift-JIS
// one written in it), then query 0xFF records file.
#include <unistd.h>

#include <utility>

#include "fuzz_util.h"
#include "search/record_reader.h"
#include "search/scan.h"
#include "search/scan_sizes.h"
#include "search/terms.h"

namespace tolvane::fuzz {
namespace {

// Text mode done the obvious way: cut at Ctrl+Z, collapse CR LF, then cut records after each LF
// and every 2,998 bytes, a byte earlier where a two-byte character would start at the 2,998th.
std::vector<std::string> ModelRecords(std::string_view raw) {
  raw = raw.substr(0, raw.find('\x1a'));
  std::string text;
  for (std::size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n') continue;
    text += raw[i];
  }
  std::vector<std::string> records;
  std::string record;
  bool trail_next = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    const bool lead = !trail_next && ModelLeadByte(c);
    // A lead byte that would be the piece's last byte goes to the next piece with its trail byte;
    // one with no byte after it at all is a character of its own.
    if (lead && record.size() == 2997 && i + 1 < text.size())
      records.push_back(std::exchange(record, {}));
    trail_next = lead;
    record += c;
    if (c == '\n' || record.size() == 2998) {
      records.push_back(std::exchange(record, {}));
      trail_next = false;
    }
  }
  if (!record.empty()) records.push_back(record);
  return records;
}

// The same for UTF-8 and EUC-JP, whose characters never take a line feed: a UTF-8 file's
// byte-order mark is dropped, and a piece ends before a character that would pass its 2,998th byte.
std::vector<std::string> ModelEncodedRecords(ModelEncoding encoding, std::string_view raw) {
  raw = raw.substr(0, raw.find('\x1a'));
  if (encoding == ModelEncoding::kUtf8 && raw.starts_with("\xef\xbb\xbf")) raw.remove_prefix(3);
  std::string text;
  for (std::size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n') continue;
    text += raw[i];
  }
  std::vector<std::string> records;
  std::string record;
  for (std::size_t p = 0; p < text.size();) {
    const std::size_t end = ModelCharEnd(encoding, text, p);
    if (record.size() + (end - p) > kRecordTextBytes) records.push_back(std::exchange(record, {}));
    record.append(text, p, end - p);
    if (text[p] == '\n') records.push_back(std::exchange(record, {}));
    p = end;
  }
  if (!record.empty()) records.push_back(record);
  return records;
}

// Whether `text` holds `term` starting on a character boundary, walked from its start.
bool ModelHolds(ModelEncoding encoding, std::string_view text, std::string_view term) {
  for (std::size_t p = 0; p < text.size(); p = ModelCharEnd(encoding, text, p)) {
    if (text.substr(p, term.size()) == term) return true;
  }
  return false;
}

TextEncoding EngineEncoding(ModelEncoding encoding) {
  switch (encoding) {
    case ModelEncoding::kUtf8:
      return TextEncoding::kUtf8;
    case ModelEncoding::kEucJp:
      return TextEncoding::kEucJp;
    case ModelEncoding::kShiftJis:
      break;
  }
  return TextEncoding::kShiftJis;
}

struct ScanOutcome {
  std::vector<std::string> texts;
  ScanEnd end;
  bool operator==(const ScanOutcome&) const = default;
};

// Collects matches; the sink ends the scan at the `stop_after`th match (0: never).
MatchSink Collector(ScanOutcome& outcome, std::size_t stop_after) {
  return [&outcome, stop_after](std::string_view text) {
    outcome.texts.emplace_back(text);
    return outcome.texts.size() != stop_after ? MatchReply::kKeepGoing : MatchReply::kStop;
  };
}

}  // namespace
}  // namespace tolvane::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tolvane;
  using namespace tolvane::fuzz;
  std::string_view input = AsText(data, size);
  const unsigned char window_byte = TakeByte(input);
  const unsigned char stop_byte = TakeByte(input);
  const std::size_t stop_after = stop_byte % 8;
  const unsigned form = (stop_byte >> 3) % 4;
  const ModelEncoding encoding = form == 0   ? ModelEncoding::kShiftJis
                                 : form == 3 ? ModelEncoding::kEucJp
                                             : ModelEncoding::kUtf8;
  const std::vector<std::string> f = Fields(input, 2);
  const std::string file =
      (form == 2 ? std::string("\xef\xbb\xbf") : std::string()) + ModelReencoded(encoding, f[1]);
  const MemoryFile memory(file);

  const std::vector<std::string> expected = encoding == ModelEncoding::kShiftJis
                                                ? ModelRecords(file)
                                                : ModelEncodedRecords(encoding, file);
  RecordReader reader(memory.Rewound(), EngineEncoding(encoding));
  std::string record;
  for (const std::string& want : expected) {
    FUZZ_CHECK(reader.Next(record) == RecordReader::Read::kRecord);
    FUZZ_CHECK(record == want);
  }
  FUZZ_CHECK(reader.Next(record) == RecordReader::Read::kEnd);
  FUZZ_CHECK(reader.Next(record) == RecordReader::Read::kEnd);

  const TermTable terms = SplitTerms(f[0], EngineEncoding(encoding));
  // Terms matched on their bytes (no twin codes, no folded characters) by the model's own walk.
  bool plain_terms = true;
  for (std::size_t i = 0; i < terms.terms.size(); ++i) {
    plain_terms = plain_terms && terms.twins[i].empty() && !terms.folded[i];
  }
  ScanOutcome model{{}, ScanEnd::kEndOfFile};
  for (const std::string& r : expected) {
    const std::string_view text = RecordText(r);
    FUZZ_CHECK(text == std::string_view(r).substr(0, r.find('\0')));
    const bool matches = MatchesAllTerms(text, terms);
    if (plain_terms) {
      bool all = true;
      for (const std::string& term : terms.Active()) all = all && ModelHolds(encoding, text, term);
      FUZZ_CHECK(matches == all);
    }
    if (!matches) continue;
    model.texts.emplace_back(text);
    if (model.texts.size() == stop_after) {
      model.end = ScanEnd::kStopped;
      break;
    }
  }

  ScanOutcome plain{};
  plain.end =
      ScanMatchingRecords(memory.Rewound(), terms, Collector(plain, stop_after), {.plain = true});
  FUZZ_CHECK(plain == model);

  // Small reads put every CR LF, Ctrl+Z and 2,998-byte cut across a read boundary.
  const std::size_t read_size =
      window_byte < 200 ? 1 + window_byte % 40 : 2998 + window_byte % 8 - 4;
  ScanOutcome fast{};
  fast.end = ScanMatchingRecords(memory.Rewound(), terms, Collector(fast, stop_after),
                                 {.read_bytes = read_size});
  FUZZ_CHECK(fast == model);
  // In two halves at once, the second holding all it finds or stopping early.
  for (const std::size_t held : {kHeldMatchBytes, std::size_t{16}}) {
    ScanOutcome halves{};
    halves.end = ScanMatchingRecords(
        memory.Rewound(), terms, Collector(halves, stop_after),
        {.read_bytes = read_size, .split_min_bytes = 1, .held_match_bytes = held});
    FUZZ_CHECK(halves == model);
  }
  return 0;
}
