// One rename run of the real core on real files, for the fault tests:
//
//   quillon-fault-driver <folder> <undo file> <old> <new> [<old> <new> ...]
//
// renames each old name inside <folder> to its new name, in order, as a
// confirmed preview does, then writes the undo file, and prints
// "renamed <successes> failed <failures> undo written|failed".
//
//   quillon-fault-driver --journal <state folder> <folder>
//
// does the same for the "<old>\0<new>\0" pairs read from standard input (too
// many for a command line), recorded in a rename journal in <state folder>,
// and prints "renamed <successes> failed <failures>".

#include "rename/Journal.h"
#include "rename/Preview.h"
#include "rename/RenameEngine.h"

#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

namespace {

int RunRecordedInJournal(const std::string& stateFolder, const std::string& folder) {
  std::vector<PreviewEntry> entries;
  std::string oldName;
  std::string newName;
  while (std::getline(std::cin, oldName, '\0') && std::getline(std::cin, newName, '\0'))
    entries.push_back({newName, oldName, folder});
  Journal::Writer journal;
  std::string reason;
  if (!journal.Open(stateFolder, reason)) {
    std::fprintf(stderr, "%s\n", reason.c_str());
    return 2;
  }
  const RenameEngine::RenameRun run = RenameEngine::PerformRenames(entries, journal);
  std::printf("renamed %zu failed %zu\n", run.successes, run.failures);
  return run.stopped ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "--journal") == 0) return RunRecordedInJournal(argv[2], argv[3]);
  if (argc < 3 || (argc - 3) % 2 != 0) {
    std::fprintf(stderr, "usage: %s <folder> <undo file> <old> <new> [<old> <new> ...]\n", argv[0]);
    return 2;
  }
  std::vector<PreviewEntry> entries;
  for (int i = 3; i + 1 < argc; i += 2) entries.push_back({argv[i + 1], argv[i], argv[1]});

  const RenameEngine::RenameRun run = RenameEngine::PerformRenames(entries);
  std::string error;
  const bool written = RenameEngine::WriteUndoFile(argv[2], run.undoLines, error);
  std::printf("renamed %zu failed %zu undo %s\n", run.successes, run.failures, written ? "written" : "failed");
  if (!written) std::fprintf(stderr, "%s\n", error.c_str());
  return run.stopped ? 1 : 0;
}
