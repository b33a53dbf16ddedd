#include "rename/RenameEngine.h"

#include "platform/AtomicFile.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "rename/RenamePlan.h"
#include "rename/StringH.h"

#include <algorithm>
#include <deque>
#include <exception>

namespace RenameEngine {

namespace {

// Double-quoted sh text: within the quotes only \ " $ and ` are special.
void AppendShellEscaped(std::string& line, std::string_view text) {
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c != '\\' && c != '"' && c != '$' && c != '`') continue;
    line.append(text.substr(start, i - start));
    line += '\\';
    start = i;  // the character itself opens the next run
  }
  line.append(text.substr(start));
}

// "<folder><name>" as one double-quoted sh word.
void AppendShellQuoted(std::string& line, std::string_view folder, std::string_view name = {}) {
  line += '"';
  AppendShellEscaped(line, folder);
  AppendShellEscaped(line, name);
  line += '"';
}

void AppendBatchQuoted(std::string& line, std::string_view folder, std::string_view name = {}) {
  line += '"';
  for (std::string_view part : {folder, name}) {
    for (char c : part) {
      if (c == '%') line += '%';
      line += c;
    }
  }
  line += '"';
}

// The undo line of an entry of `folder` (its path with the delimiter).
std::string UndoLineIn(const std::string& folder, const PreviewEntry& entry, bool renamed, Build build) {
  std::string line;
  line.reserve(2 * folder.size() + entry.newName.size() + entry.oldName.size() + 32);
  if (build == Build::Windows) {
    if (!renamed) line += "REM ";
    line += "REN ";
    AppendBatchQuoted(line, folder, entry.newName);
    line += ' ';
    AppendBatchQuoted(line, entry.oldName);
    line += "\r\n";
    return line;
  }
  const auto move = [&line, &folder](std::string_view from, std::string_view to) {
    line += "mv -n -T -- ";
    AppendShellQuoted(line, folder, from);
    line += ' ';
    AppendShellQuoted(line, folder, to);
  };
  if (renamed && StringH::MayDifferInCaseOnly(entry.newName, entry.oldName)) {
    constexpr std::string_view aside = ".quillon-undo.tmp";
    std::string quotedAside;
    AppendShellQuoted(quotedAside, folder, aside);
    // Its status, as any line's, says whether the old name came back: a name
    // left aside goes back where it was, and the line fails.
    line += "{ ! [ -e " + quotedAside + " ] && ! [ -h " + quotedAside + " ]; } && ";
    move(entry.newName, aside);
    line += " && { ";
    move(aside, entry.oldName);
    line += "; { ! [ -e " + quotedAside + " ] && ! [ -h " + quotedAside + " ]; } || { ";
    move(aside, entry.newName);
    line += "; false; }; }\n";
    return line;
  }
  if (!renamed) line += ": ";
  move(entry.newName, entry.oldName);
  line += '\n';
  return line;
}

}  // namespace

std::string UndoLine(const PreviewEntry& entry, bool renamed, Build build) {
  return UndoLineIn(Paths::WithTrailingDelimiter(entry.path, build), entry, renamed, build);
}

