#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "rename/Preview.h"

// The order a run renames its entries in, so that any permutation of names
// inside a folder works: an entry whose new name another entry still holds
// waits until that entry has moved (a chain such as a->b, b->c runs as b->c,
// then a->b), and a cycle (a swap a<->b, or a->b->c->a) is broken by one
// temporary name: its first entry moves to the temporary name, the others
// follow one by one, and the first moves on from the temporary name last.
// Entries that wait for nothing keep their preview order. Names are compared
// as exact bytes; a change of letter case alone waits for nothing.
namespace RenamePlan {

enum class Step : std::uint8_t {
  Whole,          // old name -> new name
  ToTemporary,    // the first entry of a cycle: old name -> temporary name
  FromTemporary,  // the same entry, last of its cycle: temporary name -> new name
};

struct Planned {
  const PreviewEntry* rename;  // the names of this step (a split entry's are in `splits`)
  std::size_t entry;           // the entry's index in the preview
  Step step;
};

struct Plan {
  std::vector<Planned> steps;
  // The two halves of each split entry, with the temporary name in the middle.
  std::deque<PreviewEntry> splits;
};

// `entries` must outlive the plan. Unchanged entries are left out.
// `temporaryTag` makes this run's temporary names its own (the process id).
Plan PlanRenames(const std::vector<PreviewEntry>& entries, std::uint64_t temporaryTag);

// Every cycle's temporary name begins so.
inline constexpr std::string_view kCycleNamePrefix = ".quillon-cycle-";

// The temporary name of the `n`th cycle of a run.
std::string TemporaryName(std::uint64_t temporaryTag, std::size_t n);

}  // namespace RenamePlan
