#pragma once
// Runs tolvane-search as a shell would, in a folder of the test's, and catches what it prints.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "test_util.h"

extern char** environ;

namespace tolvane::testing {

struct CommandOutcome {
  int status = -1;  // the exit status, -1 when the command died of a signal
  std::string out;  // empty when the output went to `out_path`
  std::string err;
};

// Starts the command in `dir` without waiting for it, its output and errors going to the files
// given. The pid, or -1 when it could not be started.
inline pid_t StartCommand(const std::string& dir, std::vector<std::string> args,
                          const std::string& out_path, const std::string& err_path) {
  args.insert(args.begin(), TOLVANE_SEARCH_BIN);
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0600);
  posix_spawn_file_actions_addopen(&actions, 2, err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0600);
  posix_spawn_file_actions_addchdir_np(&actions, dir.c_str());
  pid_t pid = -1;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

// The wait status of a command that was started, or -1.
inline int WaitForCommand(pid_t pid) {
  int wstatus = -1;
  if (pid < 0 || ::waitpid(pid, &wstatus, 0) != pid) return -1;
  return wstatus;
}

// Standard output goes to `out_path` when one is given (a full disk, say), else it is caught. The
// command inherits this process's limits and signal dispositions.
inline CommandOutcome RunCommand(const ScratchDir& dir, std::vector<std::string> args,
                                 const std::string& out_path = "") {
  const std::string caught_out = dir / ".out";
  const std::string err_path = dir / ".err";
  const std::string& out = out_path.empty() ? caught_out : out_path;
  CommandOutcome outcome;
  const int wstatus = WaitForCommand(StartCommand(dir.path(), std::move(args), out, err_path));
  if (wstatus != -1) outcome.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
  if (out_path.empty()) outcome.out = ReadFile(caught_out);
  outcome.err = ReadFile(err_path);
  std::filesystem::remove(caught_out);
  std::filesystem::remove(err_path);
  return outcome;
}

}  // namespace tolvane::testing
