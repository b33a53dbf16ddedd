#pragma once

#include <atomic>
#include <cstddef>

namespace RenameEngine {

// Shared between a rename run or an undo and the thread that watches it: how
// far the work has got, and a request to stop it between two entries.
struct RunControl {
  std::atomic<std::size_t> done{0};   // entries attempted so far
  std::atomic<std::size_t> total{0};  // entries the work will attempt (0: not known)
  std::atomic<bool> cancel{false};
};

}  // namespace RenameEngine
