#include "browser/DirListing.h"

#include "support/LinuxOnly.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#if QUILLON_TEST_SYMLINKS
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

constexpr Build L = Build::Linux;
constexpr Build W = Build::Windows;

struct MatchCase {
  const char* pattern;
  const char* name;
  bool matches;
};

void CheckCases(const std::vector<MatchCase>& cases, Build build) {
  for (const MatchCase& c : cases) {
    SCOPED_TRACE(std::string("pattern \"") + c.pattern + "\" name \"" + c.name + "\"");
    EXPECT_EQ(DirListing::PatternMatches(c.pattern, c.name, build), c.matches);
    EXPECT_EQ(DirListing::PatternMatcher(c.pattern, build).Matches(c.name), c.matches);
  }
}

#if QUILLON_TEST_FNMATCH
TEST(DirListingLinuxPattern, ShellWildcardsWithoutOptions) {
  CheckCases(
      {
          // Letter case counts.
          {"*.txt", "a.txt", true},
          {"*.txt", "a.TXT", false},
          {"A*", "abc", false},
          // "*" and "?" also take a leading dot.
          {"*", ".hidden", true},
          {"*.txt", ".txt", true},
          {"?hidden", ".hidden", true},
          {"?", "ab", false},
          {"a?c", "abc", true},
          // Bracket expressions.
          {"[abc].txt", "b.txt", true},
          {"[abc].txt", "d.txt", false},
          {"[!abc].txt", "d.txt", true},
          {"[a-c]*", "cat", true},
          {"[[:digit:]]*", "7up", true},
          // A backslash makes the next character literal.
          {"\\*", "*", true},
          {"\\*", "a", false},
          {"a\\?", "a?", true},
          {"a\\?", "ab", false},
          // One single pattern: ";", "," and blanks are plain characters.
          {"*.txt;*.doc", "a.txt", false},
          {"*.txt;*.doc", "a.txt;b.doc", true},
          {"a b", "a b", true},
          {"*.txt *.doc", "a.txt", false},
          {"a,b", "a,b", true},
          // Names that are no UTF-8 are matched all the same; "?" takes one
          // character of UTF-8, an odd byte alone.
          {"*", "M\xFCller", true},
          {"M?ller", "M\xFCller", true},
          {"M?ller", "M\xC3\xBCller", true},
          {"M\xFC*", "M\xFCller", true},
      },
      L);
}

// Unfinished brackets, stray bytes and backslashes in the pattern box: no
// error, just the match the shell rule gives (an unclosed "[" is literal).
TEST(DirListingLinuxPattern, MalformedPatterns) {
  CheckCases(
      {
          {"[", "[", true},
          {"[!", "[!", true},
          {"[", "a", false},
          {"[]]", "]", true},
          {"[]", "]", false},
          {"[a-", "a", false},
          {"[z-a]", "a", false},
          {"\xFC[", "\xFC[", true},
          {"?\xC3", "b\xC3", true},
          {"*\\", "a", false},
      },
      L);
  CheckCases({{"[", "[", true}, {"[]]", "]", false}, {"[]]", "[]]", true}, {"?\xC3", "b\xC3", true}}, W);
}

TEST(DirListingLinuxPattern, EmptyOrDelimiterPatternMatchesNothing) {
  CheckCases(
      {
          {"", "a", false},
          {"/", "a", false},
          {"*/*", "a", false},
          {"../*", "a", false},
          {"sub/a.txt", "a.txt", false},
      },
      L);
}

#endif

TEST(DirListingWindowsPattern, CaseIgnoredStarAndQuestionMark) {
  CheckCases(
      {
          {"*.txt", "A.TXT", true},
          {"*.TXT", "a.txt", true},
          {"*.txt", "a.doc", false},
          {"a?c", "ABC", true},
          {"a?c", "ac", false},
          {"*", ".hidden", true},
          {"*.*", "README", true},
          {"*.*", "a.b.c", true},
          {"*.", "README", true},
          {"*.", "a.txt", false},
          {"*b*", "aaaBaaa", true},
          // The system's "?" also matches nothing before a dot or at the end.
          {"file?.txt", "file.txt", true},
          {"file??.txt", "FILE1.txt", true},
          {"ab?", "ab", true},
          {"ab?", "abc", true},
          {"ab?", "abcd", false},
          {"a?c", "ac", false},
          {"*.txt", "a.b.txt", true},
          {"*.b", "a.b.txt", false},
          {"a*.", "a.b", false},
          {"*a*a*a*b", "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa", false},
          // No bracket expressions, no escapes.
          {"[ab].txt", "a.txt", false},
          {"[ab].txt", "[AB].TXT", true},
          // Letters beyond ASCII fold too.
          {"m\xC3\xBC*", "M\xC3\x9CLLER", true},
          {"\xD0\xB4*", "\xD0\x94\xD0\xB0", true},
          // A semicolon is a plain character here too.
          {"*.txt;*.doc", "a.txt", false},
          // Delimiters of the Windows build.
          {"a\\b", "a\\b", false},
          {"a/b", "a/b", false},
          {"c:*", "c:x", false},
          {"", "a", false},
      },
      W);
  EXPECT_TRUE(DirListing::WindowsWildcardMatch("*.JPG", "photo.jpg"));
  EXPECT_FALSE(DirListing::WindowsWildcardMatch("*.JPG", "photo.jpeg"));
}

