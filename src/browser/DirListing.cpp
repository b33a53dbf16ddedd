#include "browser/DirListing.h"

#include "platform/Paths.h"

#include <algorithm>

#ifndef _WIN32
#include <fnmatch.h>
#include <locale.h>
#else
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#endif

#include <algorithm>
#include <vector>

namespace DirListing {

namespace {

// One character of a name: a code point, or a byte that is no part of valid
// UTF-8, kept apart from every code point.
constexpr char32_t kStrayByte = 0x110000;

std::u32string Decode(std::string_view text) {
  std::u32string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    const auto b0 = static_cast<unsigned char>(text[i]);
    int length = 0;
    char32_t cp = 0;
    char32_t minimum = 0;
    if (b0 < 0x80) {
      length = 1;
      cp = b0;
    } else if (b0 >= 0xC2 && b0 <= 0xDF) {
      length = 2;
      cp = b0 & 0x1F;
      minimum = 0x80;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
      length = 3;
      cp = b0 & 0x0F;
      minimum = 0x800;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
      length = 4;
      cp = b0 & 0x07;
      minimum = 0x10000;
    }
    bool valid = length > 0 && i + length <= text.size();
    for (int k = 1; valid && k < length; ++k) {
      const auto b = static_cast<unsigned char>(text[i + k]);
      if ((b & 0xC0) != 0x80) valid = false;
      cp = (cp << 6) | (b & 0x3F);
    }
    if (valid && length > 1 && (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))) valid = false;
    if (valid) {
      out.push_back(cp);
      i += length;
    } else {
      out.push_back(kStrayByte + b0);
      i += 1;
    }
  }
  return out;
}

#ifdef _WIN32
// Upper case as the system compares file names: its own table for the basic
// plane, made once; the system leaves the other planes as they are.
char32_t FoldCase(char32_t c) {
  // Never destroyed: a search worker may still match names after main returns.
  static const std::vector<wchar_t>& upper = *[] {
    auto* made = new std::vector<wchar_t>(0x10000);
    std::vector<wchar_t>& table = *made;
    for (std::size_t i = 0; i < table.size(); ++i) table[i] = static_cast<wchar_t>(i);
    const auto mapRange = [&](std::size_t first, std::size_t end) {
      const int count = static_cast<int>(end - first);
      std::vector<wchar_t> source(table.begin() + static_cast<std::ptrdiff_t>(first),
                                  table.begin() + static_cast<std::ptrdiff_t>(end));
      ::LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, source.data(), count, &table[first], count, nullptr,
                      nullptr, 0);
    };
    mapRange(0, 0xD800);  // the surrogates have no case and are left out
    mapRange(0xE000, 0x10000);
    return made;
  }();
  return c < 0x10000 ? static_cast<char32_t>(upper[c]) : c;
}
#else
// Upper case as Windows compares file names, for the scripts users meet most:
// ASCII, Latin-1, Latin Extended-A, Greek and Cyrillic. (The Windows build
// asks the system.)
char32_t FoldCase(char32_t c) {
  if (c >= 'a' && c <= 'z') return c - 0x20;
  if (c < 0x80) return c;
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return c - 0x20;
  if (c == 0xFF) return 0x178;
  if (c >= 0x100 && c <= 0x17F) {
    if (c == 0x131 || c == 0x138 || c == 0x149 || c == 0x17F || c == 0x130) return c;
    const bool oddIsLower = (c < 0x139) || (c > 0x148 && c < 0x179);
    if (oddIsLower) return (c & 1) ? c - 1 : c;
    return (c & 1) ? c : c - 1;
  }
  if (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2) return c - 0x20;
  if (c == 0x3C2) return 0x3A3;
  if (c >= 0x430 && c <= 0x44F) return c - 0x20;
  if (c >= 0x450 && c <= 0x45F) return c - 0x50;
  return c;
}
#endif

#ifdef _WIN32
// The Linux rules in the Windows build: "*" and "?" with letter case counting.
bool WildcardMatch(const std::u32string& pattern, const std::u32string& name) {
  // Greedy match with a return to the last "*": linear for the usual
  // patterns, never exponential.
  std::size_t p = 0, n = 0;
  std::size_t starP = std::string::npos, starN = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == U'*') {
      starP = p++;
      starN = n;
    } else if (p < pattern.size() && (pattern[p] == U'?' || pattern[p] == name[n])) {
      ++p;
      ++n;
    } else if (starP != std::string::npos) {
      p = starP + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == U'*') ++p;
  return p == pattern.size();
}
#endif

std::u32string DecodeFolded(std::string_view text) {
  std::u32string chars = Decode(text);
  for (char32_t& c : chars) c = FoldCase(c);
  return chars;
}

// The system's wildcards in a file-name pattern, as its directory search
// reads them: "*" before a dot matches up to the name's last dot (kDosStar),
// "?" also matches nothing at a dot or the name's end (kDosQuestion), and a
// dot before "?", "*" or the pattern's end also matches the name's end
// (kDosDot).
constexpr char32_t kDosStar = 0x120001;
constexpr char32_t kDosQuestion = 0x120002;
constexpr char32_t kDosDot = 0x120003;

std::u32string DosPattern(std::u32string pattern) {
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    const char32_t next = i + 1 < pattern.size() ? pattern[i + 1] : U'\0';
    if (pattern[i] == U'*' && next == U'.') pattern[i] = kDosStar;
    else if (pattern[i] == U'?') pattern[i] = kDosQuestion;
    else if (pattern[i] == U'.' && (next == U'?' || next == U'*' || next == U'\0')) pattern[i] = kDosDot;
  }
  return pattern;
}

