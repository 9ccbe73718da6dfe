#include "encoding/cp932_twins.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <mutex>
#include <string>
#include <utility>

#include "encoding/sjis.h"

namespace tolvane {

namespace {

constexpr unsigned kFirstTrailByte = 0x40;  // no double-byte code of CP932 has a lower trail byte
constexpr std::size_t kUtf32Bytes = 4;

struct CodeAndCharacter {
  DoubleByteCode code;
  char32_t character;
};

// iconv's handle, closed once.
class DecoderHandle {
 public:
  DecoderHandle() : cd_(iconv_open("UTF-32LE", "CP932")) {}
  ~DecoderHandle() {
    if (ok()) iconv_close(cd_);
  }
  DecoderHandle(const DecoderHandle&) = delete;
  DecoderHandle& operator=(const DecoderHandle&) = delete;
  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

  // Every double-byte code that decodes, with its character. One iconv call per stretch of valid
  // codes: this runs in every process that searches, so it is kept to a millisecond or so.
  // Empty when a stretch does not give exactly one character per code.
  std::vector<CodeAndCharacter> DecodeAll() {
    std::vector<DoubleByteCode> codes;
    std::string in;
    for (unsigned lead = 0; lead <= 0xff; ++lead) {
      if (!IsLeadByte(static_cast<unsigned char>(lead))) continue;
      for (unsigned trail = kFirstTrailByte; trail <= 0xff; ++trail) {
        codes.push_back(static_cast<DoubleByteCode>(lead << 8 | trail));
        in += static_cast<char>(lead);
        in += static_cast<char>(trail);
      }
    }
    std::vector<unsigned char> out(codes.size() * kUtf32Bytes);
    std::vector<CodeAndCharacter> decoded;
    std::size_t next_code = 0;
    while (next_code < codes.size()) {
      char* src = in.data() + next_code * 2;
      std::size_t src_left = in.size() - next_code * 2;
      char* dst = reinterpret_cast<char*>(out.data());
      std::size_t dst_left = out.size();
      const bool stopped =
          iconv(cd_, &src, &src_left, &dst, &dst_left) == static_cast<std::size_t>(-1);
      const int why = stopped ? errno : 0;  // before anything else can touch errno
      iconv(cd_, nullptr, nullptr, nullptr, nullptr);
      const std::size_t consumed = in.size() - next_code * 2 - src_left;
      const std::size_t produced = out.size() - dst_left;
      if (consumed % 2 != 0 || produced != consumed / 2 * kUtf32Bytes) return {};
      for (std::size_t k = 0; k < consumed / 2; ++k) {
        const unsigned char* c = out.data() + k * kUtf32Bytes;
        decoded.push_back({codes[next_code + k], char32_t{c[0]} | char32_t{c[1]} << 8 |
                                                     char32_t{c[2]} << 16 | char32_t{c[3]} << 24});
      }
      next_code += consumed / 2;
      if (stopped) {
        if (why != EILSEQ && why != EINVAL) return {};
        ++next_code;  // this code is no character of CP932
      }
    }
    return decoded;
  }

 private:
  iconv_t cd_;
};

}  // namespace

const Cp932Twins& Cp932Twins::Get() {
  static std::once_flag once;
  static const Cp932Twins* table = nullptr;
  std::call_once(once, [] { table = new Cp932Twins(); });  // lives as long as the process
  return *table;
}

Cp932Twins::Cp932Twins() : group_of_(kDoubleByteCodes, kNoTwin) {
  DecoderHandle decoder;
  if (!decoder.ok()) return;
  std::vector<CodeAndCharacter> decoded = decoder.DecodeAll();
  // By character, and within one character by code: groups numbered in character order.
  std::stable_sort(decoded.begin(), decoded.end(),
                   [](const auto& a, const auto& b) { return a.character < b.character; });
  for (std::size_t first = 0; first < decoded.size();) {
    std::size_t end = first + 1;
    while (end < decoded.size() && decoded[end].character == decoded[first].character) ++end;
    if (end - first >= 2) {
      const auto group = static_cast<TwinGroup>(group_start_.size());
      for (std::size_t k = first; k < end; ++k) {
        group_of_[decoded[k].code] = group;
        codes_.push_back(decoded[k].code);
      }
      group_start_.push_back(codes_.size());
    }
    first = end;
  }
}

std::span<const DoubleByteCode> Cp932Twins::CodesOf(TwinGroup group) const {
  return std::span(codes_).subspan(group_start_[group - 1],
                                   group_start_[group] - group_start_[group - 1]);
}

}  // namespace tolvane
