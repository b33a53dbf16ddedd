#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

// A set of entry numbers, each filed under the hash of a name the caller
// derives from it; lookups take a hash and a test of the caller's key.
// Open addressing over one flat array: a node per name, as the standard
// containers keep, costs an allocation and a cache miss at every step, and
// a run has a hundred thousand names and more.
class EntryTable {
 public:
  static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

  // Room for `capacity` entries.
  explicit EntryTable(std::size_t capacity) {
    std::size_t size = 16;
    while (size < 2 * capacity) size *= 2;
    slots_.assign(size, Slot{0, kNone});
    mask_ = size - 1;
  }

  static std::uint64_t Hash(std::string_view name, std::uint64_t salt = 0) {
    std::uint64_t hash = std::hash<std::string_view>()(name) ^ (salt * 0x9E3779B97F4A7C15ull);
    return hash ^ (hash >> 29);  // the high bits reach the slot number too
  }

  // Files `entry` unless an entry for which `same` holds is filed under the
  // hash already; returns the entry that holds the key (`entry` when added).
  // At most `capacity` entries are ever filed, so free slots always remain.
  template <typename Same>
  std::size_t Insert(std::uint64_t hash, std::size_t entry, Same same) {
    std::size_t reuse = kNone;  // the first erased slot passed
    std::size_t at = hash & mask_;
    for (;; at = (at + 1) & mask_) {
      const Slot& slot = slots_[at];
      if (slot.entry == kNone) break;
      if (slot.entry == kErased) {
        if (reuse == kNone) reuse = at;
      } else if (slot.hash == hash && same(slot.entry)) {
        return slot.entry;
      }
    }
    slots_[reuse == kNone ? at : reuse] = {hash, entry};
    ++live_;
    return entry;
  }

  template <typename Same>
  std::size_t Find(std::uint64_t hash, Same same) const {
    const std::size_t at = Locate(hash, same);
    return at == kNone ? kNone : slots_[at].entry;
  }

  // Takes out the entry for which `same` holds; returns it, or kNone.
  template <typename Same>
  std::size_t Erase(std::uint64_t hash, Same same) {
    const std::size_t at = Locate(hash, same);
    if (at == kNone) return kNone;
    const std::size_t entry = slots_[at].entry;
    slots_[at].entry = kErased;
    --live_;
    return entry;
  }

  bool empty() const { return live_ == 0; }
  std::size_t size() const { return live_; }

  template <typename Visit>
  void ForEach(Visit visit) const {
    for (const Slot& slot : slots_)
      if (slot.entry != kNone && slot.entry != kErased) visit(slot.entry);
  }

 private:
  static constexpr std::size_t kErased = kNone - 1;
  struct Slot {
    std::uint64_t hash;
    std::size_t entry;
  };

  template <typename Same>
  std::size_t Locate(std::uint64_t hash, Same same) const {
    for (std::size_t at = hash & mask_;; at = (at + 1) & mask_) {
      const Slot& slot = slots_[at];
      if (slot.entry == kNone) return kNone;
      if (slot.entry != kErased && slot.hash == hash && same(slot.entry)) return at;
    }
  }

  std::vector<Slot> slots_;
  std::size_t mask_ = 0;
  std::size_t live_ = 0;
};
