#include "cli/options.h"

namespace tolvane {

const char kUsage[] =
    "Usage: tolvane-search [-C DIR] [--count | --caption | --raw] [--] TERM...\n"
    "Search DIR/tolvaneken.txt (one record per line) for the records that hold every TERM, write\n"
    "all of them to DIR/kekka.txt, and print the first 500 of them in UTF-8.\n"
    "The terms, joined by single blanks, make the query, exactly as typed into the window; they\n"
    "may hold any character, which is searched in the file's own encoding.\n"
    "\n"
    "tolvaneken.txt may be in Shift-JIS (CP932), UTF-8 (with or without a byte-order mark) or\n"
    "EUC-JP, which each search finds out from the file. The records are printed in UTF-8 whatever\n"
    "the file's encoding; kekka.txt keeps the records' own bytes. A file in UTF-16 or UTF-32 is\n"
    "refused with a message; one in none of these is searched as Shift-JIS bytes, and that and\n"
    "lines in another encoding than the file's are told about on standard error. A character the\n"
    "file's encoding lacks is refused by name (--loose searches a variant it holds: 鷗 as 鴎).\n"
    "A query is at most 299 bytes of Shift-JIS, a blank and a character Shift-JIS lacks two each.\n"
    "\n"
    "  -C DIR         search in DIR instead of the current directory\n"
    "      --count    print only the number of matching records\n"
    "      --caption  print the caption the window would show after this search\n"
    "      --raw      print the results box's text byte for byte, in the file's own encoding\n"
    "                 (CR LF line ends) instead of UTF-8\n"
    "      --loose    find the notational variants of the terms too: width (ａｂｃ abc,\n"
    "                 ｶﾀｶﾅ カタカナ), case, hiragana and katakana, the long-vowel mark and\n"
    "                 dashes, middle dots, old and new kanji forms (國 国), ヶ ケ, ゐ い,\n"
    "                 accents (é e), ヴァ バ, iteration marks (佐々木 佐佐木, こゝろ こころ)\n"
    "                 and a katakana word's final long-vowel mark (コンピューター コンピュータ)\n"
    "      --help     show this help and exit\n"
    "      --version  show the version and exit\n"
    "\n"
    "Exit status: 0 if a record matched, 1 if none did, 2 on an error.\n"
    "The query history (history.txt) is not touched.\n";

ParsedOptions ParseOptions(const std::vector<std::string>& args) {
  ParsedOptions parsed;
  CliOptions& options = parsed.options;
  bool mode_set = false;
  auto set_mode = [&](OutputMode mode, const std::string& arg) {
    if (mode_set && options.mode != mode) {
      parsed.error = "only one of --count, --caption and --raw may be given (" + arg + ")";
    }
    options.mode = mode;
    mode_set = true;
  };
  for (std::size_t i = 0; i < args.size() && parsed.error.empty(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--") {
      options.terms.insert(options.terms.end(), args.begin() + i + 1, args.end());
      break;
    }
    if (arg == "--help") {
      options.help = true;
    } else if (arg == "--version") {
      options.version = true;
    } else if (arg == "--loose") {
      options.loose = true;
    } else if (arg == "--count") {
      set_mode(OutputMode::kCount, arg);
    } else if (arg == "--caption") {
      set_mode(OutputMode::kCaption, arg);
    } else if (arg == "--raw") {
      set_mode(OutputMode::kRaw, arg);
    } else if (arg == "-C") {
      if (i + 1 == args.size()) {
        parsed.error = "option -C needs a directory";
      } else {
        options.directory = args[++i];
      }
    } else if (arg.starts_with("-C")) {
      options.directory = arg.substr(2);
    } else if (arg.size() > 1 && arg[0] == '-') {
      parsed.error = "unknown option " + arg + " (a term that begins with '-' goes after --)";
    } else {
      options.terms.push_back(arg);
    }
  }
  return parsed;
}

}  // namespace tolvane