// All pattern positions reached so far, moved along the name one character
// at a time: linear in name length times pattern length, never exponential.
bool DosMatch(const std::u32string& pattern, const std::u32string& name) {
  const std::size_t lastDot = name.rfind(U'.');
  std::vector<char> reached(pattern.size() + 1, 0), next(pattern.size() + 1, 0);
  reached[0] = 1;
  for (std::size_t n = 0;; ++n) {
    const bool atEnd = n == name.size();
    // Wildcards that match nothing here.
    for (std::size_t p = 0; p < pattern.size(); ++p) {
      if (!reached[p]) continue;
      const char32_t c = pattern[p];
      if (c == U'*' || c == kDosStar || (c == kDosQuestion && (atEnd || name[n] == U'.')) ||
          (c == kDosDot && atEnd))
        reached[p + 1] = 1;
    }
    if (atEnd) return reached[pattern.size()] != 0;
    std::fill(next.begin(), next.end(), 0);
    const char32_t ch = name[n];
    for (std::size_t p = 0; p < pattern.size(); ++p) {
      if (!reached[p]) continue;
      const char32_t c = pattern[p];
      if (c == U'*' || (c == kDosStar && (ch != U'.' || n != lastDot))) next[p] = 1;
      else if ((c == kDosQuestion && ch != U'.') || (c == kDosDot && ch == U'.') || c == ch) next[p + 1] = 1;
    }
    reached.swap(next);
  }
}

bool WindowsMatch(const std::u32string& dosPattern, std::string_view name) {
  return DosMatch(dosPattern, DecodeFolded(name));
}

#ifndef _WIN32
// Names are UTF-8, so "?" and bracket expressions take one character, whatever
// locale the program was started in. Set per call on this thread only.
locale_t Utf8Locale() {
  static const locale_t utf8 = [] {
    locale_t l = ::newlocale(LC_CTYPE_MASK | LC_COLLATE_MASK, "C.UTF-8", static_cast<locale_t>(0));
    if (!l) l = ::newlocale(LC_CTYPE_MASK | LC_COLLATE_MASK, "C.utf8", static_cast<locale_t>(0));
    return l;
  }();
  return utf8;
}
#endif

}  // namespace

bool WindowsWildcardMatch(std::string_view pattern, std::string_view name) {
  return WindowsMatch(DosPattern(DecodeFolded(pattern)), name);
}

PatternMatcher::PatternMatcher(std::string_view pattern, Build build) : build_(build) {
  if (pattern.empty() || Paths::HoldsDelimiter(pattern, build) || pattern.find('\0') != std::string_view::npos) {
    never_ = true;
    return;
  }
  everything_ = pattern == "*" || (build == Build::Windows && pattern == "*.*");
  if (build == Build::Windows) {
    foldedPattern_ = DosPattern(DecodeFolded(pattern));
  } else {
    pattern_ = std::string(pattern);
  }
}

bool PatternMatcher::Matches(std::string_view name) const {
  if (never_) return false;
  if (everything_) return true;
  if (build_ == Build::Windows) return WindowsMatch(foldedPattern_, name);
#ifndef _WIN32
  const std::string terminated(name);
  const locale_t utf8 = Utf8Locale();
  const locale_t previous = utf8 ? ::uselocale(utf8) : static_cast<locale_t>(0);
  const bool matches = ::fnmatch(pattern_.c_str(), terminated.c_str(), 0) == 0;
  if (utf8) ::uselocale(previous);
  return matches;
#else
  // No shell matching here: "*" and "?" with letter case counting.
  return WildcardMatch(Decode(pattern_), Decode(name));
#endif
}

bool PatternMatches(std::string_view pattern, std::string_view name, Build build) {
  return PatternMatcher(pattern, build).Matches(name);
}

std::vector<FileSystem::Entry> ListMatchingFiles(const std::string& folder, std::string_view pattern,
                                                 Build build, Detail detail) {
  std::vector<FileSystem::Entry> entries;
  const PatternMatcher matcher(pattern, build);
  const auto wanted = [&](std::string_view name) { return matcher.Matches(name); };
  const bool read = detail == Detail::SizesAndTimes ? FileSystem::ReadFolderMatching(folder, wanted, entries)
                                                    : FileSystem::ReadFolderKinds(folder, wanted, entries);
  if (!read) return {};
  std::erase_if(entries, [](const FileSystem::Entry& e) { return e.isFolder; });
  return entries;
}

std::string UnreadableFolderText(const std::string& folder) {
  const std::string reason = FileSystem::FolderReadError(folder);
  return reason.empty() ? reason : "This folder cannot be read: " + reason + ".";
}

FolderRows ReadFolderRows(const std::string& folder, const std::string& pattern, Build build) {
  FolderRows listing{folder, pattern, ListMatchingFiles(folder, pattern, build, Detail::KindsOnly)};
  SortByName(listing.rows);
  return listing;
}

void SortByName(std::vector<FileSystem::Entry>& entries) {
  std::sort(entries.begin(), entries.end(),
            [](const FileSystem::Entry& a, const FileSystem::Entry& b) { return a.name < b.name; });
}

std::vector<Subfolder> ListSubfolders(const std::string& folder) {
  std::vector<Subfolder> subfolders;
  std::vector<FileSystem::Entry> entries;
  if (!FileSystem::ReadFolderKinds(folder, entries)) return subfolders;
  std::erase_if(entries, [](const FileSystem::Entry& entry) { return !entry.isFolder; });
  SortByName(entries);
  subfolders.reserve(entries.size());
  for (FileSystem::Entry& entry : entries) {
    std::string path = Paths::Join(folder, entry.name);
    const bool hasSubfolders = FileSystem::FolderHasSubfolders(path);
    subfolders.push_back({std::move(entry.name), std::move(path), hasSubfolders});
  }
  return subfolders;
}

}  // namespace DirListing