namespace {

// Renames one changed entry inside `folder` (its path with the delimiter),
// counts it and appends its undo line. Everything that allocates happens
// before the rename, so that once a file has been renamed its count and its
// line cannot be lost.
// The folder an entry's undo line names: the lines of the other build (tests
// make them) take that build's delimiter.
std::string UndoFolder(const std::string& folder, const PreviewEntry& entry, Build build) {
  return build == kThisBuild ? folder : Paths::WithTrailingDelimiter(entry.path, build);
}

Journal::EntryState RenameOne(FileSystem::RenameSession& session, const std::string& folder,
                              const PreviewEntry& entry, Build build, RenameRun& run) {
  const std::string undoFolder = UndoFolder(folder, entry, build);
  std::string line = UndoLineIn(undoFolder, entry, true, build);
  if (run.stranded.capacity() == run.stranded.size()) run.stranded.reserve(run.stranded.size() + 4);

  // The session renames only inside the folder: a name that would leave it
  // fails (the preview's file-name test refuses such names already).
  const FileSystem::RenameResult result = session.Rename(folder, entry.oldName, entry.newName);
  const bool renamed = result == FileSystem::RenameResult::Renamed;
  if (!renamed) FileSystem::NoteFailure(run.failed, folder, entry.oldName, entry.newName, result);
  Journal::EntryState state = Journal::EntryState::Renamed;
  if (renamed) {
    ++run.successes;
  } else {
    ++run.failures;
    state = Journal::EntryState::Failed;
    if (!session.StrandedName().empty()) {
      state = Journal::EntryState::Stranded;
      run.stranded.push_back(folder + session.StrandedName());
    }
    line = UndoLineIn(undoFolder, entry, false, build);
  }
  run.undoLines.push_back(std::move(line));
  return state;
}

// One step of the plan. An entry split by a cycle counts once: its move to
// the temporary name counts only when it fails, and then its move on is not
// tried (the rest of its cycle fails by itself, their names being taken). A
// move on that fails leaves the entry under the temporary name: the user is
// told, and an undo brings it back.
Journal::EntryState RenameStep(FileSystem::RenameSession& session, const std::string& folder,
                               const RenamePlan::Planned& planned, const PreviewEntry& entry, Build build,
                               RenameRun& run, bool& splitFailed) {
  using RenamePlan::Step;
  if (planned.step == Step::FromTemporary && splitFailed) {
    run.undoLines.push_back(UndoLineIn(UndoFolder(folder, entry, build), *planned.rename, false, build));
    return Journal::EntryState::Failed;
  }
  const std::size_t successes = run.successes;
  const std::size_t failedBefore = run.failed.size();
  const Journal::EntryState state = RenameOne(session, folder, *planned.rename, build, run);
  // A failure names the entry's own new name, not the temporary one.
  if (planned.step != Step::Whole && run.failed.size() > failedBefore) run.failed.back().newName = entry.newName;
  if (planned.step == Step::ToTemporary) {
    splitFailed = state != Journal::EntryState::Renamed;
    run.successes = successes;  // counted when it reaches its new name
  } else if (planned.step == Step::FromTemporary && state != Journal::EntryState::Renamed) {
    run.stranded.push_back(folder + planned.rename->oldName);
  }
  return state;
}

// Intended renames are made durable in batches; the first batches are small
// so that a short run pays little, later ones large so that a long run pays
// few syncs.
constexpr std::size_t kFirstBatch = 256;
constexpr std::size_t kLargestBatch = 16384;

// The renames of a run, recorded in `journal` when one is given.
RenameRun Perform(const std::vector<PreviewEntry>& entries, Journal::Writer* journal, RunControl* control,
                  Build build) {
  RenameRun run;
  std::string reason;
  if (entries.empty()) {
    // Nothing to record: a journal the caller opened is closed as finished,
    // so that it is never taken for a run a crash cut short.
    run.empty = true;
    if (journal && !journal->Finish(reason)) run.journalError = "Undo information cannot be saved: " + reason + ".";
    return run;
  }
  const auto stop = [&run, &reason] {
    run.stopped = true;
    run.error = "Undo information cannot be saved: " + reason + ".";
  };
  try {
    run.undoLines.reserve(entries.size());
    FileSystem::RenameSession session;
    const RenamePlan::Plan plan = RenamePlan::PlanRenames(entries, JournalFiles::ProcessId());
    const auto total = static_cast<std::size_t>(std::count_if(
        entries.begin(), entries.end(), [](const PreviewEntry& e) { return e.newName != e.oldName; }));
    if (control) control->total.store(total, std::memory_order_relaxed);
    std::size_t entriesDone = 0;
    bool inCycle = false;     // between a cycle's first step and its last
    bool splitFailed = false;  // the open cycle's first step failed
    // A cancel waits until the cycle under way is complete: it never leaves
    // a file under a temporary name.
    const auto cancelled = [control, &run, &inCycle] {
      if (control && !inCycle && control->cancel.load(std::memory_order_relaxed)) run.cancelled = true;
      return run.cancelled;
    };
    if (journal) {
      journal->SetTotal(plan.steps.size());
      journal->Watch(session);
    }

    std::vector<Journal::EntryView> batch;
    std::vector<const RenamePlan::Planned*> sources;
    std::vector<const std::string*> folders;  // each entry's folder, with the delimiter
    std::deque<std::string> batchFolders;     // the batch's views point into it
    std::size_t next = 0;
    std::size_t batchLimit = kFirstBatch;
    while (!run.stopped && !cancelled()) {
      batch.clear();
      sources.clear();
      folders.clear();
      batchFolders.clear();
      const std::string* lastPath = nullptr;
      for (; next < plan.steps.size() && batch.size() < batchLimit; ++next) {
        const RenamePlan::Planned& planned = plan.steps[next];
        const PreviewEntry& step = *planned.rename;
        if (!lastPath || *lastPath != step.path) {
          batchFolders.push_back(Paths::WithTrailingDelimiter(step.path));
          lastPath = &step.path;
        }
        batch.push_back({batchFolders.back(), step.oldName, step.newName});
        sources.push_back(&planned);
        folders.push_back(&batchFolders.back());
      }
      if (batch.empty()) break;
      if (journal && !journal->Intend(batch, reason)) {
        stop();
        break;
      }
      for (std::size_t i = 0; i < batch.size(); ++i) {
        // The entries not reached keep their names; EndBatch records them
        // so, as after a stop.
        if (cancelled()) break;
        if (journal) journal->Attempt();
        const RenamePlan::Planned& planned = *sources[i];
        const Journal::EntryState state =
            RenameStep(session, *folders[i], planned, entries[planned.entry], build, run, splitFailed);
        if (planned.step != RenamePlan::Step::Whole) inCycle = planned.step == RenamePlan::Step::ToTemporary;
        if (planned.step != RenamePlan::Step::ToTemporary) ++entriesDone;
        if (control) control->done.store(entriesDone, std::memory_order_relaxed);
        const std::string temporary =
            state == Journal::EntryState::Stranded ? run.stranded.back().substr(folders[i]->size()) : std::string();
        if (journal && !journal->Done(state, temporary, reason)) {
          stop();
          break;
        }
      }
      if (journal && !journal->EndBatch(reason) && !run.stopped) stop();
      batchLimit = std::min(2 * batchLimit, kLargestBatch);
    }
    // A run cut short is finished too: what was not attempted kept its name.
    std::string finishReason;
    if (journal && !journal->Finish(finishReason) && !run.stopped)
      run.journalError = "Undo information cannot be saved: " + finishReason + ".";
  } catch (const std::exception& e) {
    run.stopped = true;
    run.error = e.what();
  }
  return run;
}

}  // namespace

