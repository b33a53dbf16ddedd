#include "rename/Preview.h"

#include "platform/Paths.h"
#include "rename/EntryTable.h"
#include "rename/StringH.h"
#include "rename/Utf8.h"

#include <algorithm>
#include <climits>
#include <exception>
#include <functional>
#include <string_view>
#include <unordered_map>
#include <utility>

namespace {

struct PairHash {
  std::size_t operator()(const std::pair<std::string_view, std::string_view>& p) const noexcept {
    std::size_t a = std::hash<std::string_view>{}(p.first);
    std::size_t b = std::hash<std::string_view>{}(p.second);
    return a ^ (b + 0x9e3779b97f4a7c15ULL + (a << 6) + (a >> 2));
  }
};

}  // namespace

int ReadNumber(std::string_view text) {
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  if (i == text.size()) return 0;
  long long value = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return 0;
    value = value * 10 + (text[i] - '0');
    if (value > static_cast<long long>(INT_MAX) + 1) return 0;
  }
  if (negative) value = -value;
  if (value > INT_MAX) return 0;
  return static_cast<int>(value);
}

int CaseModeOf(const std::array<bool, 5>& checked) {
  int mode = 0;
  for (int i = 0; i < 5; ++i)
    if (checked[static_cast<std::size_t>(i)]) mode = i;
  return mode;
}

AddPosition AddPositionOf(std::string_view caption) {
  if (caption == "to start") return AddPosition::ToStart;
  if (caption == "to end") return AddPosition::ToEnd;
  if (caption == "to this position") return AddPosition::ToThisPosition;
  return AddPosition::Nowhere;
}

bool TrimsFromStart(std::string_view caption) { return caption == "from start"; }
bool MakesThisLong(std::string_view caption) { return caption != "trim the selected amount"; }
bool AddsBefore(std::string_view caption) { return caption == "before char"; }

bool HasRequiredValues(const PreviewValues& values) {
  switch (values.operation) {
    case kOperationReplace: return !values.replaceFrom.empty();
    case kOperationAdd: return !values.addText.empty() && !values.addPositionNumber.empty();
    case kOperationTrim: return !values.trimAmount.empty();
    case kOperationAdvancedAdd:
      return !values.advancedLow.empty() && !values.advancedHigh.empty() && !values.advancedText.empty();
    case kOperationID3Tag: return !values.id3Format.empty();
    default: return true;
  }
}

PreviewBuild BuildPreview(const std::vector<RenameListEntry>& renameList, const PreviewValues& values) {
  const int operation = values.operation;

  // The working values, read once before the loop. The counter is wider than
  // int so that a start number near the top of the range cannot overflow.
  long long counter = ReadNumber(values.autonumberStart);
  const int caseMode = values.caseMode;
  const std::string entryCount = std::to_string(renameList.size());

  PreviewBuild build;
  build.entries.reserve(renameList.size());
  try {
    for (const RenameListEntry& entry : renameList) {
      const std::string& name = entry.filename;
      const std::string& folder = entry.path;
      const std::string part = values.includeExtension ? name : StringH::StripExtension(name);
      std::string result = part;

      switch (operation) {
        case kOperationReplace:
          result = StringH::ReplaceText(part, values.replaceFrom, values.replaceTo, values.caseSensitive);
          break;
        case kOperationAdd:
          switch (values.addPosition) {
            case AddPosition::ToStart: result = StringH::InsertText(part, 0, values.addText); break;
            case AddPosition::ToEnd:
              result = StringH::InsertText(part, static_cast<int>(Utf8::Decode(name).size()) + 10, values.addText);
              break;
            case AddPosition::ToThisPosition:
              result = StringH::InsertText(part, ReadNumber(values.addPositionNumber), values.addText);
              break;
            case AddPosition::Nowhere: break;
          }
          break;
        case kOperationAutoNumber: {
          std::string number = std::to_string(counter);
          if (values.autonumberZero) number = StringH::PadWithZeros(number, entryCount);
          result = StringH::ComposeNumberedName(number, values.autonumberBefore, values.autonumberAfter);
          break;
        }
        case kOperationChangeCase:
          result = StringH::ChangeCase(part, caseMode);
          break;
        case kOperationTrim:
          result = StringH::TrimName(part, ReadNumber(values.trimAmount), values.trimFromStart,
                                   values.makeThisLong);
          break;
        case kOperationExtension:
          result = StringH::ChangeExtension(name, values.extension);
          break;
        case kOperationAdvancedAdd:
          result = StringH::AddAroundCharacters(part, ReadNumber(values.advancedLow),
                                                ReadNumber(values.advancedHigh), values.advancedText, values.advancedBefore);
          break;
        case kOperationID3Tag:
          result = StringH::MakeNameFromID3Tag(Paths::Join(folder, name), values.id3Format);
          break;
        default:
          break;
      }

      if (!values.includeExtension && operation != kOperationExtension) result += StringH::ExtensionOf(name);
      build.entries.push_back({std::move(result), name, folder});
      ++counter;
    }
  } catch (const std::exception& e) {
    build.stopped = true;
    build.error = e.what();
  }
  return build;
}

// Marks every entry that shares its path and new name with another entry,
// through one flat table of entry numbers (a table of string pairs costs an
// allocation and a cache miss per name, and a million names are many).
std::vector<bool> MarkConflicts(const std::vector<PreviewEntry>& entries) {
  std::vector<bool> marks(entries.size());
  EntryTable first(entries.size());  // the first entry to want each name of each folder
  for (std::size_t k = 0; k < entries.size(); ++k) {
    const PreviewEntry& entry = entries[k];
    const std::size_t holder =
        first.Insert(PairHash{}({entry.path, entry.newName}), k, [&](std::size_t j) {
          return entries[j].path == entry.path && entries[j].newName == entry.newName;
        });
    if (holder != k) marks[holder] = marks[k] = true;
  }
  return marks;
}

PreviewCheck CheckPreview(const std::vector<PreviewEntry>& entries, const std::vector<bool>& conflicts) {
  std::size_t conflict = 0;
  while (conflict < entries.size() && !conflicts[conflict]) ++conflict;
  for (std::size_t k = 0; k < conflict; ++k)
    if (!StringH::IsValidFileName(entries[k].newName)) return {PreviewProblem::InvalidName, k};
  if (conflict == entries.size()) return {};
  if (!StringH::IsValidFileName(entries[conflict].newName)) return {PreviewProblem::InvalidName, conflict};
  return {PreviewProblem::Conflict, conflict};
}

PreviewCheck CheckPreview(const std::vector<PreviewEntry>& entries) {
  return CheckPreview(entries, MarkConflicts(entries));
}

PreviewDetail ClassifyEntry(const PreviewEntry& entry) {
  if (!StringH::IsValidFileName(entry.newName)) return PreviewDetail::InvalidName;
  return entry.newName != entry.oldName ? PreviewDetail::Renamed : PreviewDetail::Unchanged;
}

std::vector<std::size_t> FolderNumbers(const std::vector<PreviewEntry>& entries) {
  std::vector<std::size_t> numbers(entries.size());
  std::unordered_map<std::string, std::size_t> known;
  const std::string* lastPath = nullptr;  // entries of one folder mostly come together
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (lastPath && *lastPath == entries[i].path) {
      numbers[i] = numbers[i - 1];
      continue;
    }
    lastPath = &entries[i].path;
    numbers[i] = known.emplace(Paths::WithTrailingDelimiter(entries[i].path), known.size()).first->second;
  }
  return numbers;
}
