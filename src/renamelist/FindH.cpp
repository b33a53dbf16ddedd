#include "renamelist/FindH.h"

#include "browser/DirListing.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"

#include <vector>

namespace FindH {

namespace {

bool EntersFolder(const FileSystem::Entry& entry) {
  if (!entry.isFolder) return false;
  if constexpr (kThisBuild == Build::Windows) {
    return !entry.isHiddenOrSystem;
  } else {
    // Not entering links also keeps a link loop from running forever.
    return !entry.isSymlink && !entry.name.starts_with('.');
  }
}

bool Stopped(const std::atomic<bool>* stop) { return stop && stop->load(std::memory_order_relaxed); }

bool Search(std::string& path, const DirListing::PatternMatcher& mask, const FoundFileCallback& callback,
            const std::atomic<bool>* stop) {
  if (Stopped(stop)) return false;
  // One reading of the folder serves both the files and the subfolders; it is
  // closed before descending, so deep trees hold no open folders.
  std::vector<FileSystem::Entry> entries;
  if (!FileSystem::ReadFolderKinds(path, entries)) return true;

  for (const FileSystem::Entry& entry : entries) {
    if (entry.isFolder || !mask.Matches(entry.name)) continue;
    if (!callback(path, entry.name)) return false;
  }

  const std::size_t length = path.size();
  const char delimiter = Paths::Delimiter();
  for (const FileSystem::Entry& entry : entries) {
    if (!EntersFolder(entry)) continue;
    if (Stopped(stop)) return false;
    path.append(entry.name);
    path += delimiter;
    if (FileSystem::IsKernelPseudoFolder(path)) {
      path.resize(length);
      continue;
    }
    const bool go = Search(path, mask, callback, stop);
    path.resize(length);
    if (!go) return false;
  }
  return true;
}

}  // namespace

bool SearchFolder(std::string& path, std::string_view mask, const FoundFileCallback& callback,
                  const std::atomic<bool>* stop) {
  return Search(path, DirListing::PatternMatcher(mask), callback, stop);
}

bool FindFilesRecursive(const std::string& folder, std::string_view mask, const FoundFileCallback& callback,
                        const std::atomic<bool>* stop) {
  std::string path = Paths::WithTrailingDelimiter(folder);
  if (mask.empty()) mask = kThisBuild == Build::Windows ? "*.*" : "*";
  return SearchFolder(path, mask, callback, stop);
}

}  // namespace FindH
