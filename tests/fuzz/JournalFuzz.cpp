// A libFuzzer target over the journal reader: any bytes under a journal's
// name are read or refused, never more, and a journal read agrees with
// itself. With FuzzReplayMain.cpp it replays the checked-in corpus (real
// journals the writer made) in the ordinary test suite.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "rename/Journal.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Journal::JournalContents c;
  std::string reason;
  if (!Journal::ReadJournalBytes(std::string(reinterpret_cast<const char*>(data), size), c, reason))
    return reason.empty() ? (std::abort(), 0) : 0;
  // The quick count and the full read agree; no entry is read from nothing.
  if (c.entries != c.countedEntries || c.changed > c.entries || c.refused > c.entries || c.shared > c.entries ||
      (c.undone && !c.finished) || c.entries > size / 12)
    std::abort();
  return 0;
}
