// UTF-8 and EUC-JP records files searched on every scan path, against a reference of the test's
// own: the file is built a character at a time (each written by iconv, so its boundaries are
// known here and not taken from the walk under test), cut into records by the text-mode rules on
// those characters, and searched on decoded characters.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "encoding/text_encoding.h"
#include "iconv_text.h"
#include "scan_paths.h"
#include "session/run.h"
#include "test_util.h"
#include "texts/texts.h"

namespace tolvane {
namespace {

// The limits the reference cuts and shows by.
constexpr std::size_t kPieceBytes = 2998;
constexpr std::size_t kShownRecordsAtMost = 500;
constexpr std::size_t kShownStopBytes = 74500;
// No code point: a byte that starts no character of the encoding.
constexpr char32_t kInvalid = 0xffffffff;

struct Char {
  std::string bytes;
  char32_t code;
};

// Each of the six characters with two Unicode forms, folded to CP932's form.
char32_t Folded(char32_t c) {
  switch (c) {
    case 0x301c:
      return 0xff5e;
    case 0x2016:
      return 0x2225;
    case 0x2212:
      return 0xff0d;
    case 0x00a2:
      return 0xffe0;
    case 0x00a3:
      return 0xffe1;
    case 0x00ac:
      return 0xffe2;
    default:
      return c;
  }
}
char32_t JisForm(char32_t c) {
  for (const char32_t jis : {0x301c, 0x2016, 0x2212, 0x00a2, 0x00a3, 0x00ac}) {
    if (Folded(jis) == c) return jis;
  }
  return c;
}

std::string Utf8(char32_t c) {
  std::string out;
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xc0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3f));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xe0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3f));
    out += static_cast<char>(0x80 | (c & 0x3f));
  } else {
    out += static_cast<char>(0xf0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3f));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3f));
    out += static_cast<char>(0x80 | (c & 0x3f));
  }
  return out;
}

const char* IconvNameOf(TextEncoding encoding) {
  return encoding == TextEncoding::kUtf8 ? "UTF-8" : "EUC-JP";
}

// A character of the file, written by iconv; nothing when the encoding lacks it.
std::optional<Char> Encoded(TextEncoding encoding, char32_t c) {
  const std::optional<std::string> bytes =
      testing::IconvText(IconvNameOf(encoding), "UTF-8", Utf8(c));
  if (!bytes) return std::nullopt;
  return Char{*bytes, c};
}

// What the files are made of. Text characters: kanji (亜唖 among them, whose EUC-JP bytes hold ＾
// across them), kana, half-width kana, ASCII, a JIS X 0212 kanji (仡, SS3 in EUC-JP), both forms
// of the six characters where the encoding has them, characters of two and four UTF-8 bytes, and
// characters Shift-JIS lacks: 鷗 and 𠮷 (four bytes), Korean, a combining acute accent.
const std::u32string kTextCharacters =
    U"近世山田研究亜唖＾あいうアｱｲﾖﾐab19 仡～〜∥‖－−￠¢￡£￢¬é😀鷗𠮷한e\u0301";
// Long runs are of characters of several bytes, so that pieces end next to and inside them.
const std::u32string kRunCharacters = U"近世亜唖あｱ仡〜😀é𠮷\u0301";
// Bytes that start no character, each in a place where nothing before or after can take it.
const std::vector<std::vector<Char>> kUtf8Junk = {{{"\x80", kInvalid}},
                                                  {{"\xff", kInvalid}},
                                                  {{"\xe3", kInvalid}, {"a", 'a'}},
                                                  {{"\xbf", kInvalid}, {"\xbf", kInvalid}}};
const std::vector<std::vector<Char>> kEucJunk = {{{"\x80", kInvalid}},
                                                 {{"\xff", kInvalid}},
                                                 {{"\xb0", kInvalid}, {"a", 'a'}},
                                                 {{"\x8e", kInvalid}, {"b", 'b'}},
                                                 {{"\x8f", kInvalid}, {"c", 'c'}}};

class FileMaker {
 public:
  FileMaker(TextEncoding encoding, std::mt19937& rng) : encoding_(encoding), rng_(rng) {
    for (const char32_t c : kTextCharacters) {
      if (std::optional<Char> one = Encoded(encoding, c)) text_.push_back(std::move(*one));
    }
    for (const char32_t c : kRunCharacters) {
      if (std::optional<Char> one = Encoded(encoding, c)) run_.push_back(std::move(*one));
    }
  }

