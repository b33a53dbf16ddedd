#include "rename/DestinationCheck.h"

#include "rename/EntryTable.h"
#include "rename/StringH.h"

#include <string_view>

namespace {

// The entries of one folder that change their name, in list order.
struct Folder {
  const std::string* path = nullptr;  // as the first of its entries spells it
  std::vector<std::size_t> changed;
};

// Groups the changed entries by folder (FolderNumbers), folders in the order
// their first changed entry comes.
std::vector<Folder> ChangedByFolder(const std::vector<PreviewEntry>& entries, const std::vector<Destination>& outcomes) {
  constexpr std::size_t kNone = static_cast<std::size_t>(-1);
  const std::vector<std::size_t> numbers = FolderNumbers(entries);
  std::vector<Folder> folders;
  std::vector<std::size_t> slot;  // folder number -> its place in `folders`
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (outcomes[i] != Destination::Renames) continue;
    if (numbers[i] >= slot.size()) slot.resize(numbers[i] + 1, kNone);
    std::size_t& at = slot[numbers[i]];
    if (at == kNone) {
      at = folders.size();
      folders.push_back({&entries[i].path, {}});
    }
    folders[at].changed.push_back(i);
  }
  return folders;
}

// Marks the changed entries of one folder whose new name an earlier entry
// holds in another spelling (CaseConflict) or the folder holds on disk
// (NameTaken), comparing names by `keyOf`: their exact bytes, or on a volume
// that ignores case their folded forms. A name that is another changed
// entry's old name is freed by the run and never taken.
template <typename Key, typename KeyOf>
void CheckFolderBy(const std::vector<PreviewEntry>& entries, const Folder& folder, KeyOf keyOf,
                   std::vector<Destination>& outcomes) {
  // Each wanted name, filed with the entry that wants it.
  EntryTable wanted(folder.changed.size());
  const auto wanting = [&](const Key& key) {
    return [&](std::size_t j) { return keyOf(entries[j].newName) == key; };
  };
  for (std::size_t i : folder.changed) {
    const Key key = keyOf(entries[i].newName);
    if (wanted.Insert(EntryTable::Hash(key), i, wanting(key)) != i) outcomes[i] = Destination::CaseConflict;
  }
  for (std::size_t i : folder.changed) {
    const Key key = keyOf(entries[i].oldName);
    wanted.Erase(EntryTable::Hash(key), wanting(key));
  }
  if (wanted.empty()) return;

  // The listing is read once (one pass, a table lookup per name) as long as
  // it is not much longer than the list of wanted names; those of a larger
  // folder not met by then are looked up one by one on disk, where a volume
  // that ignores case answers to any spelling itself.
  const std::string& path = *folder.path;
  std::size_t budget = 4 * wanted.size() + 1024;
  const bool read = FileSystem::VisitNames(path, [&](std::string_view listed) {
    const Key key = keyOf(listed);
    const std::size_t i = wanted.Erase(EntryTable::Hash(key), wanting(key));
    if (i != EntryTable::kNone) outcomes[i] = Destination::NameTaken;
    return !wanted.empty() && --budget > 0;
  });
  if (read && budget > 0) return;
  wanted.ForEach([&](std::size_t i) {
    if (FileSystem::NameExists(path, entries[i].newName)) outcomes[i] = Destination::NameTaken;
  });
}

void CheckFolder(const std::vector<PreviewEntry>& entries, const Folder& folder, std::vector<Destination>& outcomes) {
  if (FileSystem::IgnoresLetterCase(*folder.path, entries[folder.changed.front()].oldName))
    CheckFolderBy<std::string>(entries, folder, [](std::string_view name) { return StringH::ConvertCase(name, true); },
                               outcomes);
  else
    CheckFolderBy<std::string_view>(entries, folder, [](std::string_view name) { return name; }, outcomes);
}

std::string Counted(std::size_t count, const char* one, const char* many) {
  return std::to_string(count) + (count == 1 ? one : many);
}

}  // namespace

DestinationReport CheckDestinations(const std::vector<PreviewEntry>& entries) {
  DestinationReport report;
  const std::vector<bool> conflicts = MarkConflicts(entries);
  report.blocking = CheckPreview(entries, conflicts);
  report.outcomes.resize(entries.size(), Destination::Renames);
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const PreviewEntry& entry = entries[i];
    if (!StringH::IsValidFileName(entry.newName))
      report.outcomes[i] = Destination::InvalidName;
    else if (conflicts[i])
      report.outcomes[i] = Destination::Conflict;
    else if (entry.newName == entry.oldName)
      report.outcomes[i] = Destination::Unchanged;
  }
  for (const Folder& folder : ChangedByFolder(entries, report.outcomes)) CheckFolder(entries, folder, report.outcomes);
  for (Destination outcome : report.outcomes) {
    report.renames += outcome == Destination::Renames;
    report.taken += outcome == Destination::NameTaken;
    report.caseConflicts += outcome == Destination::CaseConflict;
  }
  return report;
}

std::string DestinationReason(Destination outcome) {
  switch (outcome) {
    case Destination::InvalidName: return "Invalid filename!";
    case Destination::Conflict: return "Another entry of this folder gets the same new name.";
    case Destination::NameTaken:
      return "A file or folder of this name already exists in the folder and is not part of this rename: "
             "this entry will keep its name.";
    case Destination::CaseConflict:
      return "The volume of this folder ignores letter case, and an earlier entry of the folder gets a new name "
             "that differs from this one only in letter case: this entry will keep its name.";
    case Destination::Renames:
    case Destination::Unchanged: break;
  }
  return {};
}

std::string OutlookText(const DestinationReport& report) {
  std::string text = Counted(report.renames, " name will change", " names will change");
  if (report.failures() == 0) return text + ".";
  text += "; " + std::to_string(report.failures()) + " will fail: ";
  if (report.taken > 0) text += Counted(report.taken, " name is taken on disk", " names are taken on disk");
  if (report.taken > 0 && report.caseConflicts > 0) text += ", ";
  if (report.caseConflicts > 0)
    text += Counted(report.caseConflicts, " differs from another new name only in letter case",
                    " differ from another new name only in letter case");
  return text + ".";
}

std::string FailedRenamesText(const std::vector<FileSystem::FailedRename>& failed, std::size_t most) {
  std::string text;
  for (std::size_t i = 0; i < failed.size() && i < most; ++i) {
    if (i > 0) text += "\r\n";
    text += failed[i].path + " -> " + failed[i].newName + ": " + failed[i].reason;
  }
  if (failed.size() > most) text += "\r\n... and " + std::to_string(failed.size() - most) + " more.";
  return text;
}
