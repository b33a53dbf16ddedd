#pragma once

#include "platform/Build.h"
#include "platform/FileSystem.h"
#include "platform/JournalFiles.h"
#include "rename/RunControl.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// The rename journal: every rename run records, before it renames anything,
// what it is about to do, in a file of its own in the user's state folder.
// From it a run can be undone inside the program, also after a restart, and a
// run cut short by a crash or a kill is found at the next start.
//
// The file ("run-s<sequence>-<pid>.journal", numbered by a counter in the
// state folder, so that the order of runs never depends on the clock) is a
// sequence of records: a type byte, the payload's length, the payload, a
// CRC-32 over all three. Names are stored length-prefixed, as exact bytes. A record cut
// short or damaged ends the journal: everything before it counts.
//
// Write-ahead: the intended renames of a batch are written and fdatasync'ed
// before the first of them is attempted, the batch's results are written
// after it. Results of an entry whose names another entry of its batch also
// uses (chains such as b->c, a->b, and changes of letter case) are written at
// once after its rename, so that after a kill -9 the state of every entry is
// known: from the journal, and for entries of the one unconfirmed batch from
// what is on disk. Each name a rename claims with an empty entry (where the
// volume refuses the no-replace flag) is recorded before anything is renamed
// onto it, and the intent to claim it before it is made; only such a claim,
// still the same empty entry, is ever removed, and a claim that a kill kept
// from being recorded only when it can be nothing else (see
// FileSystem::IsLeftoverClaim): what else blocks an undo stays and is named.
// An undo is journaled too (begun, its claims and temporary names, its
// progress), so that one cut short is found and resumed. Names read back get
// a rename's checks; an entry that fails them is never acted on.
//
// A journal is locked (flock; LockFileEx in the Windows build) while a run
// writes it or an undo works on it; other processes leave it alone then.
namespace Journal {

// The environment values the state folder depends on.
struct StateEnvironment {
  std::string xdgStateHome;  // XDG_STATE_HOME (Linux)
  std::string home;          // HOME (Linux)
  std::string localAppData;  // LOCALAPPDATA (Windows)
};

// Linux: $XDG_STATE_HOME/quillon when XDG_STATE_HOME is an absolute path,
// else $HOME/.local/state/quillon (HOME empty: "/"). Windows:
// %LOCALAPPDATA%\Quillon. No trailing delimiter. Empty when nothing fits.
std::string StateFolder(const StateEnvironment& environment, Build build = kThisBuild);
// The same, from this process's environment.
std::string StateFolderOfThisUser();

// Creates the state folder and the folders above it that are missing (for
// this user only). False with the system's reason, or why the folder is not
// this user's alone (JournalFiles::IsPrivateFolder).
bool CreateStateFolder(const std::string& stateFolder, std::string& reason);

// At most this many runs are kept; older journals go when a new run starts.
inline constexpr std::size_t kKeptRuns = 20;

// One rename of a run. `folder` ends with the delimiter.
struct Entry {
  std::string folder;
  std::string oldName;
  std::string newName;
};

// One rename of a batch being written: views into the caller's names.
struct EntryView {
  std::string_view folder;
  std::string_view oldName;
  std::string_view newName;
};

// For each entry of a batch: whether its old or new name (letter case
// ignored) is also a name of another entry of the batch, or of the entry
// itself in the other role (a change of case). The outcome of such an entry
// cannot be read from the disk afterwards, so its result is written at once.
std::vector<bool> SharedNames(const std::vector<EntryView>& batch);

enum class EntryState : std::uint8_t {
  Pending,   // not yet known (read from a journal: resolved from the disk)
  Renamed,   // the entry has its new name
  Failed,    // the entry kept its old name (or was gone)
  Stranded,  // the entry stands under a temporary name (see `temporary`)
};

// Writes the journal of one run. Not copyable; closes (without marking the
// run finished) when it goes.
class Writer {
 public:
  Writer() = default;
  ~Writer();
  Writer(const Writer&) = delete;
  Writer& operator=(const Writer&) = delete;

