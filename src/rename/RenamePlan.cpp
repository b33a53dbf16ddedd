#include "rename/RenamePlan.h"

#include <algorithm>
#include <string_view>
#include <cstdint>
#include <functional>

namespace RenamePlan {

namespace {

constexpr std::size_t kNone = static_cast<std::size_t>(-1);

// Which changed entry holds each old name of its folder. Open addressing
// over one flat array: a chain of nodes per bucket costs a cache miss at
// every step, and a run has a hundred thousand names and more.
class Holders {
 public:
  Holders(const std::vector<PreviewEntry>& entries, const std::vector<std::size_t>& folders)
      : entries_(entries), folders_(folders) {
    std::size_t size = 16;
    while (size < 2 * entries.size()) size *= 2;
    slots_.assign(size, Slot{0, kNone});
    mask_ = size - 1;
  }

  // The first entry to hold a name keeps it.
  void Add(std::size_t entry) {
    const std::uint64_t hash = Hash(folders_[entry], entries_[entry].oldName);
    for (std::size_t at = hash & mask_;; at = (at + 1) & mask_) {
      Slot& slot = slots_[at];
      if (slot.entry == kNone) {
        slot = {hash, entry};
        return;
      }
      if (slot.hash == hash && Holds(slot.entry, folders_[entry], entries_[entry].oldName)) return;
    }
  }

  std::size_t Find(std::size_t folder, std::string_view name) const {
    const std::uint64_t hash = Hash(folder, name);
    for (std::size_t at = hash & mask_;; at = (at + 1) & mask_) {
      const Slot& slot = slots_[at];
      if (slot.entry == kNone) return kNone;
      if (slot.hash == hash && Holds(slot.entry, folder, name)) return slot.entry;
    }
  }

 private:
  struct Slot {
    std::uint64_t hash;
    std::size_t entry;
  };

  static std::uint64_t Hash(std::size_t folder, std::string_view name) {
    std::uint64_t hash = std::hash<std::string_view>()(name) ^ (folder * 0x9E3779B97F4A7C15ull);
    return hash ^ (hash >> 29);  // the high bits reach the index too
  }
  bool Holds(std::size_t entry, std::size_t folder, std::string_view name) const {
    return folders_[entry] == folder && entries_[entry].oldName == name;
  }

  const std::vector<PreviewEntry>& entries_;
  const std::vector<std::size_t>& folders_;
  std::vector<Slot> slots_;
  std::size_t mask_ = 0;
};

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
    Holders holders(entries, folders);
    for (std::size_t i = 0; i < count; ++i)
      if (entries[i].newName != entries[i].oldName) holders.Add(i);
    for (std::size_t i = 0; i < count; ++i) {
      if (entries[i].newName == entries[i].oldName) continue;
      const std::size_t found = holders.Find(folders[i], entries[i].newName);
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
