#pragma once
// Old and new forms of kanji (國 and 国, 學 and 学, 髙 and 高 ...) as groups that the loose search
// takes for one character. Two sources: our own list, the old forms of the jōyō kanji and the
// variants common in names, always there; and the variant dictionary that kakasi-dic installs,
// read at first need where the system has it (it is GPL-2+ data: read, never built in), less its
// pairs that would be too loose for a search (壱 with 一, 濾 with 滬 ...).
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tolvane {

// Where kakasi-dic puts its variant dictionary: EUC-JP, one line "variant standard" per pair.
inline constexpr const char* kKanjiVariantsDictionary = "/usr/share/kakasi/itaijidict";

class KanjiVariants {
 public:
  // The groups of this process: our list with the installed dictionary's pairs. Read once.
  static const KanjiVariants& Installed();
  // Our list with the pairs of `dictionary` (its text as the file holds it; may be empty). A line
  // that is not two characters of EUC-JP is passed over.
  static KanjiVariants From(std::string_view dictionary);

  // The one character that stands for `c`'s group; `c` itself when it is in none.
  char32_t Representative(char32_t c) const {
    const auto found = representative_.find(c);
    return found == representative_.end() ? c : found->second;
  }
  // Every character in a group with another, each with its group's representative.
  const std::unordered_map<char32_t, char32_t>& Members() const { return representative_; }
  // Whether the dictionary added pairs, or only our list is there.
  bool HasDictionary() const { return has_dictionary_; }

 private:
  std::unordered_map<char32_t, char32_t> representative_;
  bool has_dictionary_ = false;
};

}  // namespace tolvane
