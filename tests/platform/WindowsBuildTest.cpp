// The Windows build's own behaviour, run under wine (or on Windows).
#ifdef _WIN32

#include "app/IniFile.h"
#include "browser/DirListing.h"
#include "platform/FileSystem.h"
#include "platform/ProgramFolder.h"
#include "rename/RenameEngine.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdlib>

#include "platform/WinText.h"

#undef DeleteFile

namespace {

std::vector<std::string> Names(const std::string& folder) {
  std::vector<FileSystem::Entry> entries;
  FileSystem::ReadFolder(folder, entries);
  std::vector<std::string> names;
  for (const FileSystem::Entry& e : entries) names.push_back(e.name);
  std::sort(names.begin(), names.end());
  return names;
}

int RunCommand(const std::string& utf8) { return ::_wsystem(WinText::Wide(utf8).c_str()); }

}  // namespace

TEST(WindowsFileSystem, AZeroByteInANameReachesNoFile) {
  TempDir dir;
  dir.WriteFile("a.txt", "A");
  dir.WriteFile("victim.txt", "V");
  using FileSystem::RenameResult;
  EXPECT_EQ(FileSystem::RenameNoReplace(dir.path(), "a.txt", std::string("c\0.txt", 6)), RenameResult::Failed);
  EXPECT_EQ(FileSystem::RenameNoReplace(dir.path(), std::string("a.txt\0x", 7), "d.txt"), RenameResult::Failed);
  EXPECT_FALSE(FileSystem::DeleteFile(dir / std::string("victim.txt\0.bak", 15)));
  dir.WriteFile("v\xEF\xBF\xBD.txt", "R");  // U+FFFD, the mark an invalid byte would become
  EXPECT_FALSE(FileSystem::DeleteFile(dir / "v\xFF.txt"));
  EXPECT_TRUE(FileSystem::DeleteFile(dir / "v\xEF\xBF\xBD.txt"));
  EXPECT_FALSE(FileSystem::IsExistingFolder(dir.path() + std::string("\0junk", 5)));
  std::vector<FileSystem::Entry> entries;
  EXPECT_FALSE(FileSystem::ReadFolder(dir.path() + std::string("\0junk", 5), entries));
  EXPECT_EQ(Names(dir.path()), (std::vector<std::string>{"a.txt", "victim.txt"}));
}

TEST(WindowsFileSystem, TimesInTwoSecondStepsAlsoBefore1970) {
  struct Case {
    std::int64_t seconds;
    int tenthsOfMicroseconds;  // beyond the second, in 100 ns
    std::int64_t shown;
  } cases[] = {
      {-144028800, 0, -144028800},      // 1965-06-01 00:00:00
      {-144028799, 5000000, -144028800},  // 1965-06-01 00:00:01.5
      {946684803, 5000000, 946684802},  // 2000-01-01 00:00:03.5
      {946684802, 0, 946684802},
      {0, 1, 0},
  };
  TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.seconds);
    dir.WriteFile("f");
    HANDLE file = ::CreateFileW(WinText::Wide(dir / "f").c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    const auto ticks = static_cast<std::uint64_t>(c.seconds * 10000000 + c.tenthsOfMicroseconds + 116444736000000000LL);
    FILETIME time{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
    ASSERT_TRUE(::SetFileTime(file, nullptr, nullptr, &time));
    ::CloseHandle(file);
    std::vector<FileSystem::Entry> entries;
    ASSERT_TRUE(FileSystem::ReadFolder(dir.path(), entries));
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].modified, c.shown);
    FileSystem::Entry examined{"f"};
    ASSERT_TRUE(FileSystem::ExamineEntry(dir.path(), examined));
    EXPECT_EQ(examined.modified, c.shown);
  }
}

