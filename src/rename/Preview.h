#pragma once

#include "renamelist/RenameListEntry.h"

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// One row of the preview list: the new name (the only part the user edits),
// the rename-list entry's name and its folder exactly as the rename list holds
// it (with or without a trailing delimiter).
struct PreviewEntry {
  std::string newName;
  std::string oldName;
  std::string path;
  bool operator==(const PreviewEntry&) const = default;
};

// Operation numbers, the Tags of the eight pages' buttons.
enum Operation : int {
  kOperationReplace = 0,
  kOperationAdd = 1,
  kOperationAutoNumber = 2,
  kOperationChangeCase = 3,
  kOperationTrim = 4,
  kOperationExtension = 5,
  kOperationAdvancedAdd = 6,
  kOperationID3Tag = 7,
};

// Where the Add page puts its text; the captions of cboAddPosition, and
// Nowhere for a text that is none of them (the name stays as it is).
enum class AddPosition { ToStart, ToEnd, ToThisPosition, Nowhere };

// The combo boxes' captions mapped to the values the rules take, each by
// exact comparison with the one caption that selects it.
AddPosition AddPositionOf(std::string_view caption);  // "to start", "to end", "to this position"
bool TrimsFromStart(std::string_view caption);        // "from start"; anything else trims from the end
bool MakesThisLong(std::string_view caption);         // anything but "trim the selected amount"
bool AddsBefore(std::string_view caption);            // "before char"; anything else adds after

// Everything a preview build reads from the window (the defaults are the
// pages' initial values): texts as shown (number boxes included: they are
// read by ReadNumber, 0 when a box holds no decimal integer), check marks and
// combo choices as booleans and enums. The Auto-number padding width comes
// from the number of rename-list entries handed to BuildPreview.
struct PreviewValues {
  int operation = kOperationReplace;

  bool includeExtension = false;  // mnuIncludeExtension
  bool caseSensitive = false;     // mnuCaseSensitive

  // 0 Replace
  std::string replaceFrom;  // txtReplaceFrom
  std::string replaceTo;    // txtReplaceTo
  // 1 Add
  std::string addText;                                // txtAddText
  AddPosition addPosition = AddPosition::ToStart;     // cboAddPosition
  std::string addPositionNumber = "5";                // txtAddPosition
  // 2 Auto-number
  std::string autonumberBefore;  // txtAutonumberBefore
  std::string autonumberStart = "0";  // txtAutonumberStart
  std::string autonumberAfter;   // txtAutonumberAfter
  bool autonumberZero = true;    // chkAutonumberZero
  // 3 Change case: 0 ALL UPPERCASE ... 4 Opposite case (see CaseModeOf)
  int caseMode = 2;
  // 4 Trim
  std::string trimAmount = "3";  // txtTrimAmount
  bool trimFromStart = false;    // cboTrimFrom
  bool makeThisLong = false;     // cboTrimAmount
  // 5 Extension
  std::string extension;  // txtExtension
  // 6 Advanced add
  std::string advancedLow = "65";   // txtAdvancedAddASCII1
  std::string advancedHigh = "91";  // txtAdvancedAddASCII2
  std::string advancedText = "_";   // txtAdvancedAddNew
  bool advancedBefore = true;       // cboAdvancedAddPosition
  // 7 ID3-tag
  std::string id3Format = "%artist% - %title%";  // txtID3Format
};

// True when every box the operation requires holds text: Replace the search
// text; Add the text and the position; Trim the amount; Advanced add both
// codes and the text; ID3-tag the format. A press with an empty one does
// nothing.
bool HasRequiredValues(const PreviewValues& values);

// A number box's text as a decimal integer (an optional sign, then digits
// only); 0 when it is not one or lies outside the int range.
int ReadNumber(std::string_view text);

// The case mode of the five Change-case radio buttons in their page order:
// 0, then each checked button sets its own number.
int CaseModeOf(const std::array<bool, 5>& checked);

struct PreviewBuild {
  std::vector<PreviewEntry> entries;
  // True when building one entry raised an error: the loop ended at that
  // entry and `entries` holds those built before it.
  bool stopped = false;
  std::string error;  // the error's text when stopped
};

// The preview entries of the rename list for one operation, in list order.
PreviewBuild BuildPreview(const std::vector<RenameListEntry>& renameList, const PreviewValues& values);

enum class PreviewProblem { None, InvalidName, Conflict };

struct PreviewCheck {
  PreviewProblem problem = PreviewProblem::None;
  std::size_t index = 0;  // the first failing entry, in list order
  bool passed() const { return problem == PreviewProblem::None; }
};

// The first entry in list order whose new name fails IsValidFileName, or that
// shares its new name and its path (both exact, case-sensitive) with another
// entry; for one entry the validity test comes first. An empty list passes.
// Each entry's folder as a number, in the order folders first appear; a path
// with and without its trailing delimiter is one folder.
std::vector<std::size_t> FolderNumbers(const std::vector<PreviewEntry>& entries);

PreviewCheck CheckPreview(const std::vector<PreviewEntry>& entries);
// The same over the marks MarkConflicts gave for these entries.
PreviewCheck CheckPreview(const std::vector<PreviewEntry>& entries, const std::vector<bool>& conflicts);

// One mark per entry: true when another entry shares its path and new name
// (both exact, case-sensitive).
std::vector<bool> MarkConflicts(const std::vector<PreviewEntry>& entries);

// What the detail box of one preview entry tells: an invalid new name, the
// rename to be done, or that the name stays as it is.
enum class PreviewDetail { InvalidName, Renamed, Unchanged };
PreviewDetail ClassifyEntry(const PreviewEntry& entry);