  // The file's characters, about `bytes` long; each file starts with kanji, so that its encoding
  // can be told from it.
  std::vector<Char> Make(std::size_t bytes) {
    std::vector<Char> chars;
    std::size_t size = 0;
    const auto add = [&](Char c) {
      size += c.bytes.size();
      chars.push_back(std::move(c));
    };
    for (const char32_t c : std::u32string_view(U"近世山田研究")) add(*Encoded(encoding_, c));
    const bool ends_early = rng_() % 4 == 0;  // a Ctrl+Z somewhere in it
    while (size < bytes) {
      const unsigned roll = rng_() % 1000;
      if (roll < 6) {
        for (std::size_t n = 700 + rng_() % 1800; n > 0; --n) add(run_[rng_() % run_.size()]);
      } else if (roll < 80) {
        add({"\r", '\r'});
        add({"\n", '\n'});
      } else if (roll < 110) {
        add({"\n", '\n'});
      } else if (roll < 118) {
        add({"\r", '\r'});
      } else if (roll < 122) {
        add({std::string(1, '\0'), 0});
      } else if (roll < 125) {
        const auto& junk = encoding_ == TextEncoding::kUtf8 ? kUtf8Junk : kEucJunk;
        for (const Char& c : junk[rng_() % junk.size()]) add(c);
      } else {
        add(text_[rng_() % text_.size()]);
      }
    }
    if (ends_early)
      chars.insert(chars.begin() + 1 + rng_() % (chars.size() - 1), Char{"\x1a", 0x1a});
    return chars;
  }

 private:
  TextEncoding encoding_;
  std::mt19937& rng_;
  std::vector<Char> text_;
  std::vector<Char> run_;
};

// The records the text-mode rules make of the file's characters: nothing from a Ctrl+Z on, CR LF
// read as LF, each record up to its LF, but at most 2,998 bytes, a piece ending only between
// characters.
std::vector<std::vector<Char>> Records(std::vector<Char> chars) {
  for (std::size_t i = 0; i < chars.size(); ++i) {
    if (chars[i].bytes == "\x1a") chars.resize(i);
  }
  std::vector<Char> text;
  for (std::size_t i = 0; i < chars.size(); ++i) {
    if (chars[i].bytes == "\r" && i + 1 < chars.size() && chars[i + 1].bytes == "\n") continue;
    text.push_back(chars[i]);
  }
  std::vector<std::vector<Char>> records;
  std::vector<Char> record;
  std::size_t bytes = 0;
  for (const Char& c : text) {
    if (bytes + c.bytes.size() > kPieceBytes) {
      records.push_back(std::move(record));
      record.clear();
      bytes = 0;
    }
    record.push_back(c);
    bytes += c.bytes.size();
    if (c.bytes == "\n") {
      records.push_back(std::move(record));
      record.clear();
      bytes = 0;
    }
  }
  if (!record.empty()) records.push_back(std::move(record));
  // Each record's text ends at its first NUL.
  for (std::vector<Char>& r : records) {
    for (std::size_t i = 0; i < r.size(); ++i) {
      if (r[i].bytes == std::string(1, '\0')) r.resize(i);
    }
  }
  return records;
}

bool Holds(const std::vector<Char>& record, const std::vector<char32_t>& term) {
  for (std::size_t at = 0; at + term.size() <= record.size(); ++at) {
    bool all = true;
    for (std::size_t k = 0; k < term.size() && all; ++k) {
      all = record[at + k].code != kInvalid && Folded(record[at + k].code) == Folded(term[k]);
    }
    if (all) return true;
  }
  return false;
}