  // Creates the state folder when needed and a new journal in it, durably,
  // then deletes the journals beyond the kKeptRuns newest. False with the
  // system's reason, or why the state folder is not this user's alone, (for "Undo information cannot be saved: <reason>. Rename
  // anyway?") when the journal cannot be created.
  bool Open(const std::string& stateFolder, std::string& reason);
  bool IsOpen() const { return file_.IsOpen(); }
  const std::string& Path() const { return path_; }

  // The number of renames the run will attempt, recorded with the first
  // intent (the "<total>" of an unfinished run).
  void SetTotal(std::size_t total) { total_ = total; }

  // The write-ahead protocol of a run; the writer decides what is written
  // when. Per batch: Intend (its intended renames, durable before any of them
  // is attempted); per entry, in the batch's order, Attempt before its rename
  // and Done with its result after it; then EndBatch, which writes the
  // batch's results. The result of an entry whose names another entry of its
  // batch also uses (chains such as b->c, a->b, and changes of letter case)
  // is written by Done at once, since the disk cannot tell it afterwards.
  // Watch has the session's temporary names and claims recorded, as the
  // attempted entry's, before they are made. False with the reason when
  // something could not be written: the run stops before its next rename.
  bool Intend(const std::vector<EntryView>& batch, std::string& reason);
  void Watch(FileSystem::RenameSession& session);
  void Attempt();
  bool Done(EntryState state, const std::string& temporary, std::string& reason);
  bool EndBatch(std::string& reason);

  // The records themselves (the protocol above writes them; tests make the
  // journal of a run cut short with them).
  // The intended renames of the next batch, durable when this returns true.
  bool WriteIntent(const std::vector<EntryView>& batch, std::string& reason);
  // Results of entries first..first+states.size()-1 (numbered across the
  // run); `temporaries` holds the temporary name of each Stranded state in
  // order. Not synced: the next intent's sync or Finish makes it durable.
  bool WriteResults(std::size_t first, const std::vector<EntryState>& states,
                    const std::vector<std::string>& temporaries, std::string& reason);
  // The temporary name entry `index` is about to be moved to, durable when
  // this returns true.
  bool WriteTemporary(std::size_t index, const std::string& temporary, std::string& reason);
  // A name entry `index` claimed (an empty entry made where the volume
  // refuses the no-replace flag), written before anything is renamed onto
  // it; only a recorded claim is ever removed by a later undo or recovery.
  // Not synced: a claim that a power cut loses stays, an empty entry.
  bool WriteClaim(std::size_t index, const std::string& name, const FileSystem::ClaimIdentity& claim,
                  std::string& reason);
  // That entry `index` is about to claim `name` for the rename of `from`
  // onto it (intendedAt, see FileSystem::ClaimEvent), written before the
  // claim is made; 0: the claim was not made after all. Not synced either.
  bool WriteClaimIntent(std::size_t index, const std::string& name, const std::string& from,
                        std::uint64_t intendedAt, std::string& reason);
  // Marks the run finished (durably) and closes the journal.
  bool Finish(std::string& reason);

