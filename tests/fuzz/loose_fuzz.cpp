// The loose search against the tests' model of it (loose_model.h), each character found by the
// model's own walk of the encoding and decoded by iconv alone; and the fast scans against the plain
// one. Input: an encoding byte, a read-size byte (its top bit: the query in UTF-8), then query 0xFF
// records file.
#include <iconv.h>

#include "encoding/fold.h"
#include "encoding/text_encoding.h"
#include "fuzz_util.h"
#include "loose_model.h"
#include "search/scan.h"
#include "search/terms.h"

namespace tolvane::fuzz {
namespace {

constexpr char32_t kUndecodable = testing::loose_model::kUndecodable;

// One character of `encoding` decoded by iconv on its own bytes: U+FFFD unless it is exactly one
// code point. EUC-JP's single bytes above ASCII are no characters (glibc reads some as C1
// controls).
char32_t ModelDecode(TextEncoding encoding, std::string_view bytes) {
  if (encoding == TextEncoding::kEucJp && bytes.size() == 1 &&
      static_cast<unsigned char>(bytes[0]) >= 0x80) {
    return kUndecodable;
  }
  static iconv_t converters[3] = {iconv_open("UTF-32LE", "CP932"), iconv_open("UTF-32LE", "UTF-8"),
                                  iconv_open("UTF-32LE", "EUC-JP")};
  iconv_t cd = converters[static_cast<int>(encoding)];
  std::string in(bytes);
  unsigned char out[8];
  char* src = in.data();
  std::size_t src_left = in.size();
  char* dst = reinterpret_cast<char*>(out);
  std::size_t dst_left = sizeof out;
  const bool failed = iconv(cd, &src, &src_left, &dst, &dst_left) == static_cast<std::size_t>(-1);
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  if (failed || src_left != 0 || sizeof out - dst_left != 4) return kUndecodable;
  const char32_t c =
      char32_t{out[0]} | char32_t{out[1]} << 8 | char32_t{out[2]} << 16 | char32_t{out[3]} << 24;
  return c >= 0xd800 && c <= 0xdfff ? kUndecodable : c;
}

// A text's characters, each decoded on its own bytes by the model's walk of the encoding.
std::vector<testing::ModelChar> ModelChars(TextEncoding encoding, std::string_view text) {
  std::vector<testing::ModelChar> chars;
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t end = ModelCharEnd(static_cast<ModelEncoding>(encoding), text, at);
    const std::string_view bytes = text.substr(at, end - at);
    chars.push_back({ModelDecode(encoding, bytes), std::string(bytes)});
    at = end;
  }
  return chars;
}

bool ModelHolds(TextEncoding encoding, std::string_view record, std::string_view term) {
  return testing::LooseModelHolds(ModelChars(encoding, record), ModelChars(encoding, term));
}

std::vector<std::string> Scan(const MemoryFile& file, const TermTable& terms,
                              const ScanOptions& options) {
  std::vector<std::string> texts;
  FUZZ_CHECK(ScanMatchingRecords(
                 file.Rewound(), terms,
                 [&](std::string_view text) {
                   texts.emplace_back(text);
                   return MatchReply::kKeepGoing;
                 },
                 options) == ScanEnd::kEndOfFile);
  return texts;
}

}  // namespace
}  // namespace tolvane::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tolvane;
  using namespace tolvane::fuzz;
  std::string_view input = AsText(data, size);
  const auto encoding = static_cast<TextEncoding>(TakeByte(input) % 3);
  const unsigned char read_byte = TakeByte(input);
  const std::vector<std::string> f = Fields(input, 2);
  // The read-size byte's top bit takes the query as typed in Unicode (UTF-8), as the window and
  // the command give it, else as Shift-JIS.
  const TermTable terms = (read_byte & 0x80) != 0 ? SplitQuery(f[0], encoding, Folding::kLoose)
                                                  : SplitTerms(f[0], encoding, Folding::kLoose);
  if (terms.unconvertible) return 0;
  const MemoryFile file(f[1]);

  // The records as the plain path cuts them (its own tests pin that), each matched by the model.
  const std::vector<std::string> records = Scan(file, SplitTerms("", encoding), {.plain = true});
  std::vector<std::string> model;
  for (const std::string& record : records) {
    bool all = true;
    for (const std::string& term : terms.Active()) all = all && ModelHolds(encoding, record, term);
    if (all) model.push_back(record);
    FUZZ_CHECK(MatchesAllTerms(record, terms) == all);
  }
  FUZZ_CHECK(Scan(file, terms, {.plain = true}) == model);
  const std::size_t read_size = 1 + (read_byte & 0x7f) % 64;
  FUZZ_CHECK(Scan(file, terms, {.read_bytes = read_size}) == model);
  FUZZ_CHECK(Scan(file, terms, {.read_bytes = read_size, .split_min_bytes = 1}) == model);
  return 0;
}