// Wine reports a case-only MoveFileExW done without changing the name; the
// rename must not trust it.
TEST(WindowsFileSystem, ACaseOnlyRenameChangesTheNameOnDisk) {
  TempDir dir;
  dir.WriteFile("photo.JPG", "P");
  dir.MakeFolder("MUSIC");
  EXPECT_EQ(FileSystem::RenameNoReplace(dir.path(), "photo.JPG", "Photo.jpg"), FileSystem::RenameResult::Renamed);
  EXPECT_EQ(FileSystem::RenameNoReplace(dir.path(), "MUSIC", "Music"), FileSystem::RenameResult::Renamed);
  EXPECT_EQ(Names(dir.path()), (std::vector<std::string>{"Music", "Photo.jpg"}));
  EXPECT_EQ(dir.ReadFile("Photo.jpg"), "P");
}

TEST(WindowsPattern, LettersFoldAsTheSystemFoldsThem) {
  const char* const cases[][2] = {
      {"\xC8\x98*", "\xC8\x99" "a.txt"},          // Ș ș
      {"\xE1\xBA\xA0*", "\xE1\xBA\xA1" "b"},       // Ạ ạ
      {"\xD4\xB1*", "\xD5\xA1" "c"},               // Ա ա
      {"\xEF\xBC\xA1*", "\xEF\xBD\x81" "d"},       // Ａ ａ
      {"*.TXT", "\xC3\xA9t\xC3\xA9.txt"},
  };
  for (const auto& c : cases) EXPECT_TRUE(DirListing::PatternMatches(c[0], c[1])) << c[0] << " " << c[1];
}

TEST(WindowsSettings, NonAsciiValuesSurviveAndAFileWithoutAMarkIsStillRead) {
  TempDir dir;
  const std::string file = dir / "Quillon.ini";
  std::string error;
  const std::string lastDir = "D:\\\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\\ Zo\xC3\xAB \xF0\x9F\x98\x80\\";
  ASSERT_TRUE(WriteIniString(file, "Options", "LastDir", lastDir, error)) << error;
  ASSERT_TRUE(WriteIniInteger(file, "Options", "UndoFile", 0, error)) << error;
  EXPECT_EQ(ReadIniString(file, "Options", "LastDir", ""), lastDir);
  EXPECT_EQ(ReadIniInteger(file, "options", "undofile", 1), 0);
  EXPECT_EQ(dir.ReadFile("Quillon.ini").substr(0, 2), "\xFF\xFE");

  dir.WriteFile("Old.ini", "[Options]\r\nPattern=*.mp3\r\nCaseSensitive=0x1\r\nLastDir=\r\n");
  EXPECT_EQ(ReadIniString(dir / "Old.ini", "OPTIONS", "pattern", "*"), "*.mp3");
  EXPECT_EQ(ReadIniInteger(dir / "Old.ini", "Options", "CaseSensitive", 0), 1);
  EXPECT_EQ(ReadIniString(dir / "Old.ini", "Options", "LastDir", "C:\\"), "");
  EXPECT_EQ(ReadIniString(dir / "Old.ini", "Options", "Missing", "C:\\"), "C:\\");
  ASSERT_TRUE(WriteIniString(dir / "Old.ini", "Options", "Pattern", "*.ogg", error)) << error;
  EXPECT_EQ(ReadIniString(dir / "Old.ini", "Options", "Pattern", "*"), "*.ogg");
  EXPECT_FALSE(WriteIniString(dir / std::string("x\0.ini", 6), "Options", "Pattern", "*", error));
  EXPECT_FALSE(dir.Exists("x"));
}

namespace {
bool IsAscii(const std::string& text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}
}  // namespace

