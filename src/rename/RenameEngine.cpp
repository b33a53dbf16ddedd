#include "rename/RenameEngine.h"

#include "platform/AtomicFile.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"

#include <exception>

namespace RenameEngine {

namespace {

// Double-quoted sh text: within the quotes only \ " $ and ` are special.
void AppendShellQuoted(std::string& line, std::string_view text) {
  line += '"';
  for (char c : text) {
    if (c == '\\' || c == '"' || c == '$' || c == '`') line += '\\';
    line += c;
  }
  line += '"';
}

void AppendBatchQuoted(std::string& line, std::string_view text) {
  line += '"';
  for (char c : text) {
    if (c == '%') line += '%';
    line += c;
  }
  line += '"';
}

}  // namespace

std::string UndoLine(const PreviewEntry& entry, bool renamed, Build build) {
  const std::string folder = Paths::WithTrailingDelimiter(entry.path, build);
  std::string line;
  line.reserve(2 * folder.size() + entry.newName.size() + entry.oldName.size() + 16);
  if (build == Build::Windows) {
    if (!renamed) line += "REM ";
    line += "REN ";
    AppendBatchQuoted(line, folder + entry.newName);
    line += ' ';
    AppendBatchQuoted(line, entry.oldName);
    line += "\r\n";
  } else {
    if (!renamed) line += ": ";
    line += "mv ";
    AppendShellQuoted(line, folder + entry.newName);
    line += ' ';
    AppendShellQuoted(line, folder + entry.oldName);
    line += '\n';
  }
  return line;
}

RenameRun PerformRenames(const std::vector<PreviewEntry>& entries, Build build) {
  RenameRun run;
  try {
    // Everything that allocates happens before an entry's rename, so that
    // once a file has been renamed its count and its line cannot be lost.
    run.undoLines.reserve(entries.size());
    const std::string_view failedPrefix = build == Build::Windows ? "REM " : ": ";
    const std::string* lastPath = nullptr;
    std::string folder;
    FileSystem::RenameSession session;
    for (const PreviewEntry& entry : entries) {
      if (entry.newName == entry.oldName) continue;
      std::string line = UndoLine(entry, true, build);
      line.reserve(line.size() + failedPrefix.size());
      if (!lastPath || *lastPath != entry.path) {
        folder = Paths::WithTrailingDelimiter(entry.path);
        lastPath = &entry.path;
      }

      // A new name must keep the entry in its folder; the preview's file-name
      // test refuses such names already, but the folder is never left.
      const bool renamed = Paths::IsPlainName(entry.newName) &&
                           session.Rename(folder, entry.oldName, entry.newName) ==
                               FileSystem::RenameResult::Renamed;
      if (renamed) {
        ++run.successes;
      } else {
        ++run.failures;
        line.insert(0, failedPrefix);
      }
      run.undoLines.push_back(std::move(line));
    }
  } catch (const std::exception& e) {
    run.stopped = true;
    run.error = e.what();
  }
  return run;
}

std::string UndoFileText(const std::vector<std::string>& undoLines) {
  std::size_t size = 0;
  for (const std::string& line : undoLines) size += line.size();
  std::string text;
  text.reserve(size);
  for (auto it = undoLines.rbegin(); it != undoLines.rend(); ++it) text += *it;
  return text;
}

bool WriteUndoFile(const std::string& fileName, const std::vector<std::string>& undoLines,
                   std::string& errorText, Build build) {
  std::string reason;
  // cmd reads a batch file in the console's code page; the names are UTF-8,
  // so the file switches the console to UTF-8 before its first REN line.
  const std::string header = build == Build::Windows ? "@CHCP 65001 >NUL\r\n" : "";
  if (WriteFileAtomically(fileName, header + UndoFileText(undoLines), reason)) return true;
  if (build == Build::Windows) errorText = "Cannot create file " + fileName;
  else errorText = "Cannot create file \"" + fileName + "\". " + reason;
  return false;
}

std::string CountsText(std::size_t successes, std::size_t failures) {
  return "Ready, renamed " + std::to_string(successes) + " file(s)/folder(s), " + std::to_string(failures) +
         " error(s).";
}

}  // namespace RenameEngine
