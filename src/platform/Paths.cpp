#include "platform/Paths.h"

#include <algorithm>

namespace Paths {

namespace {

bool IsDelimiterChar(char c, Build build) {
  return c == Delimiter(build);
}

// Windows paths also split after the drive colon ("C:name").
bool IsSplitChar(char c, Build build) {
  return build == Build::Windows ? (c == '\\' || c == ':') : c == '/';
}

std::size_t LastSplit(std::string_view path, Build build) {
  for (std::size_t i = path.size(); i > 0; --i) {
    if (IsSplitChar(path[i - 1], build)) return i - 1;
  }
  return std::string_view::npos;
}

char AsciiUpper(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool EqualIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (AsciiUpper(a[i]) != AsciiUpper(b[i])) return false;
  }
  return true;
}

bool IsDriveLetter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

}  // namespace

char Delimiter(Build build) {
  return build == Build::Windows ? '\\' : '/';
}

bool EndsWithDelimiter(std::string_view path, Build build) {
  return !path.empty() && IsDelimiterChar(path.back(), build);
}

std::string WithTrailingDelimiter(std::string_view path, Build build) {
  std::string result(path);
  if (!EndsWithDelimiter(path, build)) result += Delimiter(build);
  return result;
}

std::string WithoutTrailingDelimiter(std::string_view path, Build build) {
  if (EndsWithDelimiter(path, build)) path.remove_suffix(1);
  return std::string(path);
}

std::string Join(std::string_view folder, std::string_view name, Build build) {
  std::string result;
  result.reserve(folder.size() + 1 + name.size());
  result.append(folder);
  if (!EndsWithDelimiter(folder, build)) result += Delimiter(build);
  result.append(name);
  return result;
}

std::string ParentPart(std::string_view path, Build build) {
  const std::size_t split = LastSplit(path, build);
  if (split == std::string_view::npos) return {};
  return std::string(path.substr(0, split + 1));
}

std::string LastPart(std::string_view path, Build build) {
  const std::size_t split = LastSplit(path, build);
  if (split == std::string_view::npos) return std::string(path);
  return std::string(path.substr(split + 1));
}

std::string HistoryEntry(std::string_view folderPath, Build build) {
  std::string entry = WithoutTrailingDelimiter(folderPath, build);
  // A lone root delimiter keeps its text: the entry of "/" is "/".
  if (entry.empty() && !folderPath.empty()) entry = std::string(folderPath);
  if (build == Build::Windows) {
    for (char& c : entry) c = AsciiUpper(c);
  }
  return entry;
}

bool HistoryHasEntry(const std::vector<std::string>& history, std::string_view entry) {
  for (const std::string& existing : history) {
    if (EqualIgnoringAsciiCase(existing, entry)) return true;
  }
  return false;
}

std::vector<std::string> InitialHistory(Build build) {
  if (build == Build::Linux) return {"/"};
  std::vector<std::string> roots;
  roots.reserve(26);
  for (char drive = 'C'; drive <= 'Z'; ++drive) roots.push_back(std::string{drive, ':', '\\'});
  roots.push_back("A:\\");
  roots.push_back("B:\\");
  return roots;
}

std::string FallbackRoot(Build build) {
  return build == Build::Windows ? "C:\\" : "/";
}

std::string DefaultLastDir(std::string_view programFolder, Build build) {
  if (build == Build::Linux) return {};
  if (programFolder.size() >= 2 && IsDriveLetter(programFolder[0]) && programFolder[1] == ':') {
    return std::string{programFolder[0], ':', '\\'};
  }
  // A program started from a network share: its drive part is \\server\share\.
  if (programFolder.size() > 2 && programFolder[0] == '\\' && programFolder[1] == '\\') {
    const std::size_t serverEnd = programFolder.find('\\', 2);
    if (serverEnd != std::string_view::npos && serverEnd > 2) {
      const std::size_t shareEnd = programFolder.find('\\', serverEnd + 1);
      if (shareEnd == std::string_view::npos) return WithTrailingDelimiter(programFolder, build);
      if (shareEnd > serverEnd + 1) return std::string(programFolder.substr(0, shareEnd + 1));
    }
  }
  return {};
}

std::string SettingsFileName(std::string_view programFolder, std::string_view home, Build build) {
  if (build == Build::Windows) return WithTrailingDelimiter(programFolder, build) + "Quillon.ini";
  if (home.empty()) home = "/";
  return WithTrailingDelimiter(home, build) + ".Quillon.ini";
}

std::string UndoFileName(std::string_view programFolder, Build build) {
  return WithTrailingDelimiter(programFolder, build) + (build == Build::Windows ? "UNDO.BAT" : "UNDO");
}

bool SamePath(std::string_view a, std::string_view b, Build build) {
  return build == Build::Windows ? EqualIgnoringAsciiCase(a, b) : a == b;
}

bool HoldsDelimiter(std::string_view text, Build build) {
  if (build == Build::Windows) return text.find_first_of("\\/:") != std::string_view::npos;
  return text.find('/') != std::string_view::npos;
}

bool IsPlainName(std::string_view name, Build build) {
  return !name.empty() && name != "." && name != ".." && !HoldsDelimiter(name, build) &&
         name.find('\0') == std::string_view::npos;
}

std::optional<std::string> UpTarget(std::string_view typed, std::string_view currentFolder,
                                    const std::function<bool(const std::string&)>& isExistingFolder,
                                    Build build) {
  std::string target = WithoutTrailingDelimiter(typed, build);
  if (!isExistingFolder(target)) {
    if (build == Build::Windows) return std::nullopt;
    if (target.empty()) target.assign(1, '/');  // (a literal here trips a false GCC 12 warning)
    if (target != "/") return std::nullopt;
  }
  // The parent step happens only when the box still shows the current folder.
  if (SamePath(target, WithoutTrailingDelimiter(currentFolder, build), build)) {
    target = ParentPart(target, build);
  }
  return WithTrailingDelimiter(target, build);
}

bool IsAbsolute(std::string_view path, Build build) {
  if (build == Build::Linux) return path.starts_with('/');
  const bool driveRoot = path.size() >= 3 && path[1] == ':' && path[2] == '\\';
  return driveRoot || path.starts_with('\\');
}

std::string MakeAbsolute(std::string_view typed, std::string_view workingFolder, Build build) {
  if (typed.empty() || IsAbsolute(typed, build)) return std::string(typed);
  const char delimiter = Delimiter(build);
  std::string result = WithoutTrailingDelimiter(workingFolder, build);
  // The root's own part ("" on Linux, "C:" on Windows) is never climbed out of.
  const std::size_t rootLength = build == Build::Linux ? 0 : std::min<std::size_t>(result.find(delimiter), result.size());
  std::size_t start = 0;
  while (start <= typed.size()) {
    std::size_t end = typed.find(delimiter, start);
    if (end == std::string_view::npos) end = typed.size();
    const std::string_view part = typed.substr(start, end - start);
    if (part == "..") {
      const std::size_t cut = result.rfind(delimiter);
      result.resize(cut == std::string::npos ? rootLength : std::max(cut, rootLength));
    } else if (!part.empty() && part != ".") {
      result += delimiter;
      result.append(part);
    }
    start = end + 1;
  }
  return result.size() > rootLength ? result : result + delimiter;
}

}  // namespace Paths
