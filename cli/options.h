#pragma once
// The command line of tolvane-search.
#include <string>
#include <vector>

namespace tolvane {

enum class OutputMode { kRecords, kCount, kCaption, kRaw };

struct CliOptions {
  std::string directory;  // empty: the current directory
  OutputMode mode = OutputMode::kRecords;
  std::vector<std::string> terms;
  bool loose = false;  // find the notational variants of the terms too
  bool help = false;
  bool version = false;
};

struct ParsedOptions {
  CliOptions options;
  std::string error;  // empty when the line was understood
};

// Options may stand before, between or after the terms; "--" ends them.
ParsedOptions ParseOptions(const std::vector<std::string>& args);

extern const char kUsage[];

}  // namespace tolvane
