#pragma once

#include "platform/Build.h"
#include "rename/Preview.h"

#include <cstddef>
#include <string>
#include <vector>

// Carrying out a confirmed preview: each changed entry is renamed in its own
// folder without ever replacing anything, every result counted once, and the
// undo file that reverses what was done.
namespace RenameEngine {

// The undo line of one entry, line end included.
// Linux:   mv "folder/new" "folder/old"  LF
// Windows: REN "folder\new" "old"        CR LF
// folder is the entry's path with a delimiter appended unless it already ends
// in one. Linux: inside the quotes every \ " $ ` gets a backslash in front, so
// that `sh UNDO` renames back and does nothing else; a line break stays inside
// its quotes, so the shell still reads one command. Windows: every % is %%.
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
};

// Renames every entry whose new name differs from its old one (exact bytes),
// in preview order, through FileSystem::RenameNoReplace. Entries with an
// unchanged name are skipped: no rename, no count, no undo line.
RenameRun PerformRenames(const std::vector<PreviewEntry>& entries, Build build = kThisBuild);

// The undo file's text: the lines last to first, so that running it undoes
// the renames in the reverse order of doing them (a chain such as b->c, a->b
// comes back as b->a, then c->b, and nothing is overwritten on the way).
std::string UndoFileText(const std::vector<std::string>& undoLines);

// Writes the undo file whole, replacing an earlier one atomically (an earlier
// file is either kept whole or replaced whole). The Windows file begins with
// a line that makes cmd read the names as UTF-8 ("@CHCP 65001 >NUL"). On failure `errorText` is the
// message for the error box: Linux `Cannot create file "<path>". <reason>`,
// Windows `Cannot create file <path>`.
bool WriteUndoFile(const std::string& fileName, const std::vector<std::string>& undoLines,
                   std::string& errorText, Build build = kThisBuild);

// "Ready, renamed <successes> file(s)/folder(s), <failures> error(s)."
std::string CountsText(std::size_t successes, std::size_t failures);

}  // namespace RenameEngine