struct Outcome {
  RunStatus status = RunStatus::kNoMatch;
  std::int64_t matches = 0;
  std::string results_file;
  std::string box;
  std::string box_utf8;  // the box as the window shows it
  bool operator==(const Outcome&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Outcome& o) {
  return out << "status " << static_cast<int>(o.status) << ", " << o.matches << " matches, results "
             << o.results_file.size() << " bytes, box " << o.box.size() << " bytes, shown as\n"
             << o.box_utf8;
}

std::string BytesOf(const std::vector<Char>& chars) {
  std::string bytes;
  for (const Char& c : chars) bytes += c.bytes;
  return bytes;
}

// What the search should give: the query's terms taken as the window takes them (full-width
// blanks as blanks, trailing blanks dropped, nothing after an empty term), found on characters.
Outcome Expected(TextEncoding encoding, const std::vector<Char>& chars, std::u32string_view query) {
  std::u32string text(query);
  for (char32_t& c : text) c = c == U'\u3000' ? U' ' : c;
  while (!text.empty() && text.back() == U' ') text.pop_back();
  std::vector<std::vector<char32_t>> terms(1);
  for (const char32_t c : text) {
    if (c == U' ') {
      terms.emplace_back();
    } else {
      terms.back().push_back(c);
    }
  }
  Outcome outcome;
  // Every term is written in the file's encoding, the JIS forms for EUC-JP.
  for (const std::vector<char32_t>& term : terms) {
    for (const char32_t c : term) {
      if (!Encoded(encoding, encoding == TextEncoding::kEucJp ? JisForm(c) : c)) {
        outcome.status = RunStatus::kUnconvertibleQuery;
        return outcome;
      }
    }
  }
  std::size_t active = 0;
  while (active < terms.size() && !terms[active].empty()) ++active;

  std::string shown;
  std::string shown_utf8;
  for (const std::vector<Char>& record : Records(chars)) {
    bool all = true;
    for (std::size_t t = 0; t < active && all; ++t) all = Holds(record, terms[t]);
    if (!all) continue;
    ++outcome.matches;
    std::string bytes = BytesOf(record);
    if (!bytes.empty() && bytes.back() == '\n') bytes.replace(bytes.size() - 1, 1, "\r\n");
    outcome.results_file += bytes;
    // The box takes no more once full; the count and the results file go on.
    if (static_cast<std::size_t>(outcome.matches) > kShownRecordsAtMost ||
        shown.size() > kShownStopBytes) {
      continue;
    }
    shown += bytes;
    for (const Char& c : record) {
      shown_utf8 += c.code == kInvalid ? "\xef\xbf\xbd" : c.code == '\n' ? "\r\n" : Utf8(c.code);
    }
  }
  if (outcome.matches > 0) {
    outcome.status = RunStatus::kMatched;
    outcome.box = shown + "\r\n";
    outcome.box_utf8 = shown_utf8 + "\r\n";
  }
  return outcome;
}

Outcome Search(const testing::ScratchDir& dir, const std::string& query, const ScanOptions& scan,
               TextEncoding& encoding) {
  RunOptions options;
  options.scan = scan;
  const SearchResult result = RunSearch(query, dir.path(), {}, options);
  // A query the file cannot hold names the encoding that lacks it.
  encoding = result.problem ? result.problem->encoding : result.encoding;
  Outcome outcome{result.status, result.matches, testing::ReadFile(dir / kResultsFileName),
                  result.shown.text, ToUtf8(result.encoding, result.shown.text)};
  if (result.status != RunStatus::kMatched) outcome.results_file.clear();
  return outcome;
}

const std::vector<std::u32string> kQueries = {
    U"近世",   U"亜",   U"＾",        U"亜唖",   U"唖＾",   U"ｱ",          U"ｱｲ",   U"a",
    U"ab",     U"19",   U"山田 近世", U"あい",   U"～",     U"〜",         U"∥",    U"－",
    U"￠",     U"￢ a", U"仡",        U"仡あ",   U" 近世",  U"近世  山田", U"a　b", U"①",
    U"近世 ①", U"é",    U"世",        U"研究～", U"\u3000", U"鷗",         U"𠮷",   U"𠮷 近世",
    U"😀é",     U"한",   U"e\u0301",   U"\u0301"};

struct Files {
  int count;
  std::size_t min_bytes;
  std::size_t max_bytes;
};

// Each of `files` searched for queries drawn from `queries`, on every path.
void CompareOverRandomFiles(TextEncoding encoding, std::uint32_t seed, Files files,
                            const std::vector<std::u32string>& queries, long min_total_matches) {
  std::mt19937 rng(seed);
  FileMaker maker(encoding, rng);
  testing::ScratchDir dir;
  long total_matches = 0;
  for (int file = 0; file < files.count; ++file) {
    const std::vector<Char> chars =
        maker.Make(files.min_bytes + rng() % (files.max_bytes - files.min_bytes));
    const bool bom = encoding == TextEncoding::kUtf8 && file % 3 == 0;
    testing::WriteFile(dir / kRecordsFileName,
                       (bom ? std::string(kUtf8ByteOrderMark) : "") + BytesOf(chars));
    for (int q = 0; q < 6; ++q) {
      const std::u32string& query = queries[rng() % queries.size()];
      std::string query_utf8;
      for (const char32_t c : query) query_utf8 += Utf8(c);
      const Outcome expected = Expected(encoding, chars, query);
      testing::ForEachScanWay(
          testing::AllScanWays(1 + rng() % 13), [&](const testing::ScanWay& way) {
            TextEncoding found = TextEncoding::kShiftJis;
            const Outcome got = Search(dir, query_utf8, way.scan, found);
            ASSERT_EQ(found, encoding) << "file " << file;
            ASSERT_EQ(got, expected)
                << DisplayName(encoding) << " file " << file << " query " << query_utf8;
          });
      if (::testing::Test::HasFatalFailure()) return;
      total_matches += expected.matches;
    }
  }
  EXPECT_GT(total_matches, min_total_matches);  // the files must keep giving matches to compare
}

constexpr Files kSmallFiles = {20, 200, 24000};
// Past the box's 74,500 bytes, with queries most records match.
constexpr Files kLargeFiles = {1, 90000, 160000};
const std::vector<std::u32string> kCommonQueries = {U" 近世", U"近", U"a", U"〜"};

TEST(FastScan, Utf8FilesMatchTheReferenceOnEveryPath) {
  CompareOverRandomFiles(TextEncoding::kUtf8, 18, kSmallFiles, kQueries, 500);
  CompareOverRandomFiles(TextEncoding::kUtf8, 180, kLargeFiles, kCommonQueries, 500);
}

TEST(FastScan, EucJpFilesMatchTheReferenceOnEveryPath) {
  CompareOverRandomFiles(TextEncoding::kEucJp, 1818, kSmallFiles, kQueries, 500);
  CompareOverRandomFiles(TextEncoding::kEucJp, 18180, kLargeFiles, kCommonQueries, 500);
}

}  // namespace
}  // namespace tolvane
