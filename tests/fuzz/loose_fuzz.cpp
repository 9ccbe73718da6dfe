// The loose search against a model that decodes each character with iconv alone, joins a kana
// and its mark, folds with the library's tables and matches on characters; and the fast scans
// against the plain one. Input: an encoding byte, a read-size byte (its top bit: the query in
// UTF-8), then query 0xFF records file.
#include <iconv.h>

#include "encoding/fold.h"
#include "encoding/text_encoding.h"
#include "fuzz_util.h"
#include "search/scan.h"
#include "search/terms.h"

namespace tolvane::fuzz {
namespace {

constexpr char32_t kUndecodable = 0xfffd;

// One character of `encoding` decoded by iconv on its own bytes: U+FFFD unless it is exactly one
// code point. EUC-JP's single bytes above ASCII are no characters (glibc reads some as C1
// controls).
char32_t ModelDecode(TextEncoding encoding, std::string_view bytes) {
  if (encoding == TextEncoding::kEucJp && bytes.size() == 1 && static_cast<unsigned char>(bytes[0]) >= 0x80) {
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
  const char32_t c = char32_t{out[0]} | char32_t{out[1]} << 8 | char32_t{out[2]} << 16 | char32_t{out[3]} << 24;
  return c >= 0xd800 && c <= 0xdfff ? kUndecodable : c;
}

// A text's characters as the loose search sees them: where each starts, its folded code point,
// and its bytes (what an undecodable one is compared by).
struct Unit {
  std::size_t at;
  char32_t folded;
  std::string bytes;
};

std::vector<Unit> ModelUnits(TextEncoding encoding, std::string_view text) {
  std::vector<Unit> units;
  for (std::size_t at = 0; at < text.size();) {
    std::size_t end = NextCharEnd(encoding, text, at);
    const char32_t c = ModelDecode(encoding, text.substr(at, end - at));
    char32_t folded = FoldCharacter(c, Folding::kLoose);
    if (end < text.size()) {
      const std::size_t mark_end = NextCharEnd(encoding, text, end);
      if (const std::optional<char32_t> joined =
              ComposeKana(c, ModelDecode(encoding, text.substr(end, mark_end - end)))) {
        folded = *joined;
        end = mark_end;
      }
    }
    units.push_back({at, folded, std::string(text.substr(at, end - at))});
    at = end;
  }
  return units;
}

bool ModelHolds(TextEncoding encoding, std::string_view record, std::string_view term) {
  const std::vector<Unit> have = ModelUnits(encoding, record);
  const std::vector<Unit> want = ModelUnits(encoding, term);
  for (std::size_t p = 0; p + want.size() <= have.size(); ++p) {
    bool same = true;
    for (std::size_t k = 0; same && k < want.size(); ++k) {
      same = have[p + k].folded == want[k].folded &&
             (want[k].folded != kUndecodable || have[p + k].bytes == want[k].bytes);
    }
    if (same) return true;
  }
  return false;
}

std::vector<std::string> Scan(const MemoryFile& file, const TermTable& terms, const ScanOptions& options) {
  std::vector<std::string> texts;
  FUZZ_CHECK(ScanMatchingRecords(file.Rewound(), terms, [&](std::string_view text) {
    texts.emplace_back(text);
    return MatchReply::kKeepGoing;
  }, options) == ScanEnd::kEndOfFile);
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
