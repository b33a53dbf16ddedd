#pragma once

#include "platform/Build.h"
#include "platform/FileSystem.h"

#include <string>
#include <string_view>
#include <vector>

// The file view's listing: which entries of a folder become rows, and how the
// pattern box's text matches a name.
namespace DirListing {

// Linux: shell wildcard matching with no options (case-sensitive, "*" also
// matches a leading dot, "?", bracket expressions, backslash escapes).
// Windows: "*" and "?" with letter case ignored, as the system matches file
// names: "*.*" also matches a name without a dot, "*." only such names, and a
// "?" before a dot or at the pattern's end may also match nothing
// ("file?.txt" matches "file.txt").
// An empty pattern and a pattern holding a path delimiter match nothing, so
// every row names an entry of the listed folder.
bool PatternMatches(std::string_view pattern, std::string_view name, Build build = kThisBuild);

// A pattern prepared once and matched against many names, by the rules above.
class PatternMatcher {
 public:
  explicit PatternMatcher(std::string_view pattern, Build build = kThisBuild);
  bool Matches(std::string_view name) const;

 private:
  Build build_;
  bool never_ = false;       // empty, or holds a delimiter
  bool everything_ = false;  // "*" (Windows also "*.*")
  std::string pattern_;
  std::u32string foldedPattern_;  // Windows: upper case, wildcards read as the system reads them
};

// The Windows matcher on its own; pure, so it is checked on every machine.
bool WindowsWildcardMatch(std::string_view pattern, std::string_view name);

// The entries of `folder` that are not folders (links to folders count as
// folders) and whose names match `pattern`, in the order the file system
// returns them. Empty when the folder cannot be read. One pass over the
// folder; only matching names are examined further. With Detail::KindsOnly
// the sizes and times are left for FileSystem::ExamineEntry to fill in when
// they are wanted (a view shows a few rows of a large folder at a time).
enum class Detail { SizesAndTimes, KindsOnly };
std::vector<FileSystem::Entry> ListMatchingFiles(const std::string& folder, std::string_view pattern,
                                                 Build build = kThisBuild,
                                                 Detail detail = Detail::SizesAndTimes);

// A folder's rows as the file view shows them: the matching entries read by
// name and kind alone, in name order. Touches no widget, so a run that ends
// in the background reads them there.
struct FolderRows {
  std::string folder;   // with the trailing delimiter
  std::string pattern;
  std::vector<FileSystem::Entry> rows;
};
FolderRows ReadFolderRows(const std::string& folder, const std::string& pattern, Build build = kThisBuild);

// "This folder cannot be read: <the system's reason>." for a folder that
// cannot be listed; empty when it can. An empty listing says nothing about
// why it is empty: the file view and the folder tree ask this then.
std::string UnreadableFolderText(const std::string& folder);

// Ascending by name: byte order of UTF-8 is code point order, and names that
// are not valid UTF-8 still get one stable place. The one order of the file
// view's rows and of the folder tree's siblings.
void SortByName(std::vector<FileSystem::Entry>& entries);

// One subfolder as the folder tree shows it.
struct Subfolder {
  std::string name;
  std::string path;            // the folder's full path
  bool hasSubfolders = false;  // it gets a placeholder child, so it can be opened
};

// The folders of `folder` (links to folders count), sorted by name, each
// probed for subfolders of its own. Empty when the folder cannot be read.
std::vector<Subfolder> ListSubfolders(const std::string& folder);

}  // namespace DirListing
