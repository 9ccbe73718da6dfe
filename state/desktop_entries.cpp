#include "state/desktop_entries.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>
#include <system_error>
#include <utility>

#include "state/last_folder.h"

namespace tolvane {
namespace {

constexpr std::string_view kEntryGroup = "[Desktop Entry]";
constexpr std::string_view kEntrySuffix = ".desktop";
constexpr std::string_view kApplications = "/applications";
constexpr std::string_view kDefaultDataHome = "/.local/share";
constexpr std::string_view kDefaultDataDirs = "/usr/local/share:/usr/share";

// Undoes a string value's escapes: \s \n \t \r \\. Others stay as written, as the desktops do.
std::string UnescapeValue(std::string_view value) {
  std::string out;
  for (std::size_t i = 0; i < value.size(); ++i) {
    if (value[i] != '\\' || i + 1 == value.size()) {
      out += value[i];
      continue;
    }
    switch (value[++i]) {
      case 's':
        out += ' ';
        break;
      case 'n':
        out += '\n';
        break;
      case 't':
        out += '\t';
        break;
      case 'r':
        out += '\r';
        break;
      case '\\':
        out += '\\';
        break;
      default:
        out += '\\';
        out += value[i];
    }
  }
  return out;
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
    text.remove_suffix(1);
  return text;
}

std::vector<std::string> SplitList(std::string_view value) {
  std::vector<std::string> items;
  while (!value.empty()) {
    const std::size_t end = value.find(';');
    const std::string_view item = Trim(value.substr(0, end));
    if (!item.empty()) items.emplace_back(item);
    value = end == std::string_view::npos ? std::string_view() : value.substr(end + 1);
  }
  return items;
}

// Exec's words with their quoting undone: blanks part words outside double quotes; inside them a
// backslash keeps the next " ` $ or \ as itself. Nothing when a quote is left open.
std::optional<std::vector<std::string>> ExecWords(std::string_view exec) {
  std::vector<std::string> words;
  std::string word;
  bool in_word = false;
  bool quoted = false;
  for (std::size_t i = 0; i < exec.size(); ++i) {
    const char c = exec[i];
    if (quoted) {
      if (c == '"') {
        quoted = false;
      } else if (c == '\\' && i + 1 < exec.size() &&
                 std::string_view("\"`$\\").find(exec[i + 1]) != std::string_view::npos) {
        word += exec[++i];
      } else {
        word += c;
      }
    } else if (c == ' ' || c == '\t' || c == '\n') {
      if (in_word) words.push_back(std::exchange(word, std::string()));
      in_word = false;
    } else if (c == '"') {
      quoted = in_word = true;
    } else {
      word += c;
      in_word = true;
    }
  }
  if (quoted) return std::nullopt;
  if (in_word) words.push_back(std::move(word));
  return words;
}

std::string BaseName(std::string_view path) {
  const std::size_t slash = path.rfind('/');
  return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

// Every "*.desktop" under `folder`, by its id, within kApplicationsFolderDepth and `budget` files.
void CollectEntryFiles(const std::filesystem::path& folder, const std::string& id_prefix, int depth,
                       std::map<std::string, std::string>& files, std::size_t& budget) {
  std::error_code error;
  std::filesystem::directory_iterator it(folder, error);
  for (; !error && it != std::filesystem::directory_iterator(); it.increment(error)) {
    if (budget == 0) return;
    const std::string name = it->path().filename().string();
    if (name.starts_with('.')) continue;
    std::error_code type_error;
    if (it->is_directory(type_error)) {
      if (depth + 1 < kApplicationsFolderDepth)
        CollectEntryFiles(it->path(), id_prefix + name + '-', depth + 1, files, budget);
    } else if (name.ends_with(kEntrySuffix)) {
      --budget;
      files.emplace(id_prefix + name, it->path().string());
    }
  }
}

std::optional<DesktopEntry> ReadEntry(const std::string& path, const std::string& id) {
  const std::optional<std::string> text = ReadConfigFile(path, kDesktopEntryBytes);
  if (!text) return std::nullopt;
  std::optional<DesktopEntry> entry = ParseDesktopEntry(*text);
  if (entry) entry->id = id;
  return entry;
}

}  // namespace

bool DesktopEntry::HandlesMimeType(std::string_view mime_type) const {
  return std::find(mime_types.begin(), mime_types.end(), mime_type) != mime_types.end();
}

std::optional<DesktopEntry> ParseDesktopEntry(std::string_view text) {
  DesktopEntry entry;
  bool in_group = false;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    const std::string_view line = Trim(text.substr(0, end));
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (line.empty() || line.front() == '#') continue;
    if (line.front() == '[') {
      // Only the first group is the entry; the actions' groups follow it.
      if (in_group) break;
      if (line != kEntryGroup) return std::nullopt;
      in_group = true;
      continue;
    }
    if (!in_group) return std::nullopt;
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) continue;
    const std::string_view key = Trim(line.substr(0, equals));
    const std::string value = UnescapeValue(Trim(line.substr(equals + 1)));
    if (key == "Type")
      entry.application = value == "Application";
    else if (key == "Exec")
      entry.exec = value;
    else if (key == "TryExec")
      entry.try_exec = value;
    else if (key == "MimeType")
      entry.mime_types = SplitList(value);
    else if (key == "Hidden")
      entry.hidden = value == "true";
  }
  if (!in_group) return std::nullopt;
  return entry;
}

