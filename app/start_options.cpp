#include "app/start_options.h"

namespace tolvane {

const char kStartUsage[] =
    "Usage: tolvane [--help] [--version] [FILE | DIR]\n"
    "Search a Shift-JIS bibliography (tolvaneken.txt, one record per line) in a window.\n"
    "\n"
    "  FILE       open FILE as the document and search in its folder\n"
    "  DIR        search in DIR\n"
    "  --help     show this help and exit\n"
    "  --version  show the version and exit\n"
    "\n"
    "Without FILE or DIR the search runs in the current directory when it holds a\n"
    "tolvaneken.txt, else in the folder of the last session that had one.\n"
    "The results go to kekka.txt and the query history to history.txt in that folder.\n"
    "Exit status: 0 when the window was closed, 2 when the command line was wrong or\n"
    "there is nowhere to show the window.\n";

StartOptions ParseStartOptions(std::span<const std::string> args) {
  StartOptions options;
  bool options_ended = false;
  for (const std::string& arg : args) {
    if (!options_ended && arg == "--") {
      options_ended = true;
    } else if (!options_ended && arg == "--help") {
      options.help = true;
    } else if (!options_ended && arg == "--version") {
      options.version = true;
    } else if (!options_ended && arg.size() > 1 && arg[0] == '-') {
      if (options.problem == StartOptionsProblem::kNone) {
        options.problem = StartOptionsProblem::kUnknownOption;
        options.unknown_option = arg;
      }
    } else if (options.path) {
      if (options.problem == StartOptionsProblem::kNone)
        options.problem = StartOptionsProblem::kTooManyPaths;
    } else {
      options.path = arg;
    }
  }
  return options;
}

}  // namespace tolvane
