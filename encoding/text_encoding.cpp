#include "encoding/text_encoding.h"

#include <algorithm>
#include <array>
#include <utility>

#include "encoding/iconv_converter.h"
#include "encoding/sjis.h"

namespace tolvane {
namespace {

unsigned char Byte(std::string_view text, std::size_t at) {
  return static_cast<unsigned char>(text[at]);
}

bool IsUtf8Continuation(unsigned char b) { return (b & 0xc0) == 0x80; }

// A valid UTF-8 character's length from its first byte, with the ranges its second byte must lie
// in (which rule out overlong forms, surrogates and code points past U+10FFFF); 1 for a byte that
// starts none.
struct Utf8Lead {
  std::size_t length;
  unsigned char second_min;
  unsigned char second_max;
};
Utf8Lead Utf8LeadOf(unsigned char b) {
  if (b >= 0xc2 && b <= 0xdf) return {2, 0x80, 0xbf};
  if (b == 0xe0) return {3, 0xa0, 0xbf};
  if (b == 0xed) return {3, 0x80, 0x9f};
  if (b >= 0xe1 && b <= 0xef) return {3, 0x80, 0xbf};
  if (b == 0xf0) return {4, 0x90, 0xbf};
  if (b >= 0xf1 && b <= 0xf3) return {4, 0x80, 0xbf};
  if (b == 0xf4) return {4, 0x80, 0x8f};
  return {1, 0, 0};
}

std::size_t Utf8CharEnd(std::string_view text, std::size_t pos) {
  const Utf8Lead lead = Utf8LeadOf(Byte(text, pos));
  if (lead.length == 1 || pos + lead.length > text.size()) return pos + 1;
  const unsigned char second = Byte(text, pos + 1);
  if (second < lead.second_min || second > lead.second_max) return pos + 1;
  for (std::size_t k = 2; k < lead.length; ++k) {
    if (!IsUtf8Continuation(Byte(text, pos + k))) return pos + 1;
  }
  return pos + lead.length;
}

bool IsEucTrail(unsigned char b) { return b >= 0xa1 && b <= 0xfe; }

// Bytes that are never part of an EUC-JP character, neither lead nor trail, which glibc's EUC-JP
// would still read as C1 control characters (0x9B is a terminal's CSI).
bool IsEucStrayByte(unsigned char b) { return b >= 0x80 && b <= 0xa0 && b != 0x8e && b != 0x8f; }

// Converts all of `rest`, every byte that starts no character shown as U+FFFD.
void ConvertToEnd(IconvConverter& converter, std::string_view rest, std::string& out) {
  while (!rest.empty()) {
    ConvertReplacing(converter, rest, out);
    if (rest.empty()) break;
    out += kReplacementCharacter;
    rest.remove_prefix(1);
  }
}

// ConvertReplacing, with the stray bytes of EUC-JP shown as U+FFFD as the walk takes them: one
// cuts short any character before it. Leaves in `in` only a character that the end cuts off.
void ConvertShowingStrays(IconvConverter& converter, bool euc, std::string_view& in,
                          std::string& out) {
  while (euc) {
    std::size_t stray = 0;
    while (stray < in.size() && !IsEucStrayByte(Byte(in, stray))) ++stray;
    if (stray == in.size()) break;
    ConvertToEnd(converter, in.substr(0, stray), out);
    out += kReplacementCharacter;
    in.remove_prefix(stray + 1);
  }
  ConvertReplacing(converter, in, out);
}

std::size_t EucCharEnd(std::string_view text, std::size_t pos) {
  const unsigned char b = Byte(text, pos);
  const auto trail_at = [&](std::size_t at, unsigned char min, unsigned char max) {
    return at < text.size() && Byte(text, at) >= min && Byte(text, at) <= max;
  };
  if (b == 0x8e) return trail_at(pos + 1, 0xa1, 0xdf) ? pos + 2 : pos + 1;  // SS2: half-width kana
  if (b == 0x8f) {                                                          // SS3: JIS X 0212
    return trail_at(pos + 1, 0xa1, 0xfe) && trail_at(pos + 2, 0xa1, 0xfe) ? pos + 3 : pos + 1;
  }
  if (IsEucTrail(b)) return trail_at(pos + 1, 0xa1, 0xfe) ? pos + 2 : pos + 1;
  return pos + 1;
}

// EUC-JP: a byte below 0x80 is always a character of its own, so a boundary follows it; from
// there the walk decides.
bool EucIsCharBoundary(std::string_view text, std::size_t pos, std::size_t known) {
  std::size_t start = pos;
  while (start > known && Byte(text, start - 1) >= 0x80) --start;
  while (start < pos) start = EucCharEnd(text, start);
  return start == pos;
}

bool Utf8IsCharBoundary(std::string_view text, std::size_t pos, std::size_t known) {
  if (pos >= text.size() || !IsUtf8Continuation(Byte(text, pos))) return true;
  // A character holding pos starts at most three bytes before it, on a byte that is no
  // continuation; every such byte starts a character.
  const std::size_t lowest =
      std::max(known, pos >= kMaxCharBytes - 1 ? pos - (kMaxCharBytes - 1) : 0);
  for (std::size_t at = pos; at > lowest;) {
    --at;
    if (IsUtf8Continuation(Byte(text, at))) continue;
    return Utf8CharEnd(text, at) <= pos;
  }
  return true;  // continuation bytes that no character takes: each one a character of its own
}

// The JIS forms and CP932's forms of the six characters whose Unicode mapping differs between
// CP932 (glibc, Microsoft) and JIS X 0208 (EUC-JP, iconv's SHIFT_JIS).
constexpr std::array<std::pair<char32_t, char32_t>, 6> kCp932AndJisForms = {{
    {0xff5e, 0x301c},  // ～ 〜 wave dash
    {0x2225, 0x2016},  // ∥ ‖ parallel
    {0xff0d, 0x2212},  // － − minus
    {0xffe0, 0x00a2},  // ￠ ¢
    {0xffe1, 0x00a3},  // ￡ £
    {0xffe2, 0x00ac},  // ￢ ¬
}};

}  // namespace

const char* IconvName(TextEncoding encoding) {
  switch (encoding) {
    case TextEncoding::kUtf8:
      return "UTF-8";
    case TextEncoding::kEucJp:
      return "EUC-JP";
    case TextEncoding::kShiftJis:
      break;
  }
  return "CP932";
}

const char* DisplayName(TextEncoding encoding) {
  switch (encoding) {
    case TextEncoding::kUtf8:
      return "UTF-8";
    case TextEncoding::kEucJp:
      return "EUC-JP";
    case TextEncoding::kShiftJis:
      break;
  }
  return "Shift-JIS";
}

std::size_t NextCharEnd(TextEncoding encoding, std::string_view text, std::size_t pos) {
  switch (encoding) {
    case TextEncoding::kUtf8:
      return Utf8CharEnd(text, pos);
    case TextEncoding::kEucJp:
      return EucCharEnd(text, pos);
    case TextEncoding::kShiftJis:
      break;
  }
  return NextCharEnd(text, pos);
}

bool IsCharBoundary(TextEncoding encoding, std::string_view text, std::size_t pos,
                    std::size_t known) {
  switch (encoding) {
    case TextEncoding::kUtf8:
      return Utf8IsCharBoundary(text, pos, known);
    case TextEncoding::kEucJp:
      return EucIsCharBoundary(text, pos, known);
    case TextEncoding::kShiftJis:
      break;
  }
  return IsCharBoundary(text, pos, known);
}

std::optional<std::size_t> CharBoundaryFind(TextEncoding encoding, std::string_view text,
                                            std::string_view pattern) {
  if (pattern.empty()) return 0;
  // In UTF-8 every byte that is no continuation starts a character: a pattern that starts with
  // one is on a boundary wherever it stands.
  const bool self_synchronising =
      encoding == TextEncoding::kUtf8 && !IsUtf8Continuation(Byte(pattern, 0));
  // `known` is a boundary no later than the next hit, so the bytes looked back over never overlap
  // and the whole search stays linear.
  std::size_t known = 0;
  while (true) {
    const std::size_t hit = text.find(pattern, known);
    if (hit == std::string_view::npos) return std::nullopt;
    if (self_synchronising || IsCharBoundary(encoding, text, hit, known)) return hit;
    // The hit sat inside a character: the next boundary is that character's end.
    std::size_t walk = known;
    while (walk <= hit) walk = NextCharEnd(encoding, text, walk);
    known = walk;
  }
}

std::size_t LastBoundaryAtMost(TextEncoding encoding, std::string_view text, std::size_t limit) {
  if (IsCharBoundary(encoding, text, limit)) return limit;
  // Inside a character: it starts at most kMaxCharBytes - 1 bytes earlier, on a boundary.
  for (std::size_t back = 1; back < kMaxCharBytes && back <= limit; ++back) {
    const std::size_t at = limit - back;
    if (IsCharBoundary(encoding, text, at) && NextCharEnd(encoding, text, at) > limit) return at;
  }
  return limit;
}

bool IsLineEnd(TextEncoding encoding, std::string_view text, std::size_t lf, std::size_t known) {
  return encoding != TextEncoding::kShiftJis || IsCharBoundary(text, lf, known);
}

std::string ToUtf8(TextEncoding encoding, std::string_view text) {
  std::string out;
  out.reserve(text.size() * 3 / 2);
  ToUtf8Stream stream(encoding);
  stream.Convert(text, out);
  stream.Finish(out);
  return out;
}

ToUtf8Stream::ToUtf8Stream(TextEncoding encoding)
    : converter_(std::make_unique<IconvConverter>("UTF-8", IconvName(encoding))),
      longest_(encoding == TextEncoding::kShiftJis ? 2
               : encoding == TextEncoding::kEucJp  ? 3
                                                   : 4),
      euc_(encoding == TextEncoding::kEucJp) {}

ToUtf8Stream::~ToUtf8Stream() = default;

bool ToUtf8Stream::ok() const { return converter_->ok(); }

void ToUtf8Stream::Convert(std::string_view piece, std::string& out) {
  if (!ok()) return;
  // The held start of a character, joined with the first bytes of this piece; the bytes of the
  // piece that the join leaves unconverted are converted again with the rest of the piece.
  while (!held_.empty() && !piece.empty()) {
    const std::size_t taken = std::min(piece.size(), longest_);
    const std::string joined = held_ + std::string(piece.substr(0, taken));
    std::string_view rest = joined;
    ConvertShowingStrays(*converter_, euc_, rest, out);
    if (rest.size() > taken) {
      held_.assign(rest);  // still cut off: the piece was shorter than the character's end
      piece.remove_prefix(taken);
    } else {
      held_.clear();
      piece.remove_prefix(taken - rest.size());
    }
  }
  ConvertShowingStrays(*converter_, euc_, piece, out);
  held_.append(piece);
}

void ToUtf8Stream::Finish(std::string& out) {
  if (!ok()) return;
  ConvertToEnd(*converter_, held_, out);
  held_.clear();
}

Reencoded FromCp932(TextEncoding encoding, std::string_view sjis) {
  Reencoded result;
  if (encoding == TextEncoding::kShiftJis) {
    result.bytes = std::string(sjis);
    return result;
  }
  IconvConverter to_unicode("UTF-8", "CP932");
  std::string utf8;
  std::string_view in = sjis;
  if (!to_unicode.ok() || to_unicode.Convert(in, utf8) != 0) {
    result.unconvertible = 0xfffd;  // bytes that are no CP932: nothing they could be written as
    return result;
  }
  if (encoding == TextEncoding::kUtf8) {
    result.bytes = std::move(utf8);
    return result;
  }
  IconvConverter to_euc("EUC-JP", "UTF-8");
  std::string_view rest = utf8;
  while (!rest.empty()) {
    char32_t c;
    if (!DecodeUtf8(rest, c)) {
      result.unconvertible = 0xfffd;
      return result;
    }
    for (const auto& [cp932_form, jis_form] : kCp932AndJisForms) {
      if (c == cp932_form) c = jis_form;
    }
    const std::string one = Utf8Of(c);
    std::string_view one_in = one;
    if (!to_euc.ok() || to_euc.Convert(one_in, result.bytes) != 0) {
      result.unconvertible = c;
      result.bytes.clear();
      return result;
    }
  }
  return result;
}

std::optional<char32_t> Cp932FormOf(char32_t jis_form) {
  for (const auto& [cp932, jis] : kCp932AndJisForms) {
    if (jis_form == jis) return cp932;
  }
  return std::nullopt;
}

std::optional<char32_t> JisFormOf(char32_t cp932_form) {
  for (const auto& [cp932, jis] : kCp932AndJisForms) {
    if (cp932_form == cp932) return jis;
  }
  return std::nullopt;
}

std::string Utf8Of(char32_t c) {
  std::string out;
  AppendUtf8(out, c);
  return out;
}

}  // namespace tolvane
