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
// (iconv -c), which leaves such characters out.
inline std::optional<std::string> IconvText(const char* to, const char* from, std::string_view text,
                                            bool skip_unconvertible = false) {
  const std::string target = std::string(to) + (skip_unconvertible ? "//IGNORE" : "");
  iconv_t cd = iconv_open(target.c_str(), from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
  std::string out(text.size() * 4 + 16, '\0');
  char* src = const_cast<char*>(text.data());
  std::size_t src_left = text.size();
  char* dst = out.data();
  std::size_t dst_left = out.size();
  const std::size_t rc = iconv(cd, &src, &src_left, &dst, &dst_left);
  const int error = rc == static_cast<std::size_t>(-1) ? errno : 0;
  iconv_close(cd);
  // With //IGNORE glibc converts everything it can and then reports EILSEQ once.
  if (src_left != 0 || (error != 0 && !(skip_unconvertible && error == EILSEQ))) return std::nullopt;
  out.resize(out.size() - dst_left);
  return out;
}

}  // namespace tolvane::testing
