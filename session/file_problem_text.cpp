#include "session/file_problem_text.h"

#include <pwd.h>
#include <string.h>

#include <cerrno>
#include <vector>

#include "encoding/cp932.h"
#include "texts/texts.h"

namespace tolvane {
namespace {

// Longest user entry read for the owner's name.
constexpr std::size_t kPasswordEntryBytes = 16384;

std::string UserName(uid_t uid) {
  std::vector<char> buffer(kPasswordEntryBytes);
  struct passwd entry {};
  struct passwd* found = nullptr;
  if (::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr) {
    return found->pw_name;
  }
  return "uid " + std::to_string(uid);
}

// `format` (Shift-JIS, with %1 and maybe %2) in UTF-8 with its arguments put in.
std::string Filled(std::string_view format, std::string_view first, std::string_view second = {}) {
  std::string text = Cp932ToUtf8(format);
  if (const std::size_t at = text.find("%1"); at != std::string::npos) text.replace(at, 2, first);
  if (const std::size_t at = text.find("%2"); at != std::string::npos) text.replace(at, 2, second);
  return text;
}

std::string SystemReason(int error) {
  switch (error) {
    case ENOSPC:
      return Cp932ToUtf8(kDiskFullReason);
    case EDQUOT:
      return Cp932ToUtf8(kQuotaReason);
    case EROFS:
      return Cp932ToUtf8(kReadOnlyReason);
    case EACCES:
    case EPERM:
      return Cp932ToUtf8(kNoAccessReason);
    default: {
      char words[256];
      return Filled(kSystemErrorReason, ::strerror_r(error, words, sizeof words));
    }
  }
}

}  // namespace

std::string RunProblemMessage(const RunProblem& problem) {
  if (!problem.character) return Cp932ToUtf8(problem.message);
  return Filled(problem.message, DescribeCharacter(*problem.character),
                DisplayName(problem.encoding));
}

std::string FileProblemReason(const FileProblem& problem) {
  switch (problem.kind) {
    case FileProblem::Kind::kMissing:
      return {};
    case FileProblem::Kind::kNotRegular:
      return Cp932ToUtf8(kNotRegularReason);
    case FileProblem::Kind::kRefusedLink:
      return Filled(kRefusedLinkReason, problem.link, UserName(problem.link_owner));
    case FileProblem::Kind::kSystem:
      break;
  }
  return SystemReason(problem.error);
}

}  // namespace tolvane
