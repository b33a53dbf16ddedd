#pragma once

#include "platform/Build.h"

#include <atomic>
#include <functional>
#include <string>
#include <string_view>

// The recursive file search behind "All files with subfolders". Keeps no state
// of its own, so a search may run on any thread.
namespace FindH {

// Receives the folder being searched (with its trailing delimiter) and the
// name of one entry found there; answers true to go on, false to stop the
// whole search.
using FoundFileCallback = std::function<bool(const std::string& folder, const std::string& name)>;

// Depth-first search below `folder`: a folder's files that match `mask` (an
// empty mask takes every file), in the order the file system returns them,
// before its subfolders, each subfolder finished before the next. The mask
// filters files only; every subfolder is entered whatever its name, except
// (Linux) folders whose names begin with "." and symbolic links, and
// (Windows) hidden and system folders, and the kernel's pseudo file systems
// (proc, sysfs, ...) mounted below `folder`. Unreadable folders give nothing.
// Answers false when the callback stopped the search, or `stop` (may be null;
// set from another thread) was found set: it is read before each folder is
// read or entered, so that a tree of many folders without files stops too.
bool FindFilesRecursive(const std::string& folder, std::string_view mask, const FoundFileCallback& callback,
                        const std::atomic<bool>* stop = nullptr);

// The search of one folder and, below it, its subfolders. `path` ends with the
// delimiter; it is used as working space and comes back unchanged.
bool SearchFolder(std::string& path, std::string_view mask, const FoundFileCallback& callback,
                  const std::atomic<bool>* stop = nullptr);

}  // namespace FindH
