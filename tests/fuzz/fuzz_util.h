#pragma once
// Shared by the fuzz targets: cutting one input into fields, a checked condition that stops the
// fuzzer, a scratch folder per process, a records file in memory, naive models of the encodings'
// character boundaries, and Shift-JIS text written in another encoding.
#include <iconv.h>
#include <stdlib.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#define FUZZ_CHECK(condition)                                                            \
  do {                                                                                   \
    if (!(condition)) {                                                                  \
      std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                      \
    }                                                                                    \
  } while (false)

namespace tolvane::fuzz {

// Fields are separated by 0xFF, a byte that no Shift-JIS character uses. The last field takes the
// rest of the input, 0xFF bytes included; missing fields are empty.
inline std::vector<std::string> Fields(std::string_view input, std::size_t count) {
  std::vector<std::string> fields;
  while (fields.size() + 1 < count) {
    const std::size_t cut = input.find('\xff');
    if (cut == std::string_view::npos) break;
    fields.emplace_back(input.substr(0, cut));
    input.remove_prefix(cut + 1);
  }
  fields.emplace_back(input);
  fields.resize(count);
  return fields;
}

// Takes the first byte off `input` as a parameter (0 when the input is empty).
inline unsigned char TakeByte(std::string_view& input) {
  if (input.empty()) return 0;
  const auto byte = static_cast<unsigned char>(input.front());
  input.remove_prefix(1);
  return byte;
}

inline std::string_view AsText(const uint8_t* data, size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

// One folder per fuzzing process, removed when the process ends normally.
inline const std::string& ScratchFolder() {
  static const std::string path = [] {
    std::string pattern = (std::filesystem::temp_directory_path() / "tolvane-fuzz-XXXXXX").string();
    FUZZ_CHECK(::mkdtemp(pattern.data()) != nullptr);
    static std::string remove_at_exit;
    remove_at_exit = pattern;
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(remove_at_exit, ignored);
    });
    return pattern;
  }();
  return path;
}

inline void WriteWholeFile(const std::string& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  FUZZ_CHECK(out.good());
}

inline std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// An in-memory file, read through the same system calls as a file on disk.
class MemoryFile {
 public:
  explicit MemoryFile(std::string_view bytes) : fd_(::memfd_create("tolvaneken", MFD_CLOEXEC)) {
    FUZZ_CHECK(fd_ >= 0);
    FUZZ_CHECK(::write(fd_, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size()));
  }
  ~MemoryFile() { ::close(fd_); }
  int Rewound() const {
    FUZZ_CHECK(::lseek(fd_, 0, SEEK_SET) == 0);
    return fd_;
  }

 private:
  int fd_;
};

// The model's own lead-byte ranges of code page 932, written out independently of the engine.
inline bool ModelLeadByte(char c) {
  const auto b = static_cast<unsigned char>(c);
  return (b >= 0x81 && b <= 0x9f) || (b >= 0xe0 && b <= 0xfc);
}

// is_boundary[p] for p in [0, size]: reached by walking one character at a time from `from`.
inline std::vector<bool> ModelBoundaries(std::string_view text, std::size_t from = 0) {
  std::vector<bool> is_boundary(text.size() + 1, false);
  for (std::size_t p = from; p <= text.size(); p += ModelLeadByte(text[p]) ? 2 : 1) {
    is_boundary[p] = true;
    if (p == text.size()) break;
  }
  return is_boundary;
}

// First occurrence of `pattern` at or after `from` that starts on a boundary walked from `from`;
// npos when there is none. Tries every position.
inline std::size_t ModelFind(std::string_view text, std::string_view pattern,
                             std::size_t from = 0) {
  const std::vector<bool> is_boundary = ModelBoundaries(text, from);
  for (std::size_t p = from; p + pattern.size() <= text.size(); ++p) {
    if (is_boundary[p] && text.compare(p, pattern.size(), pattern) == 0) return p;
  }
  return std::string_view::npos;
}

