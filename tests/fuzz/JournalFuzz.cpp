// A libFuzzer target over the journal reader: any bytes under a journal's
// name are read or refused, never more. A journal that is read must agree
// with itself: the quick count and the full read find the same entries, no
// more changed than read, and an undone run is a finished one.
// Built with -fsanitize=fuzzer it is fuzzed; with FuzzReplayMain.cpp it
// replays the checked-in corpus (real journals the writer made) in the
// ordinary test suite.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "rename/Journal.h"

#define JOURNAL_FUZZ_CHECK(condition)                                                   \
  do {                                                                                  \
    if (!(condition)) {                                                                 \
      std::fprintf(stderr, "journal fuzz: check failed: %s (line %d)\n", #condition,   \
                   __LINE__);                                                           \
      std::abort();                                                                     \
    }                                                                                   \
  } while (false)

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  Journal::JournalContents contents;
  std::string reason;
  if (!Journal::ReadJournalBytes(bytes, contents, reason)) {
    JOURNAL_FUZZ_CHECK(!reason.empty());
    return 0;
  }
  JOURNAL_FUZZ_CHECK(contents.entries == contents.countedEntries);
  JOURNAL_FUZZ_CHECK(contents.changed <= contents.entries);
  JOURNAL_FUZZ_CHECK(contents.refused <= contents.entries && contents.shared <= contents.entries);
  JOURNAL_FUZZ_CHECK(!contents.undone || contents.finished);
  // Every entry takes bytes of its own: none can be read from nothing.
  JOURNAL_FUZZ_CHECK(contents.entries <= size / 12);
  return 0;
}