TEST(WindowsUndoFile, RunningItWithCmdRestoresEveryName) {
  TempDir dir;
  const std::vector<std::string> oldNames = {
      "plain.txt", "100% & ^ ! ( ).txt", "%PATH% %%x", "caf\xC3\xA9.txt", "\xE6\x97\xA5\xE6\x9C\xAC.txt",
      "\xF0\x9F\x98\x80.txt"};
  dir.MakeFolder("data & 100%");
  const std::string work = dir / "data & 100%";
  std::vector<PreviewEntry> entries;
  for (std::size_t i = 0; i < oldNames.size(); ++i) {
    dir.WriteFile("data & 100%\\" + oldNames[i], std::to_string(i));
    entries.push_back({"new " + std::to_string(i) + " ^&%", oldNames[i], work});
  }
  dir.WriteFile("data & 100%\\chain-a", "A");
  dir.WriteFile("data & 100%\\chain-b", "B");
  entries.push_back({"chain-c", "chain-b", work});
  entries.push_back({"chain-b", "chain-a", work});
  const std::vector<std::string> before = Names(work);
  const RenameEngine::RenameRun run = RenameEngine::PerformRenames(entries);
  ASSERT_EQ(run.successes, entries.size());
  std::string error;
  ASSERT_TRUE(RenameEngine::WriteUndoFile(dir / "UNDO.BAT", run.undoLines, error)) << error;

  // The UTF-8 switch first, then one REN line per rename.
  const std::string text = dir.ReadFile("UNDO.BAT");
  EXPECT_EQ(text, "@CHCP 65001 >NUL\r\n" + RenameEngine::UndoFileText(run.undoLines));

  RunCommand("cmd /c \"\"" + (dir / "UNDO.BAT") + "\"\" >NUL 2>NUL");
  for (std::size_t i = 0; i < oldNames.size(); ++i) {
    if (IsAscii(oldNames[i])) {
      EXPECT_EQ(dir.ReadFile("data & 100%\\" + oldNames[i]), std::to_string(i)) << oldNames[i];
    }
  }
  EXPECT_EQ(dir.ReadFile("data & 100%\\chain-a"), "A");
  EXPECT_EQ(dir.ReadFile("data & 100%\\chain-b"), "B");
  if (Names(work) != before) {
    // Does this cmd read a batch file's UTF-8 lines after CHCP 65001?
    dir.WriteFile("probe.bat", "@CHCP 65001 >NUL\r\n@ECHO x> \"" + (dir / "caf\xC3\xA9") + "\"\r\n");
    RunCommand("cmd /c \"\"" + (dir / "probe.bat") + "\"\" >NUL 2>NUL");
    if (!dir.Exists("caf\xC3\xA9"))
      GTEST_SKIP() << "names beyond ASCII: this cmd (wine's) reads batch files in the OEM code page whatever "
                      "CHCP says; the names in ASCII were restored";
  }
  EXPECT_EQ(Names(work), before) << text;
  for (std::size_t i = 0; i < oldNames.size(); ++i)
    EXPECT_EQ(dir.ReadFile("data & 100%\\" + oldNames[i]), std::to_string(i)) << oldNames[i];
}

// Under a folder name beyond the ANSI code page the program still finds its
// own folder: a copy of this executable there reports it.
TEST(WindowsProgramFolder, IsTheExecutablesFolderInUtf8) {
  if (const char* out = std::getenv("QUILLON_PROGRAM_FOLDER_OUT")) {
    std::FILE* f = ::_wfopen(WinText::Wide(out).c_str(), L"wb");
    ASSERT_NE(f, nullptr);
    const std::string folder = ProgramFolder();
    std::fwrite(folder.data(), 1, folder.size(), f);
    std::fclose(f);
    return;
  }
  TempDir dir;
  const std::string folder = dir / "Zo\xC3\xAB \xE6\x97\xA5\xE6\x9C\xAC";
  dir.MakeFolder("Zo\xC3\xAB \xE6\x97\xA5\xE6\x9C\xAC");
  const std::string self = ProgramFolder();
  ASSERT_FALSE(self.empty());
  wchar_t path[MAX_PATH];
  ASSERT_GT(::GetModuleFileNameW(nullptr, path, MAX_PATH), 0u);
  ASSERT_TRUE(::CopyFileW(path, WinText::Wide(folder + "\\copy.exe").c_str(), TRUE));
  ::SetEnvironmentVariableW(L"QUILLON_PROGRAM_FOLDER_OUT", WinText::Wide(dir / "out.txt").c_str());
  RunCommand("\"\"" + folder + "\\copy.exe\" --gtest_filter=WindowsProgramFolder.* >NUL 2>NUL\"");
  ::SetEnvironmentVariableW(L"QUILLON_PROGRAM_FOLDER_OUT", nullptr);
  EXPECT_EQ(dir.ReadFile("out.txt"), folder + "\\");
}

#endif  // _WIN32
