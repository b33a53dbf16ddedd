#include "rename/RenamePlan.h"

#include "rename/EntryTable.h"

#include <algorithm>
#include <string_view>

namespace RenamePlan {

namespace {

constexpr std::size_t kNone = static_cast<std::size_t>(-1);

}  // namespace

std::string TemporaryName(std::uint64_t temporaryTag, std::size_t n) {
  return std::string(kCycleNamePrefix) + std::to_string(temporaryTag) + "-" + std::to_string(n);
}

Plan PlanRenames(const std::vector<PreviewEntry>& entries, std::uint64_t temporaryTag) {
  Plan plan;
  const std::size_t count = entries.size();
  // Which entry holds each old name; an entry's successor is the one holding
  // its new name, which has to move first.
  const std::vector<std::size_t> folders = FolderNumbers(entries);
  std::vector<std::size_t> successor(count, kNone);
  {
    EntryTable holders(count);
    const auto holding = [&](std::size_t folder, std::string_view name) {
      return [&, folder, name](std::size_t j) { return folders[j] == folder && entries[j].oldName == name; };
    };
    for (std::size_t i = 0; i < count; ++i)
      if (entries[i].newName != entries[i].oldName)
        holders.Insert(EntryTable::Hash(entries[i].oldName, folders[i]), i, holding(folders[i], entries[i].oldName));
    for (std::size_t i = 0; i < count; ++i) {
      if (entries[i].newName == entries[i].oldName) continue;
      const std::size_t found =
          holders.Find(EntryTable::Hash(entries[i].newName, folders[i]), holding(folders[i], entries[i].newName));
      if (found != i) successor[i] = found;
    }
  }

  enum : std::uint8_t { kWaiting, kOnPath, kPlanned };
  std::vector<std::uint8_t> state(count, kWaiting);
  plan.steps.reserve(count);
  std::vector<std::size_t> path;
  std::size_t cycles = 0;
  const auto whole = [&](std::size_t i) { plan.steps.push_back({&entries[i], i, Step::Whole}); };
  for (std::size_t start = 0; start < count; ++start) {
    if (state[start] != kWaiting || entries[start].newName == entries[start].oldName) continue;
    path.clear();
    std::size_t next = start;
    while (next != kNone && state[next] == kWaiting) {
      state[next] = kOnPath;
      path.push_back(next);
      next = successor[next];
    }
    // Back along the path: each entry's new name is free once the one after
    // it has moved. A path that runs into itself ends in a cycle.
    std::size_t cycleStart = path.size();
    if (next != kNone && state[next] == kOnPath)
      for (cycleStart = 0; path[cycleStart] != next; ++cycleStart) {
      }
    if (cycleStart < path.size()) {
      const PreviewEntry& first = entries[path[cycleStart]];
      const std::string temporary = TemporaryName(temporaryTag, cycles++);
      plan.splits.push_back({temporary, first.oldName, first.path});
      plan.steps.push_back({&plan.splits.back(), path[cycleStart], Step::ToTemporary});
      for (std::size_t k = path.size(); k-- > cycleStart + 1;) whole(path[k]);
      plan.splits.push_back({first.newName, temporary, first.path});
      plan.steps.push_back({&plan.splits.back(), path[cycleStart], Step::FromTemporary});
    }
    for (std::size_t k = std::min(cycleStart, path.size()); k-- > 0;) whole(path[k]);
    for (const std::size_t i : path) state[i] = kPlanned;
  }
  return plan;
}

}  // namespace RenamePlan
