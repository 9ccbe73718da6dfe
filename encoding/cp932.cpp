#include "encoding/cp932.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <vector>

namespace tolvane {

namespace {

constexpr std::string_view kReplacementCharacter = "\xef\xbf\xbd";  // U+FFFD
// CP932's longest character: a lead byte and a trail byte.
constexpr std::size_t kLongestCharacterBytes = 2;
// Output room per iconv call. glibc's iconv costs much per call: with 64 KiB a large results file
// converts three times as fast as with 4 KiB.
constexpr std::size_t kConvertChunkBytes = std::size_t{64} << 10;

class IconvConverter {
 public:
  IconvConverter(const char* to, const char* from) : cd_(iconv_open(to, from)), chunk_(kConvertChunkBytes) {}
  ~IconvConverter() {
    if (ok()) iconv_close(cd_);
  }
  IconvConverter(const IconvConverter&) = delete;
  IconvConverter& operator=(const IconvConverter&) = delete;
  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

  // Converts as much as it can into `out`. Returns 0, or the errno that stopped it (EILSEQ,
  // EINVAL); `in` then points at the bytes that did not convert.
  int Convert(std::string_view& in, std::string& out) {
    while (!in.empty()) {
      char* src = const_cast<char*>(in.data());
      std::size_t src_left = in.size();
      char* dst = chunk_.data();
      std::size_t dst_left = chunk_.size();
      const std::size_t rc = iconv(cd_, &src, &src_left, &dst, &dst_left);
      const int err = rc == static_cast<std::size_t>(-1) ? errno : 0;
      out.append(chunk_.data(), dst - chunk_.data());
      in.remove_prefix(in.size() - src_left);
      if (err != 0 && err != E2BIG) {
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        return err;
      }
    }
    return 0;
  }

 private:
  iconv_t cd_;
  std::vector<char> chunk_;
};

// Converts `in` with every byte that starts no character shown as U+FFFD. Stops early only at a
// character that the end of `in` cuts off, which it leaves in `in`.
void ConvertReplacing(IconvConverter& converter, std::string_view& in, std::string& out) {
  for (int err = converter.Convert(in, out); err != 0 && err != EINVAL; err = converter.Convert(in, out)) {
    out += kReplacementCharacter;
    in.remove_prefix(1);
  }
}

void AppendUtf8(std::string& out, char32_t c) {
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
}

// Decodes one UTF-8 character from the front of `in`; nothing on malformed input.
bool DecodeUtf8(std::string_view& in, char32_t& c) {
  const auto b0 = static_cast<unsigned char>(in[0]);
  std::size_t length;
  char32_t min;
  if (b0 < 0x80) {
    c = b0;
    in.remove_prefix(1);
    return true;
  } else if ((b0 & 0xe0) == 0xc0) {
    length = 2, c = b0 & 0x1f, min = 0x80;
  } else if ((b0 & 0xf0) == 0xe0) {
    length = 3, c = b0 & 0x0f, min = 0x800;
  } else if ((b0 & 0xf8) == 0xf0) {
    length = 4, c = b0 & 0x07, min = 0x10000;
  } else {
    return false;
  }
  if (in.size() < length) return false;
  for (std::size_t i = 1; i < length; ++i) {
    const auto b = static_cast<unsigned char>(in[i]);
    if ((b & 0xc0) != 0x80) return false;
    c = (c << 6) | (b & 0x3f);
  }
  if (c < min || c > 0x10ffff || (c >= 0xd800 && c <= 0xdfff)) return false;
  in.remove_prefix(length);
  return true;
}

}  // namespace

std::string Cp932ToUtf8(std::string_view sjis) {
  std::string out;
  out.reserve(sjis.size() * 3 / 2);
  Cp932ToUtf8Stream stream;
  stream.Convert(sjis, out);
  stream.Finish(out);
  return out;
}

class Cp932ToUtf8Stream::Converter : public IconvConverter {
 public:
  Converter() : IconvConverter("UTF-8", "CP932") {}
};

Cp932ToUtf8Stream::Cp932ToUtf8Stream() : converter_(std::make_unique<Converter>()) {}
Cp932ToUtf8Stream::~Cp932ToUtf8Stream() = default;

bool Cp932ToUtf8Stream::ok() const { return converter_->ok(); }

void Cp932ToUtf8Stream::Convert(std::string_view piece, std::string& out) {
  if (!ok()) return;
  // The held start of a character, joined with the first bytes of this piece; the bytes of the
  // piece that the join leaves unconverted are converted again with the rest of the piece.
  while (!held_.empty() && !piece.empty()) {
    const std::size_t taken = std::min(piece.size(), kLongestCharacterBytes);
    const std::string joined = held_ + std::string(piece.substr(0, taken));
    std::string_view rest = joined;
    ConvertReplacing(*converter_, rest, out);
    if (rest.size() > taken) {
      held_.assign(rest);  // still cut off: the piece was shorter than the character's end
      piece.remove_prefix(taken);
    } else {
      held_.clear();
      piece.remove_prefix(taken - rest.size());
    }
  }
  ConvertReplacing(*converter_, piece, out);
  held_.append(piece);
}

void Cp932ToUtf8Stream::Finish(std::string& out) {
  if (!ok()) return;
  std::string_view rest = held_;
  while (!rest.empty()) {
    ConvertReplacing(*converter_, rest, out);
    if (rest.empty()) break;
    out += kReplacementCharacter;
    rest.remove_prefix(1);
  }
  held_.clear();
}

Cp932Encoding Utf8ToCp932(std::string_view utf8) {
  Cp932Encoding result;
  // glibc's CP932 already takes the JIS forms that Unix input methods produce (the wave dash and
  // its kin) as CP932's own; only the UTF-8 itself and NUL need checking first.
  std::string normalised;
  normalised.reserve(utf8.size());
  while (!utf8.empty()) {
    char32_t c;
    if (!DecodeUtf8(utf8, c)) {
      result.malformed_utf8 = true;
      return result;
    }
    // A NUL would end the text early in every Shift-JIS buffer; it is no character of a query.
    if (c == 0) {
      result.unconvertible = c;
      return result;
    }
    AppendUtf8(normalised, c);
  }
  IconvConverter converter("CP932", "UTF-8");
  std::string_view in = normalised;
  if (!converter.ok() || converter.Convert(in, result.sjis) != 0) {
    char32_t c = 0xfffd;
    if (!in.empty()) DecodeUtf8(in, c);
    result.unconvertible = c;
    result.sjis.clear();
  }
  return result;
}

std::string DescribeCharacter(char32_t c) {
  char code[16];
  std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(c));
  std::string text = code;
  if (c >= 0x20 && c != 0x7f) {
    text += " \xe2\x80\x9c";  // “
    AppendUtf8(text, c);
    text += "\xe2\x80\x9d";
  }
  return text;
}

}  // namespace tolvane