RenameRun PerformRenames(const std::vector<PreviewEntry>& entries, Build build) {
  return Perform(entries, nullptr, nullptr, build);
}

RenameRun PerformRenames(const std::vector<PreviewEntry>& entries, Journal::Writer& journal, Build build) {
  return Perform(entries, journal.IsOpen() ? &journal : nullptr, nullptr, build);
}

RenameRun PerformRenames(const std::vector<PreviewEntry>& entries, Journal::Writer& journal, RunControl& control,
                         Build build) {
  return Perform(entries, journal.IsOpen() ? &journal : nullptr, &control, build);
}

std::string UndoFileText(const std::vector<std::string>& undoLines) {
  std::size_t size = 0;
  for (const std::string& line : undoLines) size += line.size();
  std::string text;
  text.reserve(size);
  for (auto it = undoLines.rbegin(); it != undoLines.rend(); ++it) text += *it;
  return text;
}

namespace {

std::string CannotCreateText(const std::string& fileName, const std::string& reason, Build build) {
  if (build == Build::Windows) return "Cannot create file " + fileName;
  return "Cannot create file \"" + fileName + "\". " + reason;
}

// cmd reads a batch file in the console's code page; the names are UTF-8,
// so the Windows file switches the console to UTF-8 before its first REN line.
// The pieces point into `undoLines`, last line first, as UndoFileText joins
// them: a million lines are written without a second copy of their text.
std::vector<std::string_view> UndoFileContents(const std::vector<std::string>& undoLines, Build build) {
  std::vector<std::string_view> pieces;
  pieces.reserve(undoLines.size() + 1);
  if (build == Build::Windows) pieces.push_back("@CHCP 65001 >NUL\r\n");
  for (auto it = undoLines.rbegin(); it != undoLines.rend(); ++it) pieces.push_back(*it);
  return pieces;
}

constexpr char kStaleText[] = " The earlier undo file is out of date: do not run it.";

// Removes an undo file that no longer matches the names on disk. True when
// none is left.
bool RemoveEarlierUndoFile(const std::string& fileName) {
  if (FileSystem::DeleteFile(fileName)) return true;
  FileSystem::Entry entry{Paths::LastPart(fileName), false, false, 0, 0, false, false};
  return !FileSystem::ExamineEntry(Paths::ParentPart(fileName), entry);
}

}  // namespace

