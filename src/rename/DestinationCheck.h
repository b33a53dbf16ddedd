#pragma once

#include "platform/FileSystem.h"
#include "rename/Preview.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// What the preview promises: each entry is classified against the other
// entries and against the folder it lies in, before Yes is offered.
enum class Destination : std::uint8_t {
  Renames,       // the name changes and nothing stands in its way
  Unchanged,     // the new name is the old one
  InvalidName,   // the new name fails the file-name test (blocks the run)
  Conflict,      // another entry of the folder gets the same new name (blocks the run)
  NameTaken,     // an entry outside the run already has the new name
  CaseConflict,  // an earlier entry's new name differs in letter case alone, on a volume that ignores case
};

// The two outcomes that do not block the run but make the entry fail in it.
inline bool WillFail(Destination outcome) {
  return outcome == Destination::NameTaken || outcome == Destination::CaseConflict;
}

struct DestinationReport {
  std::vector<Destination> outcomes;  // one per entry, in list order
  std::size_t renames = 0;            // entries expected to get their new name
  std::size_t taken = 0;              // NameTaken entries
  std::size_t caseConflicts = 0;      // CaseConflict entries
  // The first entry that blocks the run, exactly as CheckPreview tells it.
  PreviewCheck blocking;
  std::size_t failures() const { return taken + caseConflicts; }
};

// Classifies every entry. An entry's new name counts as free when it is the
// old name of another entry of the same folder that changes its name in this
// run (chains and swaps are the run's own business), also where the new name
// is held on disk by that entry. The disk is asked once per changed entry
// whose new name is not freed by the run (one lookup), and each folder's
// volume once whether it ignores letter case; there new names are compared
// by their lower-case forms (Latin-1 table, as the Change-case page has it).
// In the later entries of a group whose new names fall together that way
// are marked CaseConflict (the first of them can be given its name).
DestinationReport CheckDestinations(const std::vector<PreviewEntry>& entries);

// Why an entry is marked, for its tooltip and its detail box; empty for
// Renames and Unchanged.
std::string DestinationReason(Destination outcome);

// The confirmation pane's outlook: "<n> names will change." and, when some
// entries will fail, "<n> names will change; <m> will fail: <t> names are
// taken on disk, <c> differ from another new name only in letter case."
// (only the parts that are not zero).
std::string OutlookText(const DestinationReport& report);

// After a run or its undo: one line per entry that could not be renamed,
// "<path> -> <new name>: <reason>", at most `most` lines, then "... and <k>
// more." when some were left out.
std::string FailedRenamesText(const std::vector<FileSystem::FailedRename>& failed, std::size_t most);
