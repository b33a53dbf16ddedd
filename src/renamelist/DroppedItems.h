#pragma once

#include <optional>
#include <string_view>
#include <vector>

#include "platform/Build.h"
#include "renamelist/RenameListEntry.h"

// Files and folders dropped from another program, as a text/uri-list.
namespace DroppedItems {

// The dropped items in the dropped order, each as Filename = its name and
// Path = its folder without a trailing delimiter. Every URL must be a local
// file: URL (no host or "localhost"); its path is percent-decoded to the exact
// bytes of the name. A drop root ("/") names no item and is passed over.
// nullopt when the list holds anything else (a remote or other URL, plain
// text, an undecodable or zero byte, a "." or ".." part) or no URL at all.
std::optional<std::vector<RenameListEntry>> FromUriList(std::string_view uriList, Build build = kThisBuild);

}  // namespace DroppedItems
