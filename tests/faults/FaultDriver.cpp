// One rename run of the real core on real files, for the fault tests:
//
//   quillon-fault-driver <folder> <undo file> <old> <new> [<old> <new> ...]
//
// renames each old name inside <folder> to its new name, in order, as a
// confirmed preview does, then writes the undo file, and prints
// "renamed <successes> failed <failures> undo written|failed".

#include "rename/Preview.h"
#include "rename/RenameEngine.h"

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv) {
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
