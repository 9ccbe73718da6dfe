#pragma once
// glibc's iconv, owned and retried, and the few UTF-8 steps the conversions share. For the
// encoding library's own files.
#include <iconv.h>

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tolvane {

inline constexpr std::string_view kReplacementCharacter = "\xef\xbf\xbd";  // U+FFFD

class IconvConverter {
 public:
  IconvConverter(const char* to, const char* from);
  ~IconvConverter();
  IconvConverter(const IconvConverter&) = delete;
  IconvConverter& operator=(const IconvConverter&) = delete;
  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

  // Converts as much as it can into `out`. Returns 0, or the errno that stopped it (EILSEQ,
  // EINVAL); `in` then points at the bytes that did not convert.
  int Convert(std::string_view& in, std::string& out);

 private:
  iconv_t cd_;
  std::vector<char> chunk_;
};

// Converts `in` with every byte that starts no character shown as U+FFFD. Stops early only at a
// character that the end of `in` cuts off, which it leaves in `in`.
void ConvertReplacing(IconvConverter& converter, std::string_view& in, std::string& out);

void AppendUtf8(std::string& out, char32_t c);
// Decodes one UTF-8 character from the front of `in`; false on malformed input.
bool DecodeUtf8(std::string_view& in, char32_t& c);

}  // namespace tolvane
