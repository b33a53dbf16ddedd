#pragma once

#include "platform/Build.h"
#include "platform/FileSystem.h"
#include "rename/Journal.h"
#include "rename/Preview.h"
#include "rename/RunControl.h"

#include <cstddef>
#include <string>
#include <vector>

// Carrying out a confirmed preview: each changed entry is renamed in its own
// folder without ever replacing anything, every result counted once, and the
// undo file that reverses what was done.
namespace RenameEngine {

// The undo line of one entry, line end included.
// Linux:   mv -n -T -- "folder/new" "folder/old"  LF
// Windows: REN "folder\new" "old"                  CR LF
// folder is the entry's path with a delimiter appended unless it already ends
// in one. Linux: inside the quotes every \ " $ ` gets a backslash in front, so
// that `sh UNDO` renames back and does nothing else; a line break stays inside
// its quotes, so the shell still reads one command. -n -T: the line never
// replaces an existing entry and never moves into a folder of the old name,
// also when the file is run twice. A change of letter case alone goes through
// "folder/.quillon-undo.tmp" (GNU mv -n refuses it where the volume ignores
// case, seeing the old spelling as taken), and only when that name is free;
// if the old name is taken again the entry goes back to its new name.
// Windows: every % is %%.
// The line of a rename that failed (`renamed` false) is written as a no-op
// (Linux ": mv ...", Windows "REM REN ...") since running it would move the
// file that blocked the rename over the entry's own file.
std::string UndoLine(const PreviewEntry& entry, bool renamed, Build build = kThisBuild);

struct RenameRun {
  std::size_t successes = 0;
  std::size_t failures = 0;
  // One line per attempted rename, in preview order.
  std::vector<std::string> undoLines;
  // Set when the loop was cut short by an error: the counts and lines are
  // those reached before it.
  bool stopped = false;
  std::string error;
  // Full paths of entries a failed change of letter case left under a
  // temporary name (counted as failures); the UI names them in an error box.
  std::vector<std::string> stranded;
  // Every entry that could not be renamed, with the reason, in run order.
  std::vector<FileSystem::FailedRename> failed;
  // Set when the run's journal could not be completed after the renames (the
  // next start then offers to undo the run as an unfinished one).
  std::string journalError;
  // The preview held no entry at all: nothing was renamed, and no undo file
  // may be written for it (it would replace the last real run's).
  bool empty = false;
  // The user cancelled the run: the entries not reached kept their names
  // (no count, no undo line); the run is recorded as finished.
  bool cancelled = false;
  // Set by whoever writes the run's undo file, when that failed: the text
  // for the user.
  std::string undoFileError;
};


// Renames every entry whose new name differs from its old one (exact bytes),
// in preview order, through FileSystem::RenameNoReplace. Entries with an
// unchanged name are skipped: no rename, no count, no undo line.
RenameRun PerformRenames(const std::vector<PreviewEntry>& entries, Build build = kThisBuild);

// The same, recorded in `journal` when the caller could open it (Journal::
// Writer::Open; when that fails the UI asks "Undo information cannot be saved:
// <reason>. Rename anyway?", and on Yes a journal that is not open records
// nothing). Batches of
// intended renames are made durable before they are attempted. When the
// journal cannot be written during the run, the run stops before the next
// rename (`stopped`, `error` "Undo information cannot be saved: <reason>.").
// At the end, also when stopped, the run is marked finished where the journal
// still takes it, and the journal is closed.
RenameRun PerformRenames(const std::vector<PreviewEntry>& entries, Journal::Writer& journal,
                         Build build = kThisBuild);
// The same, reporting its progress in `control` and stopping before the next
// entry once `control.cancel` is set (`cancelled`).
RenameRun PerformRenames(const std::vector<PreviewEntry>& entries, Journal::Writer& journal, RunControl& control,
                         Build build = kThisBuild);

// The undo file's text: the lines last to first, so that running it undoes
// the renames in the reverse order of doing them (a chain such as b->c, a->b
// comes back as b->a, then c->b, and nothing is overwritten on the way).
std::string UndoFileText(const std::vector<std::string>& undoLines);

// Writes the undo file whole, replacing an earlier one atomically (an earlier
// file is either kept whole or replaced whole). It names the user's files, so
// it is readable by its owner alone (0600 on POSIX), and a symbolic link
// under its name is replaced, never followed. The Windows file begins with
// a line that makes cmd read the names as UTF-8 ("@CHCP 65001 >NUL"). On failure `errorText` is the
// message for the error box: Linux `Cannot create file "<path>". <reason>`,
// Windows `Cannot create file <path>`. The earlier file, which no longer
// matches the names on disk, is then removed; when that fails too the text
// goes on: ` The earlier undo file is out of date: do not run it.`
bool WriteUndoFile(const std::string& fileName, const std::vector<std::string>& undoLines,
                   std::string& errorText, Build build = kThisBuild);

// Where the undo file may go, in order of preference: the program folder's
// file, then the state folder's (none when `stateFolder` is empty).
std::vector<std::string> UndoFilePlaces(const std::string& programFolder, const std::string& stateFolder,
                                        Build build = kThisBuild);

// Writes the undo file into the first of UndoFilePlaces that can be written
// (the state folder is created when needed); `writtenTo` gets its path. An
// earlier undo file in the program folder is removed when the state folder's
// is written. Only when no place can be written: false, every earlier undo
// file removed where possible, and `errorText` as WriteUndoFile gives it for
// the program folder's file.
bool SaveUndoFile(const std::string& programFolder, const std::string& stateFolder,
                  const std::vector<std::string>& undoLines, std::string& writtenTo, std::string& errorText,
                  Build build = kThisBuild);

// Whether a run gets an undo file, and where it may go. Taken on the GUI
// thread when the run starts; Save runs in the run's worker and notes a
// failure in the run's undoFileError. An empty run keeps the last undo file.
struct UndoFileTarget {
  bool wanted = true;
  std::string programFolder;
  std::string stateFolder;
  void Save(RenameRun& run) const;
  // Whether the file may go into `folder` (with its delimiter).
  bool MayWriteInto(const std::string& folder) const;
};

// "Ready, renamed <successes> file(s)/folder(s), <failures> error(s)."
std::string CountsText(std::size_t successes, std::size_t failures);
// "Ready, undone <undone> file(s)/folder(s), <errors> error(s)."
std::string UndoneText(std::size_t undone, std::size_t errors);
// The error box's text for entries left under a temporary name (full paths).
std::string StrandedText(const std::vector<std::string>& stranded);

// The recursive search's progress line: "1 file found", "<found> files found".
std::string FoundCountText(std::size_t found);

// The status line after a delete: "Ready." or
// "Ready, failed to delete <failures> of the selected files."
std::string DeleteResultText(std::size_t failures);

}  // namespace RenameEngine
