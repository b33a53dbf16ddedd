#include "platform/Paths.h"

#include <gtest/gtest.h>

#include <cctype>
#include <set>

namespace {

constexpr Build L = Build::Linux;
constexpr Build W = Build::Windows;

TEST(PathsText, DelimiterAndTrailingDelimiter) {
  EXPECT_EQ(Paths::Delimiter(L), '/');
  EXPECT_EQ(Paths::Delimiter(W), '\\');

  struct Case {
    Build build;
    const char* path;
    const char* with;
    const char* without;
  };
  const Case cases[] = {
      {L, "/home/ann", "/home/ann/", "/home/ann"},
      {L, "/home/ann/", "/home/ann/", "/home/ann"},
      {L, "/", "/", ""},
      {L, "", "/", ""},
      {L, "C:\\Music", "C:\\Music/", "C:\\Music"},
      {W, "C:\\Music", "C:\\Music\\", "C:\\Music"},
      {W, "C:\\", "C:\\", "C:"},
      {W, "C:", "C:\\", "C:"},
      {W, "/home/ann/", "/home/ann/\\", "/home/ann/"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(Paths::WithTrailingDelimiter(c.path, c.build), c.with);
    EXPECT_EQ(Paths::WithoutTrailingDelimiter(c.path, c.build), c.without);
  }
}

TEST(PathsText, JoinAddsOneDelimiterOnlyWhenMissing) {
  EXPECT_EQ(Paths::Join("/home/ann", "a.txt", L), "/home/ann/a.txt");
  EXPECT_EQ(Paths::Join("/home/ann/", "a.txt", L), "/home/ann/a.txt");
  // The rename list holds the root "/" as an empty Path.
  EXPECT_EQ(Paths::Join("", "a.txt", L), "/a.txt");
  EXPECT_EQ(Paths::Join("C:", "a.txt", W), "C:\\a.txt");
  EXPECT_EQ(Paths::Join("C:\\", "a.txt", W), "C:\\a.txt");
  EXPECT_EQ(Paths::Join("C:\\Music", "a.txt", W), "C:\\Music\\a.txt");
  // Bytes that are no UTF-8 pass through untouched.
  EXPECT_EQ(Paths::Join("/tmp/m\xFC", "\xFC.txt", L), "/tmp/m\xFC/\xFC.txt");
}

TEST(PathsText, ParentPartAndLastPart) {
  struct Case {
    Build build;
    const char* path;
    const char* parent;
    const char* last;
  };
  const Case cases[] = {
      {L, "/home/ann", "/home/", "ann"},
      {L, "/home", "/", "home"},
      {L, "", "", ""},
      {L, "relative", "", "relative"},
      {L, "C:\\WINDOWS", "", "C:\\WINDOWS"},
      {W, "C:\\WINDOWS", "C:\\", "WINDOWS"},
      {W, "C:", "C:", ""},
      {W, "C:name", "C:", "name"},
      {W, "C:\\a\\b", "C:\\a\\", "b"},
      {W, "/home/ann", "", "/home/ann"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(Paths::ParentPart(c.path, c.build), c.parent);
    EXPECT_EQ(Paths::LastPart(c.path, c.build), c.last);
  }
}

TEST(PathsHistory, EntryOfAFolderPath) {
  EXPECT_EQ(Paths::HistoryEntry("/home/ann/", L), "/home/ann");
  EXPECT_EQ(Paths::HistoryEntry("/", L), "/");
  EXPECT_EQ(Paths::HistoryEntry("/Home/Ann/", L), "/Home/Ann");
  EXPECT_EQ(Paths::HistoryEntry("c:\\windows\\", W), "C:\\WINDOWS");
  EXPECT_EQ(Paths::HistoryEntry("C:\\", W), "C:");
  // Only a to z are upper-cased on Windows; other bytes stay.
  EXPECT_EQ(Paths::HistoryEntry("c:\\m\xC3\xBCsik\\", W), "C:\\M\xC3\xBCSIK");
}

TEST(PathsHistory, MembershipIgnoresLetterCase) {
  const std::vector<std::string> history = {"/", "/home/ann", "C:\\MUSIC"};
  EXPECT_TRUE(Paths::HistoryHasEntry(history, "/home/ann"));
  EXPECT_TRUE(Paths::HistoryHasEntry(history, "/HOME/Ann"));
  EXPECT_TRUE(Paths::HistoryHasEntry(history, "c:\\music"));
  EXPECT_FALSE(Paths::HistoryHasEntry(history, "/home/an"));
  EXPECT_FALSE(Paths::HistoryHasEntry(history, "/home/ann/"));
  EXPECT_FALSE(Paths::HistoryHasEntry({}, "/"));
}

TEST(PathsHistory, InitialEntries) {
  EXPECT_EQ(Paths::InitialHistory(L), std::vector<std::string>{"/"});
  const std::vector<std::string> windows = Paths::InitialHistory(W);
  ASSERT_EQ(windows.size(), 26u);
  EXPECT_EQ(windows.front(), "C:\\");
  EXPECT_EQ(windows[1], "D:\\");
  EXPECT_EQ(windows[23], "Z:\\");
  EXPECT_EQ(windows[24], "A:\\");
  EXPECT_EQ(windows[25], "B:\\");
  EXPECT_EQ(std::set<std::string>(windows.begin(), windows.end()).size(), 26u);
}

TEST(PathsStart, RootsAndLastDirDefaults) {
  EXPECT_EQ(Paths::FallbackRoot(L), "/");
  EXPECT_EQ(Paths::FallbackRoot(W), "C:\\");
  EXPECT_EQ(Paths::DefaultLastDir("/usr/local/bin/", L), "");
  EXPECT_EQ(Paths::DefaultLastDir("D:\\Programs\\Quillon\\", W), "D:\\");
  EXPECT_EQ(Paths::DefaultLastDir("e:\\", W), "e:\\");
  EXPECT_EQ(Paths::DefaultLastDir("\\\\server\\share\\tools\\", W), "\\\\server\\share\\");
}

TEST(PathsStart, SettingsAndUndoFileNames) {
  EXPECT_EQ(Paths::SettingsFileName("/opt/quillon/", "/home/ann", L), "/home/ann/.Quillon.ini");
  EXPECT_EQ(Paths::SettingsFileName("/opt/quillon/", "/home/ann/", L), "/home/ann/.Quillon.ini");
  EXPECT_EQ(Paths::SettingsFileName("/opt/quillon/", "", L), "/.Quillon.ini");
  EXPECT_EQ(Paths::SettingsFileName("C:\\Quillon\\", "C:\\Users\\ann", W), "C:\\Quillon\\Quillon.ini");
  EXPECT_EQ(Paths::SettingsFileName("C:\\Quillon", "", W), "C:\\Quillon\\Quillon.ini");

  EXPECT_EQ(Paths::UndoFileName("/opt/quillon/", L), "/opt/quillon/UNDO");
  EXPECT_EQ(Paths::UndoFileName("/opt/quillon", L), "/opt/quillon/UNDO");
  EXPECT_EQ(Paths::UndoFileName("C:\\Quillon\\", W), "C:\\Quillon\\UNDO.BAT");
}

TEST(PathsNames, PlainNamesAndDelimiters) {
  EXPECT_TRUE(Paths::IsPlainName("a.txt", L));
  EXPECT_TRUE(Paths::IsPlainName("a\\b:c", L));
  EXPECT_TRUE(Paths::IsPlainName("\xFC", L));
  EXPECT_FALSE(Paths::IsPlainName("", L));
  EXPECT_FALSE(Paths::IsPlainName(".", L));
  EXPECT_FALSE(Paths::IsPlainName("..", L));
  EXPECT_FALSE(Paths::IsPlainName("a/b", L));
  // A zero byte would end the name early at the system call.
  EXPECT_FALSE(Paths::IsPlainName(std::string("a\0b", 3), L));
  EXPECT_FALSE(Paths::IsPlainName(std::string("a\0b", 3), W));
  EXPECT_FALSE(Paths::IsPlainName("a\\b", W));
  EXPECT_FALSE(Paths::IsPlainName("a/b", W));
  EXPECT_FALSE(Paths::IsPlainName("C:b", W));
  EXPECT_TRUE(Paths::IsPlainName("a b;c", W));

  EXPECT_TRUE(Paths::SamePath("C:\\Music", "c:\\MUSIC", W));
  EXPECT_FALSE(Paths::SamePath("/Music", "/music", L));
}

// The "..." button: which folder a path box text leads to.
TEST(PathsUp, TargetOfTheUpButton) {
  const std::set<std::string> linuxFolders = {"/home", "/home/ann", "/home/bob", "/usr"};
  auto linuxIsFolder = [&](const std::string& p) { return linuxFolders.count(p) > 0; };
  const std::set<std::string> windowsFolders = {"C:", "C:\\WINDOWS", "C:\\MUSIC"};
  auto windowsIsFolder = [&](const std::string& p) {
    std::string upper = p;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return windowsFolders.count(upper) > 0;
  };

  struct Case {
    Build build;
    const char* typed;
    const char* current;
    std::optional<std::string> target;
  };
  const Case cases[] = {
      // Unchanged box: one level up each press; the root stays.
      {L, "/home/ann/", "/home/ann/", "/home/"},
      {L, "/home/", "/home/", "/"},
      {L, "/", "/", "/"},
      {L, "", "/home/", "/"},
      // Another folder of the same length is gone to, not its parent.
      {L, "/home/bob/", "/home/ann/", "/home/bob/"},
      {L, "/home/bob", "/home/ann/", "/home/bob/"},
      // The history entry of the current folder leads to its parent.
      {L, "/home/ann", "/home/ann/", "/home/"},
      {L, "/usr", "/home/ann/", "/usr/"},
      {L, "/nowhere", "/home/", std::nullopt},
      {W, "C:\\WINDOWS\\", "C:\\WINDOWS\\", "C:\\"},
      {W, "c:\\windows", "C:\\WINDOWS\\", "c:\\"},
      {W, "C:\\Music\\", "C:\\WINDOWS\\", "C:\\Music\\"},
      {W, "C:\\", "C:\\", "C:\\"},
      {W, "", "C:\\", std::nullopt},
      {W, "D:\\nowhere", "C:\\", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.typed) + " at " + c.current);
    if (c.build == L) {
      EXPECT_EQ(Paths::UpTarget(c.typed, c.current, linuxIsFolder, L), c.target);
    } else {
      EXPECT_EQ(Paths::UpTarget(c.typed, c.current, windowsIsFolder, W), c.target);
    }
  }
}

}  // namespace