std::optional<std::vector<std::string>> ExecArguments(std::string_view exec,
                                                      std::string_view file) {
  std::optional<std::vector<std::string>> words = ExecWords(exec);
  if (!words || words->empty()) return std::nullopt;
  std::vector<std::string> arguments;
  bool file_given = false;
  for (const std::string& word : *words) {
    std::string argument;
    bool had_code = false;
    for (std::size_t i = 0; i < word.size(); ++i) {
      if (word[i] != '%' || i + 1 == word.size()) {
        argument += word[i];
        continue;
      }
      const char code = word[++i];
      if (code == '%') {
        argument += '%';
      } else if (std::string_view("fFuU").find(code) != std::string_view::npos) {
        had_code = true;
        // One file, however many codes ask for it.
        if (!file_given) argument += file;
        file_given = true;
      } else {
        had_code = true;  // %i %c %k and the deprecated codes: nothing to give
      }
    }
    // A word that was a field code alone and gave nothing is left out, not passed empty.
    if (had_code && argument.empty()) continue;
    arguments.push_back(std::move(argument));
  }
  if (!file_given || arguments.empty() || arguments.front().empty()) return std::nullopt;
  return arguments;
}

std::vector<std::string> ApplicationsFolders(const char* xdg_data_home, const char* home,
                                             const char* xdg_data_dirs) {
  std::vector<std::string> folders;
  if (xdg_data_home != nullptr && *xdg_data_home == '/') {
    folders.push_back(std::string(xdg_data_home) + std::string(kApplications));
  } else if (home != nullptr && *home == '/') {
    folders.push_back(std::string(home) + std::string(kDefaultDataHome) +
                      std::string(kApplications));
  }
  const std::string_view dirs =
      xdg_data_dirs != nullptr && *xdg_data_dirs != '\0' ? xdg_data_dirs : kDefaultDataDirs;
  std::string_view rest = dirs;
  while (!rest.empty()) {
    const std::size_t colon = rest.find(':');
    std::string folder(rest.substr(0, colon));
    rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
    if (!folder.starts_with('/')) continue;  // a relative one is ignored
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    folder += kApplications;
    if (std::find(folders.begin(), folders.end(), folder) == folders.end())
      folders.push_back(std::move(folder));
  }
  return folders;
}

std::vector<DesktopEntry> EntriesForMimeType(const std::vector<std::string>& folders,
                                             std::string_view mime_type) {
  std::vector<DesktopEntry> found;
  std::set<std::string> seen;
  std::size_t budget = kDesktopEntriesRead;
  for (const std::string& folder : folders) {
    std::map<std::string, std::string> files;
    CollectEntryFiles(folder, std::string(), 0, files, budget);
    for (const auto& [id, path] : files) {
      // The most important folder's file stands for its id, even when it cannot be read.
      if (!seen.insert(id).second) continue;
      std::optional<DesktopEntry> entry = ReadEntry(path, id);
      if (entry && entry->application && !entry->hidden && entry->HandlesMimeType(mime_type)) {
        found.push_back(std::move(*entry));
      }
    }
  }
  return found;
}

std::optional<DesktopEntry> FindDesktopEntry(const std::vector<std::string>& folders,
                                             std::string_view id) {
  if (!id.ends_with(kEntrySuffix) || id.find('/') != std::string_view::npos) return std::nullopt;
  for (const std::string& folder : folders) {
    // "vendor-app.desktop" may be "vendor/app.desktop": each '-' may stand for a folder.
    std::vector<std::string> candidates{std::string(id)};
    for (std::size_t dash = id.find('-'); dash != std::string_view::npos;
         dash = id.find('-', dash + 1)) {
      std::string path(id);
      path[dash] = '/';
      candidates.push_back(std::move(path));
    }
    for (const std::string& relative : candidates) {
      std::error_code error;
      const std::string path = folder + '/' + relative;
      if (!std::filesystem::is_regular_file(path, error)) continue;
      return ReadEntry(path, std::string(id));
    }
  }
  return std::nullopt;
}

bool IsOwnEntry(const DesktopEntry& entry) {
  if (entry.id == kOwnDesktopId) return true;
  const std::optional<std::vector<std::string>> words = ExecWords(entry.exec);
  if (!words || words->empty()) return false;
  // "env VAR=... tolvane %f" is ours too.
  std::size_t program = 0;
  if (BaseName((*words)[0]) == "env") {
    program = 1;
    while (program < words->size() && (*words)[program].find('=') != std::string::npos) ++program;
  }
  return program < words->size() && BaseName((*words)[program]) == kOwnProgramName;
}

}  // namespace tolvane
