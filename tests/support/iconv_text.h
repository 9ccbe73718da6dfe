#pragma once
// Text written in another encoding by glibc's iconv, as `iconv -f FROM -t TO` writes a file: for
// making the test files of other encodings, apart from the program's own conversions.
#include <iconv.h>

#include <cerrno>
#include <optional>
#include <string>
#include <string_view>

namespace tolvane::testing {

// `text` converted; nothing when a character cannot be converted, unless `skip_unconvertible`
// (iconv -c), which leaves such characters out and needs `text` in UTF-8.
inline std::optional<std::string> IconvText(const char* to, const char* from, std::string_view text,
                                            bool skip_unconvertible = false) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
  std::string out(text.size() * 4 + 16, '\0');
  char* src = const_cast<char*>(text.data());
  std::size_t src_left = text.size();
  char* dst = out.data();
  std::size_t dst_left = out.size();
  bool failed = false;
  while (src_left > 0 && !failed) {
    if (iconv(cd, &src, &src_left, &dst, &dst_left) != static_cast<std::size_t>(-1)) break;
    failed = errno != EILSEQ || !skip_unconvertible;
    if (failed) break;
    // The UTF-8 character that could not be converted, by its lead byte's length.
    const auto lead = static_cast<unsigned char>(*src);
    const std::size_t length = lead < 0xc0 ? 1 : lead < 0xe0 ? 2 : lead < 0xf0 ? 3 : 4;
    const std::size_t skipped = length < src_left ? length : src_left;
    src += skipped;
    src_left -= skipped;
  }
  iconv_close(cd);
  if (failed || src_left != 0) return std::nullopt;
  out.resize(out.size() - dst_left);
  return out;
}

}  // namespace tolvane::testing
