#pragma once
// The window program's own command line, once Qt has taken its arguments (-platform, -display ...)
// out of it: tolvane [--help] [--version] [FILE | DIR]. Plain C++ over the arguments' bytes.
#include <optional>
#include <span>
#include <string>

namespace tolvane {

enum class StartOptionsProblem { kNone, kUnknownOption, kTooManyPaths };

struct StartOptions {
  bool help = false;
  bool version = false;
  // The file to open or the folder to start in, in local bytes as given.
  std::optional<std::string> path;
  StartOptionsProblem problem = StartOptionsProblem::kNone;
  std::string unknown_option;  // the first one, for kUnknownOption
};

// Options may stand before or after the path; "--" ends them, for a path that begins with '-'. A
// line with a problem is reported as such, whatever else it asks for.
StartOptions ParseStartOptions(std::span<const std::string> args);

// The English usage for --help.
extern const char kStartUsage[];

}  // namespace tolvane
