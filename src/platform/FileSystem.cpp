#include "platform/FileSystem.h"

#include "platform/Paths.h"

#include <exception>

namespace FileSystem {

void NoteFailure(std::vector<FailedRename>& failed, const std::string& folder, const std::string& oldName,
                 const std::string& newName, RenameResult result) noexcept {
  try {
    std::string reason = RenameFailureReason(folder, oldName, newName, result);
    failed.push_back({Paths::Join(folder, oldName), newName, std::move(reason)});
  } catch (const std::exception&) {
  }
}

}  // namespace FileSystem
