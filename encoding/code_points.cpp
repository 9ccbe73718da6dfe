#include "encoding/code_points.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <mutex>
#include <optional>

#include "encoding/iconv_converter.h"

namespace tolvane {
namespace {

constexpr std::size_t kUtf32Bytes = 4;
// Every value of two bytes.
constexpr std::size_t kTwoByteCodes = 1 << 16;

// `code` alone: nothing unless it is exactly one character.
std::optional<char32_t> DecodeOne(iconv_t cd, const std::string& code) {
  std::string in = code;
  unsigned char out[2 * kUtf32Bytes];
  char* src = in.data();
  std::size_t src_left = in.size();
  char* dst = reinterpret_cast<char*>(out);
  std::size_t dst_left = sizeof out;
  const bool failed = iconv(cd, &src, &src_left, &dst, &dst_left) == static_cast<std::size_t>(-1);
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  if (failed || src_left != 0 || sizeof out - dst_left != kUtf32Bytes) return std::nullopt;
  return char32_t{out[0]} | char32_t{out[1]} << 8 | char32_t{out[2]} << 16 | char32_t{out[3]} << 24;
}

// Each of `codes` (all of one length) decoded by iconv from `from`, a stretch of valid codes per
// call: nothing for a code that is no character of the encoding.
std::vector<std::optional<char32_t>> DecodeEach(const char* from,
                                                const std::vector<std::string>& codes) {
  std::vector<std::optional<char32_t>> decoded(codes.size());
  if (codes.empty()) return decoded;
  const std::size_t width = codes.front().size();
  iconv_t cd = iconv_open("UTF-32LE", from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return decoded;
  std::string in;
  for (const std::string& code : codes) in += code;
  std::vector<unsigned char> out(codes.size() * kUtf32Bytes);
  std::size_t next = 0;
  while (next < codes.size()) {
    char* src = in.data() + next * width;
    std::size_t src_left = in.size() - next * width;
    char* dst = reinterpret_cast<char*>(out.data());
    std::size_t dst_left = out.size();
    const bool stopped =
        iconv(cd, &src, &src_left, &dst, &dst_left) == static_cast<std::size_t>(-1);
    const int why = stopped ? errno : 0;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    const std::size_t consumed = in.size() - next * width - src_left;
    const std::size_t produced = out.size() - dst_left;
    // One character per code, or the stretch is not to be trusted: a code iconv refused may have
    // been taken with the next as one (Shift-JIS's 0x80 before the lead byte 0x81). The code is
    // then decoded alone.
    if (consumed % width != 0 || produced != consumed / width * kUtf32Bytes) {
      decoded[next] = DecodeOne(cd, codes[next]);
      ++next;
      continue;
    }
    for (std::size_t k = 0; k < consumed / width; ++k) {
      const unsigned char* c = out.data() + k * kUtf32Bytes;
      decoded[next + k] =
          char32_t{c[0]} | char32_t{c[1]} << 8 | char32_t{c[2]} << 16 | char32_t{c[3]} << 24;
    }
    next += consumed / width;
    if (stopped) {
      if (why != EILSEQ && why != EINVAL) break;
      ++next;  // no character of the encoding
    }
  }
  iconv_close(cd);
  return decoded;
}

std::uint32_t Key(std::string_view bytes) {
  std::uint32_t key = 0;
  for (const char b : bytes) key = key << 8 | static_cast<unsigned char>(b);
  return key;
}

// The codes of a range of leads and trails, `prefix` before each.
std::vector<std::string> Codes(std::string_view prefix, unsigned lead_min, unsigned lead_max,
                               unsigned trail_min, unsigned trail_max) {
  std::vector<std::string> codes;
  for (unsigned lead = lead_min; lead <= lead_max; ++lead) {
    for (unsigned trail = trail_min; trail <= trail_max; ++trail) {
      if (trail_max == 0) {
        codes.push_back(std::string(prefix) + static_cast<char>(lead));
      } else {
        codes.push_back(std::string(prefix) + static_cast<char>(lead) + static_cast<char>(trail));
      }
      if (trail_max == 0) break;
    }
  }
  return codes;
}

}  // namespace

const CodePointTable& CodePointTable::Get(TextEncoding encoding) {
  static std::once_flag once[3];
  static const CodePointTable* tables[3] = {};
  const auto index = static_cast<std::size_t>(encoding);
  // Lives as long as the process.
  std::call_once(once[index], [&] { tables[index] = new CodePointTable(encoding); });
  return *tables[index];
}

void CodePointTable::Add(std::string bytes, char32_t c) {
  std::vector<char32_t>& codes = bytes.size() == 3 ? three_bytes_ : one_or_two_bytes_;
  if (codes.empty()) codes.assign(kTwoByteCodes, kReplacementCodePoint);
  codes[Key(bytes) % kTwoByteCodes] = c;
  spellings_.emplace_back(c, Key(bytes));
}

CodePointTable::CodePointTable(TextEncoding encoding) : encoding_(encoding) {
  std::vector<std::vector<std::string>> code_sets;
  switch (encoding) {
    case TextEncoding::kUtf8:
      return;
    case TextEncoding::kShiftJis:
      code_sets.push_back(Codes("", 0x00, 0xff, 0, 0));
      code_sets.push_back(Codes("", 0x81, 0x9f, 0x40, 0xfc));
      code_sets.push_back(Codes("", 0xe0, 0xfc, 0x40, 0xfc));
      break;
    case TextEncoding::kEucJp:
      code_sets.push_back(Codes("", 0x00, 0x7f, 0, 0));
      code_sets.push_back(Codes("", 0xa1, 0xfe, 0xa1, 0xfe));
      code_sets.push_back(Codes("\x8e", 0xa1, 0xdf, 0, 0));
      code_sets.push_back(Codes("\x8f", 0xa1, 0xfe, 0xa1, 0xfe));
      break;
  }
  for (const std::vector<std::string>& codes : code_sets) {
    const std::vector<std::optional<char32_t>> decoded = DecodeEach(IconvName(encoding), codes);
    for (std::size_t k = 0; k < codes.size(); ++k) {
      // A code that is a character of its own; SJIS's single bytes that begin double-byte codes
      // decode to nothing alone.
      if (decoded[k] && NextCharEnd(encoding, codes[k], 0) == codes[k].size())
        Add(codes[k], *decoded[k]);
    }
  }
  std::sort(spellings_.begin(), spellings_.end());
}

char32_t CodePointTable::Decode(std::string_view text, std::size_t pos, std::size_t& end) const {
  end = NextCharEnd(encoding_, text, pos);
  if (encoding_ == TextEncoding::kUtf8) {
    std::string_view one = text.substr(pos, end - pos);
    char32_t c = kReplacementCodePoint;
    return DecodeUtf8(one, c) ? c : kReplacementCodePoint;
  }
  const std::string_view code = text.substr(pos, end - pos);
  const std::vector<char32_t>& codes = code.size() == 3 ? three_bytes_ : one_or_two_bytes_;
  if (codes.empty() || code.size() > 3) return kReplacementCodePoint;
  return codes[Key(code) % kTwoByteCodes];
}

std::vector<std::string> CodePointTable::Spellings(char32_t c) const {
  if (encoding_ == TextEncoding::kUtf8) {
    if (c > 0x10ffff || (c >= 0xd800 && c <= 0xdfff)) return {};
    return {Utf8Of(c)};
  }
  std::vector<std::string> spellings;
  for (auto at = std::lower_bound(spellings_.begin(), spellings_.end(),
                                  std::pair<char32_t, std::uint32_t>(c, 0));
       at != spellings_.end() && at->first == c; ++at) {
    // The code's bytes from its key: one, two or three of them, none of the longer codes
    // starting with a zero byte.
    std::string bytes;
    for (int shift = at->second > 0xffff ? 16 : at->second > 0xff ? 8 : 0; shift >= 0; shift -= 8) {
      bytes += static_cast<char>(at->second >> shift & 0xff);
    }
    spellings.push_back(std::move(bytes));
  }
  return spellings;
}

}  // namespace tolvane
