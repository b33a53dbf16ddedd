#pragma once

#include <array>
#include <stdexcept>
#include <string>
#include <string_view>

#include "platform/Build.h"

// The name rules of the rename operations and the ID3v1 tag reader.
//
// Every text is a std::string of the file system's bytes (UTF-8 on Linux).
// The rules work on characters: UTF-8 is decoded, a byte outside any valid
// UTF-8 sequence is a character of its own that passes through unchanged, and
// positions, lengths and amounts count characters. The case tables and the
// word letters are Latin-1 ones and apply to U+0000..U+00FF only.
namespace StringH {

// Replaces the leftmost occurrence of `search`, then starts again at the
// front, until none is left. When the replacement itself contains the search
// text only the first occurrence is replaced. Case-insensitive comparison
// folds A-Z to a-z and nothing else. An empty search leaves the name as it is.
std::string ReplaceText(std::string_view name, std::string_view search, std::string_view replacement,
                        bool caseSensitive);

// Some search/replacement pairs form a new occurrence on every pass and would
// never end («aaba», «aba», «baab»). ReplaceText therefore stops and returns
// the text reached when a growing text (replacement longer than the search
// text) has become longer than kReplaceMaxLength characters, or after
// kReplaceMaxPasses passes. No file name is affected: names are at most 255
// bytes and the length moves in one direction only, so a growing text longer
// than 1,024 characters could never become a name; and a slow case such as
// "ab" -> "ba" over 127 a's followed by 128 b's finishes in 16,256 passes.
inline constexpr int kReplaceMaxLength = 1024;
inline constexpr int kReplaceMaxPasses = 100000;

// Inserts `text` so that it begins at character `position` (1-based); 1 or
// less puts it in front, beyond the end appends it.
std::string InsertText(std::string_view name, int position, std::string_view text);

// Puts "0" in front of numberText until it is as long as templateText.
std::string PadWithZeros(std::string_view numberText, std::string_view templateText);

// before + number + after.
std::string ComposeNumberedName(std::string_view number, std::string_view before, std::string_view after);

// Case modes.
inline constexpr int kAllUpper = 0;
inline constexpr int kAllLower = 1;
inline constexpr int kFirstLetterUpper = 2;
inline constexpr int kFirstLetterLower = 3;
inline constexpr int kOppositeCase = 4;

// Changes the case by mode (0-4 above); any other mode leaves the name as it is.
std::string ChangeCase(std::string_view name, int mode);

// Trims `amount` characters from the end or start, or (makeThisLong) keeps
// that many. A negative amount counts as 0.
std::string TrimName(std::string_view name, int amount, bool fromStart, bool makeThisLong);

// The base name of fullName, then "." and the extension unless that is empty.
std::string ChangeExtension(std::string_view fullName, std::string_view extension);

// Writes `text` before (or after) every character but the first whose code
// lies in low..high. The code is the code point, or the byte value of a byte
// that is not valid UTF-8.
std::string AddAroundCharacters(std::string_view name, int low, int high, std::string_view text, bool before);

// From the last "." to the end, the dot included; empty when there is no dot
// after the last path delimiter of the build ("/" on Linux, "\" and ":" on
// Windows).
std::string ExtensionOf(std::string_view name);
std::string ExtensionOf(std::string_view name, Build build);

// The name without ExtensionOf(name).
std::string StripExtension(std::string_view name);
std::string StripExtension(std::string_view name, Build build);

// Maps every character to lower (toLower) or upper case by the Latin-1 table.
std::string ConvertCase(std::string_view text, bool toLower);

// A byte under which every spelling a case-ignoring volume may take for one
// name falls together: ASCII letters lower-cased, and every byte outside
// ASCII counted alike (cheaper than any case table, and errs on the safe side:
// some names that differ fall together, no two spellings of one name differ).
char CaseBlindByte(char c);
// True when the names differ but may name the same entry on a volume that
// ignores letter case (byte by byte, their CaseBlindBytes are the same).
bool MayDifferInCaseOnly(std::string_view a, std::string_view b);

// False for the empty name, a space at either end, or any of \ / " : ? * | < >.
bool IsValidFileName(std::string_view name);

// A character value for IsWordBreak that stands for "no character", the
// position before the start of a name.
inline constexpr int kNoCharacter = -1;

// True when `character` (a code point, or kNoCharacter) is no word letter.
// Word letters: A-Z, a-z, the apostrophe, and ä ö å Ä Ö Å ü Ü ÿ.
bool IsWordBreak(int character);

// The key press filter of the numeric boxes: backspace (8) and "0".."9" pass,
// every other key gives 0, which swallows it.
int FilterDigitKey(int key);

// The ID3v1 genre names, codes 0 to 147.
extern const std::array<std::string_view, 148> ID3GenreNames;

// Thrown by MakeNameFromID3Tag when the file cannot be opened (or read).
class FileOpenError : public std::runtime_error {
 public:
  explicit FileOpenError(const std::string& path);
  const std::string& path() const noexcept { return path_; }

 private:
  std::string path_;
};

// The format with its placeholders (%artist% %title% %album% %year% %genre%
// %comment%, letters in any case) replaced by the fields of the file's ID3v1
// tag; the empty text when the file holds no tag. Fields that are not valid
// UTF-8 are taken as ISO 8859-1. Throws FileOpenError when the file cannot be
// opened for reading. The file is only read.
std::string MakeNameFromID3Tag(const std::string& path, std::string_view format);

}  // namespace StringH
