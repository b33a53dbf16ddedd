#pragma once

#include "platform/Build.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Path text rules of both builds. Paths are byte strings as the file system
// uses them; nothing here touches the disk.
namespace Paths {

char Delimiter(Build build = kThisBuild);                       // '/' or '\\'
bool EndsWithDelimiter(std::string_view path, Build build = kThisBuild);
std::string WithTrailingDelimiter(std::string_view path, Build build = kThisBuild);
std::string WithoutTrailingDelimiter(std::string_view path, Build build = kThisBuild);
// folder + delimiter (only when folder does not already end with one) + name
std::string Join(std::string_view folder, std::string_view name, Build build = kThisBuild);

// Everything up to and including the last delimiter (Windows: last '\' or ':').
std::string ParentPart(std::string_view path, Build build = kThisBuild);
// The part after the last delimiter (Windows: after the last '\' or ':').
std::string LastPart(std::string_view path, Build build = kThisBuild);

// Path-history entry of a folder path that ends with the delimiter: the path
// without its trailing delimiter, the root "/" staying "/"; upper-cased a-z on
// Windows.
std::string HistoryEntry(std::string_view folderPath, Build build = kThisBuild);
// True when some entry equals `entry` with letter case ignored.
bool HistoryHasEntry(const std::vector<std::string>& history, std::string_view entry);
std::vector<std::string> InitialHistory(Build build = kThisBuild);

std::string FallbackRoot(Build build = kThisBuild);            // "/" or "C:\\"
// Linux: empty. Windows: drive root of the program folder, e.g. "C:\\".
std::string DefaultLastDir(std::string_view programFolder, Build build = kThisBuild);

// Linux: HOME (or "/" when empty) + "/.Quillon.ini"; Windows: program folder + "Quillon.ini".
std::string SettingsFileName(std::string_view programFolder, std::string_view home,
                             Build build = kThisBuild);
// program folder + "UNDO" (Linux) or "UNDO.BAT" (Windows)
std::string UndoFileName(std::string_view programFolder, Build build = kThisBuild);

// Two folder paths name the same folder text: exact bytes on Linux, letter
// case (a-z) ignored on Windows.
bool SamePath(std::string_view a, std::string_view b, Build build = kThisBuild);
// True when the text holds a path delimiter: "/" on Linux; backslash, "/" or ":" on
// Windows.
bool HoldsDelimiter(std::string_view text, Build build = kThisBuild);
// The one plain-name rule: a name that stays inside its folder. Not empty,
// not "." or "..", no delimiter, no zero byte (which would cut it short).
bool IsPlainName(std::string_view name, Build build = kThisBuild);

// "/..." on Linux; "X:\..." or "\..." on Windows.
bool IsAbsolute(std::string_view path, Build build = kThisBuild);

// A typed path made absolute: a relative one is taken from `workingFolder`
// (the process's working folder) and its "." and ".." parts are resolved by
// their text, ".." never above the root. Absolute and empty paths come back
// unchanged.
std::string MakeAbsolute(std::string_view typed, std::string_view workingFolder, Build build = kThisBuild);

// The folder the "..." button goes to for the path box text `typed` while
// `currentFolder` is shown; nullopt when the typed path names no folder (the
// caller reports the error). The parent step happens only when the typed path
// is the current folder. The result ends with the delimiter.
std::optional<std::string> UpTarget(std::string_view typed, std::string_view currentFolder,
                                    const std::function<bool(const std::string&)>& isExistingFolder,
                                    Build build = kThisBuild);

}  // namespace Paths