 private:
  bool Append(const std::string& record, bool sync, std::string& reason);
  JournalFiles::File file_;
  std::string path_;
  std::string lastFolder_;  // the folder of the last entry written
  std::size_t written_ = 0;  // entries written so far
  std::size_t total_ = 0;
  // The batch under way: its first entry, which of its entries share names,
  // the results so far and the temporary names of the Stranded ones.
  std::size_t batchFirst_ = 0;
  std::vector<bool> shared_;
  std::vector<EntryState> states_;
  std::vector<std::string> temporaries_;
  std::size_t attempted_ = 0;  // the entry being renamed, numbered across the run
  // Set when a temporary name or claim could not be recorded.
  bool noticeFailed_ = false;
  std::string noticeReason_;
};

// The journals in the state folder, newest first (none without a folder,
// none when the folder is not this user's alone: see IsPrivateFolder).
std::vector<std::string> RunFiles(const std::string& stateFolder);
// The run journals' names and sizes, newest first. Journals only grow, so
// while the stamp stays the same, so does NewestUndoableRun's answer.
std::string RunFilesStamp(const std::string& stateFolder);

// What the start-up says once about journals it cannot trust: the state
// folder (another user's, writable by others) or single journals (not a
// regular file, another user's, too large, damaged: a record that announces
// more than the file holds). Empty when all is well.
std::string JournalNotice(const std::string& stateFolder);

// The newest run that is not undone and renamed at least one entry, skipping
// journals that another process holds. Nullopt when there is none (the
// "Undo last rename" command is then disabled).
std::optional<std::string> NewestUndoableRun(const std::string& stateFolder);

// A run that did not finish (a crash or kill), found at start-up.
struct UnfinishedRun {
  std::string path;
  std::size_t changed = 0;  // "<n> of <total> names were changed"
  std::size_t total = 0;
  std::string folder;             // the folder of its first entry (ends with the delimiter)
  std::size_t otherFolders = 0;   // how many other folders its entries lie in
  // Not the run but an undo of it was cut short ("The last undo did not
  // finish"); `changed` counts the names still changed.
  bool undoCut = false;
};
// The newest journal that is neither finished nor undone, or whose undo was
// cut short, and that no running process holds, with its pending entries
// decided from the disk.
std::optional<UnfinishedRun> FindUnfinishedRun(const std::string& stateFolder);

struct UndoResult {
  std::size_t undone = 0;
  std::size_t errors = 0;
  // Full paths of entries left under a temporary name by a failed change of
  // letter case (the UI names them in an error box).
  std::vector<std::string> stranded;
  // Every entry that could not be renamed back, with the reason.
  std::vector<FileSystem::FailedRename> failed;
  // Set when nothing could be done at all (journal unreadable, held by
  // another process, already undone); counts are then 0.
  std::string error;
  // No entry could be undone (errors only: the folder moved, the volume
  // gone): the run was not marked undone and can be undone again later.
  bool keptUndoable = false;
  // Cancel stopped it part way; the rest of the run can still be undone.
  bool cancelled = false;
};

// Renames every entry the run changed back, last to first, never replacing
// anything: an entry whose new name is gone or whose old name is taken again
// counts as an error and stays as it is. An entry left under a temporary
// name gets its old name back. The run is then marked undone (and finished),
// unless no entry could be undone at all (its folder moved, its volume gone):
// then the run stays undoable (`keptUndoable`).
// With `control`, how far the undo has got is reported there, and a cancel
// request stops it between two entries: what was undone is recorded, the
// rest of the run stays undoable (`cancelled`).
UndoResult UndoRun(const std::string& path, RenameEngine::RunControl* control = nullptr);

// "No" to the start-up question: the run is marked finished and its names are
// kept; an entry left under a temporary name is given its new name (or, when
// that is taken, its old one). Every entry's state is recorded with the mark,
// so that a later undo never acts on what the user changed by hand since.
// False with a reason when the journal cannot be written.
bool KeepRun(const std::string& path, std::string& reason);

// What a journal's bytes tell, read as the start-up reads them, without
// looking at the disk: the fuzz target's way in. False with the reason when
// they are refused.
struct JournalContents {
  std::size_t entries = 0;         // read with their names
  std::size_t countedEntries = 0;  // counted only, as a quick read does
  std::size_t changed = 0;
  std::size_t total = 0;
  bool finished = false;
  bool undone = false;
  std::size_t refused = 0;  // entries whose names fail a rename's checks
  std::size_t shared = 0;   // entries sharing a name within their batch
};
bool ReadJournalBytes(const std::string& data, JournalContents& contents, std::string& reason);

}  // namespace Journal
