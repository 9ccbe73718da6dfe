#include "encoding/query_text.h"

#include "encoding/cp932.h"
#include "encoding/iconv_converter.h"

namespace tolvane {
namespace {

std::optional<std::string> ShiftJisOf(char32_t c) {
  Cp932Encoding sjis = Utf8ToCp932(Utf8Of(c));
  if (!sjis.ok()) return std::nullopt;
  return std::move(sjis.sjis);
}

// `c` written straight into `encoding`, for a character Shift-JIS lacks.
std::optional<std::string> DirectlyIn(TextEncoding encoding, char32_t c) {
  switch (encoding) {
    case TextEncoding::kShiftJis:
      return std::nullopt;
    case TextEncoding::kUtf8:
      return Utf8Of(c);
    case TextEncoding::kEucJp:
      break;
  }
  // EUC-JP files hold the JIS forms, as FromCp932 writes them.
  if (const std::optional<char32_t> jis = JisFormOf(c)) c = *jis;
  IconvConverter to_euc("EUC-JP", "UTF-8");
  const std::string one = Utf8Of(c);
  std::string_view in = one;
  std::string out;
  if (!to_euc.ok() || to_euc.Convert(in, out) != 0 || out.empty()) return std::nullopt;
  return out;
}

}  // namespace

std::optional<std::string> CharacterIn(TextEncoding encoding, char32_t c) {
  if (c == 0) return std::nullopt;  // no term holds a NUL: every C string would end there
  if (const std::optional<std::string> sjis = ShiftJisOf(c)) {
    Reencoded written = FromCp932(encoding, *sjis);
    if (!written.unconvertible) return std::move(written.bytes);
  }
  return DirectlyIn(encoding, c);
}

Reencoded FromUtf8(TextEncoding encoding, std::string_view utf8) {
  Reencoded result;
  while (!utf8.empty()) {
    char32_t c = 0;
    if (!DecodeUtf8(utf8, c)) {
      result.unconvertible = 0xfffd;
      result.bytes.clear();
      return result;
    }
    std::optional<std::string> written = CharacterIn(encoding, c);
    if (!written) {
      result.unconvertible = c;
      result.bytes.clear();
      return result;
    }
    result.bytes += *written;
  }
  return result;
}

std::size_t QueryLimitBytes(std::string_view utf8) {
  const Cp932Encoding whole = Utf8ToCp932(utf8);
  std::size_t bytes = 0;
  if (whole.ok()) {
    // Counted on the characters' own boundaries: a trail byte may equal a blank's only in ASCII.
    for (std::size_t at = 0; at < whole.sjis.size();) {
      const std::size_t end = NextCharEnd(TextEncoding::kShiftJis, whole.sjis, at);
      bytes += whole.sjis[at] == ' ' ? 2 : end - at;
      at = end;
    }
    return bytes;
  }
  while (!utf8.empty()) {
    char32_t c = 0;
    if (!DecodeUtf8(utf8, c)) {
      utf8.remove_prefix(1);
      ++bytes;
      continue;
    }
    const std::optional<std::string> sjis = c == ' ' ? std::nullopt : ShiftJisOf(c);
    bytes += c == ' ' ? 2 : sjis ? sjis->size() : kBytesPerCharacterBeyondShiftJis;
  }
  return bytes;
}

}  // namespace tolvane