std::vector<std::string> Listed(const std::string& folder, const char* pattern, Build build = kThisBuild) {
  std::vector<std::string> names;
  for (const FileSystem::Entry& e : DirListing::ListMatchingFiles(folder, pattern, build)) names.push_back(e.name);
  std::sort(names.begin(), names.end());
  return names;
}

using Names = std::vector<std::string>;

TEST(DirListingFolder, ListsMatchingNonFolders) {
  TempDir dir;
  dir.WriteFile("a.txt", "123");
  dir.WriteFile("B.TXT");
  dir.WriteFile(".hidden.txt");
  dir.WriteFile("notes.doc");
  dir.MakeFolder("folder.txt");
  dir.MakeFolder(".config");
  Names special;  // listed as files
#if QUILLON_TEST_SYMLINKS
  ASSERT_EQ(::symlink("folder.txt", (dir / "linkToFolder.txt").c_str()), 0);
  ASSERT_EQ(::symlink("a.txt", (dir / "linkToFile.txt").c_str()), 0);
  ASSERT_EQ(::mkfifo((dir / "pipe.txt").c_str(), 0600), 0);
  special = {"linkToFile.txt", "pipe.txt"};
#endif
  const auto with = [&](Names names) {
    names.insert(names.end(), special.begin(), special.end());
    std::sort(names.begin(), names.end());
    return names;
  };
  // The Linux rule counts letter case, the Windows rule does not.
  const Names allText = with({".hidden.txt", "B.TXT", "a.txt"});
  const bool linux = kThisBuild == Build::Linux;

  EXPECT_EQ(Listed(dir.path(), "*"), with({".hidden.txt", "B.TXT", "a.txt", "notes.doc"}));
  EXPECT_EQ(Listed(dir.path(), "*.txt"), linux ? with({".hidden.txt", "a.txt"}) : allText);
  EXPECT_EQ(Listed(dir.path() + TempDir::Delimiter(), "*.TXT"), linux ? Names{"B.TXT"} : allText);
  EXPECT_EQ(Listed(dir.path(), "*.TXT", W), allText);
  EXPECT_TRUE(Listed(dir.path(), "").empty());
  EXPECT_TRUE(Listed(dir.path(), "folder.txt").empty());
  EXPECT_TRUE(Listed(dir.path(), "../*").empty());
  EXPECT_TRUE(Listed(dir / "missing", "*").empty());

  const auto entries = DirListing::ListMatchingFiles(dir.path(), "a.txt");
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].size, 3);
  EXPECT_GT(entries[0].modified, 0);
}

TEST(DirListingFolder, OnlyFoldersListsNothing) {
  TempDir dir;
  dir.MakeFolder("one");
  dir.MakeFolder("two");
  EXPECT_TRUE(Listed(dir.path(), "*").empty());
  EXPECT_TRUE(Listed(dir.path(), "*", W).empty());
}

// Not UTF-8 (Linux), or beyond ASCII (Windows, whose names are UTF-16).
TEST(DirListingFolder, InvalidUtf8NameIsListedWithItsBytes) {
  TempDir dir;
  const std::string name = kThisBuild == Build::Linux ? "M\xFCller.mp3" : "M\xC3\xBCller \xF0\x9F\x98\x80.mp3";
  dir.WriteFile(name);
  EXPECT_EQ(Listed(dir.path(), "*"), (Names{name}));
  EXPECT_EQ(Listed(dir.path(), "*.mp3"), (Names{name}));
}