inline std::string ModelReplaceAll(std::string text, std::string_view from, std::string_view to) {
  std::size_t p = 0;
  while (true) {
    const std::size_t hit = ModelFind(text, from, p);
    if (hit == std::string_view::npos) return text;
    text = text.substr(0, hit) + std::string(to) + text.substr(hit + from.size());
    p = hit + to.size();
  }
}

// The encoding an input's selector byte chooses: 0 Shift-JIS, 1 UTF-8, 2 EUC-JP.
enum class ModelEncoding { kShiftJis, kUtf8, kEucJp };
constexpr std::size_t kModelEncodings = 3;

// Where the character that starts at `p` ends, by the encodings' definitions written out here: a
// byte that starts no valid character is one of its own. UTF-8 takes no overlong form, surrogate
// or code point past U+10FFFF; EUC-JP takes JIS X 0208 pairs, SS2 half-width kana, SS3 JIS X 0212.
inline std::size_t ModelCharEnd(ModelEncoding encoding, std::string_view text, std::size_t p) {
  const auto at = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  const auto in = [&](std::size_t k, unsigned lo, unsigned hi) {
    return k < text.size() && at(k) >= lo && at(k) <= hi;
  };
  const unsigned b = at(p);
  if (encoding == ModelEncoding::kShiftJis)
    return ModelLeadByte(text[p]) && p + 1 < text.size() ? p + 2 : p + 1;
  if (encoding == ModelEncoding::kEucJp) {
    if (b == 0x8e) return in(p + 1, 0xa1, 0xdf) ? p + 2 : p + 1;
    if (b == 0x8f) return in(p + 1, 0xa1, 0xfe) && in(p + 2, 0xa1, 0xfe) ? p + 3 : p + 1;
    if (b >= 0xa1 && b <= 0xfe) return in(p + 1, 0xa1, 0xfe) ? p + 2 : p + 1;
    return p + 1;
  }
  std::size_t length = 1;
  unsigned lo = 0x80, hi = 0xbf;
  if (b >= 0xc2 && b <= 0xdf) length = 2;
  if (b >= 0xe0 && b <= 0xef) length = 3;
  if (b >= 0xf0 && b <= 0xf4) length = 4;
  if (b == 0xe0) lo = 0xa0;
  if (b == 0xed) hi = 0x9f;
  if (b == 0xf0) lo = 0x90;
  if (b == 0xf4) hi = 0x8f;
  if (length == 1 || !in(p + 1, lo, hi)) return p + 1;
  for (std::size_t k = 2; k < length; ++k) {
    if (!in(p + k, 0x80, 0xbf)) return p + 1;
  }
  return p + length;
}

// Shift-JIS text in `encoding`, a character at a time by glibc's iconv; a character that does not
// convert keeps its own bytes, as a file with some lines in another encoding does.
inline std::string ModelReencoded(ModelEncoding encoding, std::string_view sjis) {
  if (encoding == ModelEncoding::kShiftJis) return std::string(sjis);
  iconv_t cd = iconv_open(encoding == ModelEncoding::kUtf8 ? "UTF-8" : "EUC-JP", "CP932");
  FUZZ_CHECK(cd != reinterpret_cast<iconv_t>(-1));
  std::string out;
  for (std::size_t p = 0; p < sjis.size();) {
    const std::size_t end = ModelCharEnd(ModelEncoding::kShiftJis, sjis, p);
    char converted[16];
    char* src = const_cast<char*>(sjis.data() + p);
    std::size_t src_left = end - p;
    char* dst = converted;
    std::size_t dst_left = sizeof converted;
    if (iconv(cd, &src, &src_left, &dst, &dst_left) == static_cast<std::size_t>(-1) ||
        src_left != 0) {
      out.append(sjis.substr(p, end - p));
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
    } else {
      out.append(converted, dst - converted);
    }
    p = end;
  }
  iconv_close(cd);
  return out;
}

}  // namespace tolvane::fuzz
