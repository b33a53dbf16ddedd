#pragma once

#include <string>

// One entry of the rename list: a file or folder name and the folder text that
// holds it, both as the file system's bytes.
struct RenameListEntry {
  std::string filename;
  std::string path;
  bool operator==(const RenameListEntry&) const = default;
};
