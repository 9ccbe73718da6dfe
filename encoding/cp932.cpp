#include "encoding/cp932.h"

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <vector>

#include "encoding/iconv_converter.h"
#include "encoding/text_encoding.h"

namespace tolvane {

std::string Cp932ToUtf8(std::string_view sjis) { return ToUtf8(TextEncoding::kShiftJis, sjis); }

namespace {

struct NfkcForm {
  char32_t character;
  const char* form;  // UTF-8
};
// Sorted by character.
constexpr NfkcForm kNfkcForms[] = {
#include "encoding/nfkc_table.inc"
};

// The NFKC form of a character CP932 lacks, when CP932 holds that form.
const char* NfkcFormOf(char32_t c) {
  const auto found =
      std::lower_bound(std::begin(kNfkcForms), std::end(kNfkcForms), c,
                       [](const NfkcForm& entry, char32_t key) { return entry.character < key; });
  return found != std::end(kNfkcForms) && found->character == c ? found->form : nullptr;
}

// One character in CP932, or its NFKC form where CP932 lacks it: false when neither converts.
bool AppendCp932(IconvConverter& converter, char32_t c, std::string& out) {
  std::string one;
  AppendUtf8(one, c);
  std::string_view in = one;
  std::string converted;
  if (converter.Convert(in, converted) == 0) {
    out += converted;
    return true;
  }
  const char* form = NfkcFormOf(c);
  if (form == nullptr) return false;
  std::string_view form_in = form;
  converted.clear();
  if (converter.Convert(form_in, converted) != 0) return false;
  out += converted;
  return true;
}

// UTF-8 to CP932, a character at a time; a character that converts in neither form is left out
// when `dropping`, else ends the conversion.
Cp932Encoding Convert(std::string_view utf8, bool dropping, bool* dropped) {
  Cp932Encoding result;
  std::vector<char32_t> characters;
  while (!utf8.empty()) {
    char32_t c;
    if (!DecodeUtf8(utf8, c)) {
      // Text the user did not type loses only the byte that starts no character, not the rest.
      if (dropping) {
        if (dropped) *dropped = true;
        utf8.remove_prefix(1);
        continue;
      }
      result.malformed_utf8 = true;
      return result;
    }
    // A NUL would end the text early in every Shift-JIS buffer; it is no character of a query.
    if (c == 0 && !dropping) {
      result.unconvertible = c;
      return result;
    }
    characters.push_back(c);
  }
  // glibc's CP932 already takes the JIS forms that Unix input methods produce (the wave dash and
  // its kin) as CP932's own.
  IconvConverter converter("CP932", "UTF-8");
  if (!converter.ok()) {
    result.unconvertible = characters.empty() ? char32_t{0xfffd} : characters.front();
    return result;
  }
  for (const char32_t c : characters) {
    if (c != 0 && AppendCp932(converter, c, result.sjis)) continue;
    if (dropping) {
      if (dropped) *dropped = true;
      continue;
    }
    result.unconvertible = c;
    result.sjis.clear();
    return result;
  }
  return result;
}

}  // namespace

Cp932Encoding Utf8ToCp932(std::string_view utf8) { return Convert(utf8, false, nullptr); }

Cp932Encoding Utf8ToCp932Dropping(std::string_view utf8, bool& dropped) {
  return Convert(utf8, true, &dropped);
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
