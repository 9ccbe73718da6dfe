#include "encoding/detect.h"

#include <algorithm>
#include <cstddef>

namespace tolvane {
namespace {

// A text with at least this share of NUL bytes is UTF-16 or UTF-32: Japanese text has none.
constexpr std::size_t kNulShareDivisor = 8;
// UTF-16 and UTF-32 text has at most four NUL bytes in a row (UTF-32 of an ASCII character next
// to U+3000); a longer run is no character's.
constexpr std::size_t kHoleNulRunBytes = 8;
// Malformed lines are part of many a Shift-JIS bibliography: a file is taken for one in no
// encoding only when at least this many of its sampled lines fit none, and more than fit any.
constexpr std::size_t kUnknownLinesAtLeast = 16;

unsigned char Byte(std::string_view text, std::size_t at) {
  return static_cast<unsigned char>(text[at]);
}

// Whether every character of `line` is valid in the encoding, by its walk: a byte that starts no
// character is the one step of a single byte that is not a valid character of its own.
bool ValidShiftJis(std::string_view line) {
  for (std::size_t at = 0; at < line.size();) {
    const unsigned char b = Byte(line, at);
    if (b < 0x80 || (b >= 0xa1 && b <= 0xdf)) {
      ++at;
    } else if ((b >= 0x81 && b <= 0x9f) || (b >= 0xe0 && b <= 0xfc)) {
      if (at + 1 >= line.size()) return false;
      const unsigned char t = Byte(line, at + 1);
      if (t < 0x40 || t == 0x7f || t > 0xfc) return false;
      at += 2;
    } else {
      return false;
    }
  }
  return true;
}

bool ValidWalk(TextEncoding encoding, std::string_view line) {
  for (std::size_t at = 0; at < line.size();) {
    const std::size_t end = NextCharEnd(encoding, line, at);
    if (end == at + 1 && Byte(line, at) >= 0x80) return false;
    at = end;
  }
  return true;
}

bool HasHighBytes(std::string_view line) {
  for (const char c : line) {
    if (static_cast<unsigned char>(c) >= 0x80) return true;
  }
  return false;
}

// The lines of a sample: the first and the last are skipped where the sample cuts them off.
template <class Visit>
void ForEachLine(std::string_view sample, bool whole_start, bool whole_end, Visit visit) {
  std::size_t at = 0;
  if (!whole_start) {
    const std::size_t lf = sample.find('\n');
    if (lf == std::string_view::npos) return;
    at = lf + 1;
  }
  while (at < sample.size()) {
    const std::size_t lf = sample.find('\n', at);
    if (lf == std::string_view::npos) {
      if (whole_end) visit(sample.substr(at));
      return;
    }
    visit(sample.substr(at, lf - at));
    at = lf + 1;
  }
}

// True when every byte past ASCII is one Shift-JIS takes for a half-width kana (A1-DF): such a
// line, valid EUC-JP as well when its kana pair up, is Shift-JIS as likely. EUC-JP text of any
// length holds bytes past DF (most kana, the second level of kanji), and its own half-width kana
// begin with 8E.
bool HighBytesAllHalfWidthKana(std::string_view line) {
  for (const char c : line) {
    const auto b = static_cast<unsigned char>(c);
    if (b >= 0x80 && (b < 0xa1 || b > 0xdf)) return false;
  }
  return true;
}

// Whether a code point belongs to text a bibliography plainly holds: Japanese (kana, kanji,
// full-width forms, CJK punctuation), Latin letters with their accents and combining marks,
// general punctuation, and Korean. Cyrillic, Greek, Armenian and the like are left out: they are
// what Shift-JIS half-width kana look like when read as UTF-8 (ﾐｽ, D0 BD, is н).
bool PlainCodePoint(char32_t c) {
  return (c >= 0xc0 && c <= 0x24f && c != 0xd7 && c != 0xf7) || (c >= 0x300 && c <= 0x36f) ||
         (c >= 0x1e00 && c <= 0x1eff) || (c >= 0x2010 && c <= 0x206f) ||
         (c >= 0x3000 && c <= 0x30ff) || (c >= 0x31f0 && c <= 0x31ff) ||
         (c >= 0x3400 && c <= 0x4dbf) || (c >= 0x4e00 && c <= 0x9fff) ||
         (c >= 0xac00 && c <= 0xd7af) || (c >= 0xf900 && c <= 0xfaff) ||
         (c >= 0xff00 && c <= 0xffef) || (c >= 0x20000 && c <= 0x3134f);
}

// True when every character of the valid UTF-8 `line` past ASCII is plain text.
bool PlainUtf8(std::string_view line) {
  for (std::size_t at = 0; at < line.size();) {
    const auto b = Byte(line, at);
    if (b < 0x80) {
      ++at;
      continue;
    }
    const std::size_t length = b < 0xe0 ? 2 : b < 0xf0 ? 3 : 4;
    char32_t c = b & (b < 0xe0 ? 0x1f : b < 0xf0 ? 0x0f : 0x07);
    for (std::size_t k = 1; k < length; ++k) c = (c << 6) | (Byte(line, at + k) & 0x3f);
    if (!PlainCodePoint(c)) return false;
    at += length;
  }
  return true;
}

constexpr bool IsAsciiLetter(unsigned char b) {
  return (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z');
}
constexpr bool IsHalfWidthKana(unsigned char b) { return b >= 0xa1 && b <= 0xdf; }

// True when the valid Shift-JIS `line` reads as Shift-JIS text plainly: not half-width kana
// mixed with two-byte characters, nor glued to a Latin letter ("Mﾃｼller"), which is what UTF-8
// text looks like when read as Shift-JIS.
bool PlainShiftJis(std::string_view line) {
  bool kana = false;
  bool two_byte = false;
  for (std::size_t at = 0; at < line.size();) {
    const unsigned char b = Byte(line, at);
    if (IsHalfWidthKana(b)) {
      kana = true;
      const bool letter_before = at > 0 && IsAsciiLetter(Byte(line, at - 1));
      const bool letter_after = at + 1 < line.size() && IsAsciiLetter(Byte(line, at + 1));
      if (letter_before || letter_after) return false;
      ++at;
    } else if (b >= 0x80) {
      two_byte = true;
      at += 2;
    } else {
      ++at;
    }
  }
  return !(kana && two_byte);
}

// True when the valid UTF-8 `line` holds a character of three or four bytes: kana, kanji, Korean.
// Shift-JIS text reads so only where a level-2 kanji's pair is followed by bytes that chain on
// into more such pairs, which real words almost never do.
bool HoldsWideUtf8(std::string_view line) {
  for (const char c : line) {
    if (static_cast<unsigned char>(c) >= 0xe0) return true;
  }
  return false;
}

// For a line valid both as Shift-JIS and as UTF-8: Shift-JIS, the program's own, unless the UTF-8
// reading is plain text and either the Shift-JIS reading is not or the UTF-8 reading holds kana,
// kanji or Korean (明治 saved in UTF-8 reads as 明治, ﾐｽ stays ﾐｽ).
bool Utf8Wins(std::string_view line) {
  return PlainUtf8(line) && (!PlainShiftJis(line) || HoldsWideUtf8(line));
}

struct LineCounts {
  bool both_valid_shift_jis = false;
  std::size_t utf8 = 0;             // valid UTF-8 with characters beyond ASCII
  std::size_t euc = 0;              // valid EUC-JP, not UTF-8
  std::size_t shift_jis = 0;        // valid Shift-JIS only
  std::size_t half_width_kana = 0;  // Shift-JIS half-width kana that also walk as EUC-JP
  std::size_t none = 0;             // valid in none of them
  std::size_t iso2022 = 0;          // 7-bit JIS: escape sequences that switch to kanji

  void Add(std::string_view line) {
    if (line.find("\x1b$") != std::string_view::npos) ++iso2022;
    if (!HasHighBytes(line)) return;
    if (ValidWalk(TextEncoding::kUtf8, line) &&
        (!ValidShiftJis(line) || (!both_valid_shift_jis && Utf8Wins(line)))) {
      ++utf8;
    } else if (ValidShiftJis(line) && ValidWalk(TextEncoding::kUtf8, line)) {
      ++shift_jis;
    } else if (ValidWalk(TextEncoding::kEucJp, line)) {
      if (HighBytesAllHalfWidthKana(line) && ValidShiftJis(line)) {
        ++half_width_kana;
      } else {
        ++euc;
      }
    } else if (ValidShiftJis(line)) {
      ++shift_jis;
    } else {
      ++none;
    }
  }
};

bool LooksLikeUtf16(std::string_view start) {
  if (start.starts_with("\xff\xfe") || start.starts_with("\xfe\xff")) return true;
  // Long runs of NUL bytes are a sparse file's holes or padding, not text of any encoding, and
  // are left out of both counts.
  std::size_t nul = 0;
  std::size_t counted = start.size();
  for (std::size_t at = 0; at < start.size();) {
    if (start[at] != '\0') {
      ++at;
      continue;
    }
    const std::size_t run_end = std::min(start.find_first_not_of('\0', at), start.size());
    const std::size_t run = run_end - at;
    if (run >= kHoleNulRunBytes) {
      counted -= run;
    } else {
      nul += run;
    }
    at = run_end;
  }
  return counted > 0 && nul * kNulShareDivisor >= counted;
}

}  // namespace

TextEncoding EncodingVerdict::Encoding() const {
  switch (kind) {
    case Kind::kUtf8:
      return TextEncoding::kUtf8;
    case Kind::kEucJp:
      return TextEncoding::kEucJp;
    default:
      return TextEncoding::kShiftJis;
  }
}

EncodingVerdict DetectEncoding(std::string_view start, std::span<const std::string_view> further,
                               bool further_ends_file, bool both_valid_shift_jis) {
  EncodingVerdict verdict;
  if (start.starts_with(kUtf8ByteOrderMark)) {
    verdict.kind = EncodingVerdict::Kind::kUtf8;
    verdict.bom = true;
    start.remove_prefix(kUtf8ByteOrderMark.size());
  } else if (LooksLikeUtf16(start)) {
    verdict.kind = EncodingVerdict::Kind::kUtf16;
    return verdict;
  }
  LineCounts counts;
  counts.both_valid_shift_jis = both_valid_shift_jis;
  const auto add = [&counts](std::string_view line) { counts.Add(line); };
  ForEachLine(start, true, further.empty(), add);
  for (std::size_t k = 0; k < further.size(); ++k) {
    ForEachLine(further[k], false, further_ends_file && k + 1 == further.size(), add);
  }

  if (!verdict.bom) {
    // The class most lines fall in; Shift-JIS before UTF-8 before EUC-JP when they tie, and for
    // text that is ASCII alone. Lines of half-width kana count for Shift-JIS, but are told as
    // lines of another encoding in no file.
    const std::size_t shift_jis = counts.shift_jis + counts.half_width_kana;
    const std::size_t most = std::max({shift_jis, counts.utf8, counts.euc});
    if ((counts.none > most && counts.none >= kUnknownLinesAtLeast) || counts.iso2022 > most) {
      verdict.kind = EncodingVerdict::Kind::kUnknown;
      return verdict;
    }
    if (most == 0 || shift_jis == most) {
      verdict.kind = EncodingVerdict::Kind::kShiftJis;
    } else if (counts.utf8 == most) {
      verdict.kind = EncodingVerdict::Kind::kUtf8;
    } else {
      verdict.kind = EncodingVerdict::Kind::kEucJp;
    }
  }
  // Lines surely in another encoding: UTF-8 is too strict to be met by chance in Japanese text of
  // another encoding, and Shift-JIS text almost never walks as EUC-JP; EUC-JP lines in a
  // Shift-JIS file mostly walk as Shift-JIS too, and are not told apart.
  switch (verdict.kind) {
    case EncodingVerdict::Kind::kUtf8:
      verdict.other_lines = counts.euc + counts.shift_jis + counts.none > 0;
      break;
    case EncodingVerdict::Kind::kEucJp:
      verdict.other_lines = counts.utf8 + counts.shift_jis > 0;
      break;
    default:
      verdict.other_lines = counts.utf8 > 0;
      break;
  }
  return verdict;
}

}  // namespace tolvane