TEST(DirListingFolder, OddNamesAreListedWithTheirBytes) {
  TempDir dir;
  Names odd = {"-rf", "--help", " lead", std::string(255, 'n'), ".quillon-1-0000000000000000.tmp", ".x.tmp-abcdefgh"};
#if QUILLON_TEST_BYTE_NAMES
  for (const char* name : {"trail ", "line\nbreak", "a*b?[c]", "\\"}) odd.push_back(name);
#endif
  for (const std::string& name : odd) dir.WriteFile(name, name);
  Names sorted = odd;
  std::sort(sorted.begin(), sorted.end());
  EXPECT_EQ(Listed(dir.path(), "*"), sorted);
  EXPECT_EQ(Listed(dir.path(), "-*"), (Names{"--help", "-rf"}));
#if QUILLON_TEST_BYTE_NAMES
  EXPECT_EQ(Listed(dir.path(), "a\\*b\\?\\[c]"), (Names{"a*b?[c]"}));
  EXPECT_EQ(Listed(dir.path(), "*\n*"), (Names{"line\nbreak"}));
#endif
}

TEST(DirListingFolder, ManyFilesInOnePass) {
  TempDir dir;
  constexpr int kCount = 3000;
  for (int i = 0; i < kCount; ++i) dir.WriteFile("f" + std::to_string(i) + (i % 3 == 0 ? ".jpg" : ".png"));
  EXPECT_EQ(DirListing::ListMatchingFiles(dir.path(), "*").size(), static_cast<std::size_t>(kCount));
  EXPECT_EQ(DirListing::ListMatchingFiles(dir.path(), "*.jpg").size(), static_cast<std::size_t>(kCount / 3));
}

}  // namespace

TEST(DirListingLazyDetail, KindsOnlyListsTheSameRowsAndExaminesThemOnDemand) {
  TempDir dir;
  dir.WriteFile("a.txt", "abc");
  dir.WriteFile("b.txt", "hello");
  dir.MakeFolder("folder.txt");
#if QUILLON_TEST_SYMLINKS
  ASSERT_EQ(::symlink((dir / "b.txt").c_str(), (dir / "link.txt").c_str()), 0);
#else
  dir.WriteFile("link.txt", "hello");
#endif
  auto lazy = DirListing::ListMatchingFiles(dir.path(), "*.txt", kThisBuild, DirListing::Detail::KindsOnly);
  auto full = DirListing::ListMatchingFiles(dir.path(), "*.txt");
  auto byName = [](const FileSystem::Entry& x, const FileSystem::Entry& y) { return x.name < y.name; };
  std::sort(lazy.begin(), lazy.end(), byName);
  std::sort(full.begin(), full.end(), byName);
  ASSERT_EQ(lazy.size(), 3u);  // the folder is never a row
  ASSERT_EQ(full.size(), lazy.size());
  for (std::size_t i = 0; i < lazy.size(); ++i) {
    SCOPED_TRACE(lazy[i].name);
    EXPECT_EQ(lazy[i].name, full[i].name);
    // The Windows listing gives sizes and times with the names, at no cost.
    EXPECT_EQ(lazy[i].examined, kThisBuild == Build::Windows);
    ASSERT_TRUE(FileSystem::ExamineEntry(dir.path(), lazy[i]));
    EXPECT_TRUE(lazy[i].examined);
    EXPECT_EQ(lazy[i].size, full[i].size);
    EXPECT_EQ(lazy[i].modified, full[i].modified);
  }
  FileSystem::Entry gone;
  gone.name = "vanished.txt";
  gone.examined = false;
  EXPECT_FALSE(FileSystem::ExamineEntry(dir.path(), gone));
  EXPECT_FALSE(gone.examined);
}

TEST(DirListingSubfolders, SortedFoldersWithTheSubfolderProbe) {
  TempDir dir;
  dir.MakeFolder("b/inner");
  dir.MakeFolder("a");
  dir.MakeFolder("C");
  dir.WriteFile("file.txt");
  dir.WriteFile("d/only-a-file");
  std::vector<std::string> expected = {"C", "a", "b+", "d"};
#if QUILLON_TEST_SYMLINKS && QUILLON_TEST_BYTE_NAMES
  dir.MakeFolder("\xFF");  // not UTF-8: sorted by its byte
  ASSERT_EQ(::symlink((dir / "b").c_str(), (dir / "link").c_str()), 0);
  expected.insert(expected.end(), {"link+", "\xFF"});
#endif

  const std::vector<DirListing::Subfolder> found = DirListing::ListSubfolders(dir.path() + TempDir::Delimiter());
  std::vector<std::string> names;
  for (const DirListing::Subfolder& f : found) names.push_back(f.name + (f.hasSubfolders ? "+" : ""));
  EXPECT_EQ(names, expected);
  ASSERT_FALSE(found.empty());
  EXPECT_EQ(found[0].path, dir / "C");

  EXPECT_TRUE(DirListing::ListSubfolders(dir / "missing").empty());
  EXPECT_TRUE(DirListing::ListSubfolders(dir / "file.txt").empty());
}

