// How history.txt files saved by a UTF-8 editor are read, on real Japanese words: the headwords
// of a dictionary (Debian's edict, EUC-JP) made into histories of twenty queries, and of one query
// each, the hardest case. Prints the share read as UTF-8 with every query back as written, and
// the share of the same queries saved by the program itself that read back byte for byte.
//
//   history_reading [DICTIONARY [WORDS]]   (default /usr/share/edict/edict, every 10th headword)
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "encoding/cp932.h"
#include "encoding/text_encoding.h"
#include "state/history.h"

namespace {

using tolvane::HistoryTable;

// The dictionary's headwords in UTF-8: each line's text before its first blank.
std::vector<std::string> Headwords(const char* path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  const std::string utf8 = tolvane::ToUtf8(tolvane::TextEncoding::kEucJp, bytes.str());
  std::vector<std::string> words;
  std::istringstream lines(utf8);
  for (std::string line; std::getline(lines, line);) {
    const std::string word = line.substr(0, line.find(' '));
    // The first line describes the file; U+FFFD marks bytes that were no EUC-JP.
    if (word.empty() || word.find("\xef\xbf\xbd") != std::string::npos ||
        word.find("\xe3\x80\x80") == 0)
      continue;
    words.push_back(word);
  }
  return words;
}

void Write(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

struct Share {
  long read = 0;
  long total = 0;
  void Print(const char* what) const {
    std::printf("%-58s %7ld of %7ld  %7.3f %%\n", what, read, total,
                total ? 100.0 * read / total : 0.0);
  }
};

// UTF-8 histories of `per_file` headwords each, as an editor saves them (LF, the editor line last).
Share Utf8Histories(const std::vector<std::string>& words, std::size_t per_file,
                    const std::string& dir) {
  Share share;
  for (std::size_t from = 0; from + per_file <= words.size(); from += per_file) {
    std::string text;
    for (std::size_t i = 0; i < tolvane::kHistoryQueries; ++i) {
      text += i < per_file ? words[from + i] : std::to_string(i);
      text += '\n';
    }
    text += "gedit\n";
    Write(dir + "/history.txt", text);
    HistoryTable table;
    table.Load(dir);
    bool same = table.LoadReadUtf8();
    for (std::size_t i = 0; i < per_file && same; ++i) same = table.QueryText(i) == words[from + i];
    share.read += same;
    ++share.total;
  }
  return share;
}

// The same words stored by the program itself, twenty to a file, read back.
Share OwnHistories(const std::vector<std::string>& words, const std::string& dir) {
  Share share;
  for (std::size_t from = 0; from + tolvane::kHistoryQueries <= words.size();
       from += tolvane::kHistoryQueries) {
    std::filesystem::remove(dir + "/history.txt");
    std::filesystem::remove(dir + "/" + tolvane::kHistoryUnicodeFileName);
    HistoryTable table;
    table.Load(dir);
    for (std::size_t i = tolvane::kHistoryQueries; i > 0; --i) table.AddQuery(words[from + i - 1]);
    table.Save(dir);
    HistoryTable again;
    again.Load(dir);
    bool same = true;
    for (std::size_t i = 0; i < tolvane::kHistorySlots && same; ++i)
      same = again.Slot(i) == table.Slot(i);
    share.read += same;
    ++share.total;
  }
  return share;
}

}  // namespace

int main(int argc, char** argv) {
  const char* path = argc > 1 ? argv[1] : "/usr/share/edict/edict";
  const std::vector<std::string> all = Headwords(path);
  // An even sample: each history is a load from the disk.
  const std::size_t stride =
      argc > 2 ? std::max<std::size_t>(1, all.size() / std::stoul(argv[2])) : 10;
  std::vector<std::string> words;
  for (std::size_t i = 0; i < all.size(); i += stride) words.push_back(all[i]);
  if (words.empty()) {
    std::fprintf(stderr, "history_reading: no headwords in %s\n", path);
    return 1;
  }
  char pattern[] = "/tmp/tolvane-history-bench-XXXXXX";
  if (::mkdtemp(pattern) == nullptr) return 1;
  const std::string dir = pattern;
  std::vector<std::string> shift_jis;  // the headwords Shift-JIS holds
  for (const std::string& word : words) {
    if (tolvane::Utf8ToCp932(word).ok()) shift_jis.push_back(word);
  }
  std::printf("%s: %zu of %zu headwords, %zu of them in Shift-JIS\n", path, words.size(),
              all.size(), shift_jis.size());
  Utf8Histories(words, tolvane::kHistoryQueries, dir)
      .Print("UTF-8 histories of 20 headwords read as UTF-8");
  Utf8Histories(words, 1, dir).Print("UTF-8 histories of 1 headword read as UTF-8");
  Utf8Histories(shift_jis, 1, dir).Print("... of 1 headword that Shift-JIS holds");
  OwnHistories(words, dir).Print("the program's own histories of 20 read back byte for byte");
  std::filesystem::remove_all(dir);
  return 0;
}