bool WriteUndoFile(const std::string& fileName, const std::vector<std::string>& undoLines,
                   std::string& errorText, Build build) {
  std::string reason;
  if (WriteFileAtomically(fileName, UndoFileContents(undoLines, build), reason, FileKind::Private)) return true;
  errorText = CannotCreateText(fileName, reason, build);
  if (!RemoveEarlierUndoFile(fileName)) errorText += kStaleText;
  return false;
}

void UndoFileTarget::Save(RenameRun& run) const {
  if (!wanted || run.empty) return;
  std::string writtenTo;
  if (!SaveUndoFile(programFolder, stateFolder, run.undoLines, writtenTo, run.undoFileError)) return;
  run.undoFileError.clear();
}

bool UndoFileTarget::MayWriteInto(const std::string& folder) const {
  const auto same = [&folder](const std::string& place) {
    return !place.empty() && Paths::WithTrailingDelimiter(place) == folder;
  };
  return wanted && (same(programFolder) || same(stateFolder));
}

std::vector<std::string> UndoFilePlaces(const std::string& programFolder, const std::string& stateFolder,
                                        Build build) {
  std::vector<std::string> places{Paths::UndoFileName(Paths::WithTrailingDelimiter(programFolder, build), build)};
  if (!stateFolder.empty())
    places.push_back(Paths::UndoFileName(Paths::WithTrailingDelimiter(stateFolder, build), build));
  return places;
}

bool SaveUndoFile(const std::string& programFolder, const std::string& stateFolder,
                  const std::vector<std::string>& undoLines, std::string& writtenTo, std::string& errorText,
                  Build build) {
  const std::vector<std::string> places = UndoFilePlaces(programFolder, stateFolder, build);
  const std::vector<std::string_view> text = UndoFileContents(undoLines, build);
  std::string firstReason;
  for (std::size_t i = 0; i < places.size(); ++i) {
    std::string reason;
    const bool folderReady = i == 0 || Journal::CreateStateFolder(stateFolder, reason);
    if (folderReady && WriteFileAtomically(places[i], text, reason, FileKind::Private)) {
      writtenTo = places[i];
      for (std::size_t earlier = 0; earlier < i; ++earlier) RemoveEarlierUndoFile(places[earlier]);
      return true;
    }
    if (i == 0) firstReason = reason;
  }
  errorText = CannotCreateText(places.front(), firstReason, build);
  bool stale = false;
  for (const std::string& place : places) stale = !RemoveEarlierUndoFile(place) || stale;
  if (stale) errorText += kStaleText;
  return false;
}

std::string CountsText(std::size_t successes, std::size_t failures) {
  return "Ready, renamed " + std::to_string(successes) + " file(s)/folder(s), " + std::to_string(failures) +
         " error(s).";
}

std::string FoundCountText(std::size_t found) {
  return found == 1 ? std::string("1 file found") : std::to_string(found) + " files found";
}

std::string DeleteResultText(std::size_t failures) {
  if (failures == 0) return "Ready.";
  return "Ready, failed to delete " + std::to_string(failures) + " of the selected files.";
}

std::string StrandedText(const std::vector<std::string>& stranded) {
  std::string text =
      "These files or folders could not be given their new or old name and stand under a temporary name:";
  for (const std::string& path : stranded) text += "\r\n" + path;
  return text;
}

std::string UndoneText(std::size_t undone, std::size_t errors) {
  return "Ready, undone " + std::to_string(undone) + " file(s)/folder(s), " + std::to_string(errors) +
         " error(s).";
}

}  // namespace RenameEngine
