#include "rename/RenameEngine.h"

#include "support/LinuxOnly.h"
#if QUILLON_TEST_OTHER_USER
#include "support/AsOtherUser.h"
#endif
#if QUILLON_TEST_FUSE
#include "support/ExfatMount.h"
#endif
#if QUILLON_TEST_FULL_DISK
#include "support/FailingWrites.h"
#endif
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <optional>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <functional>

using RenameEngine::PerformRenames;
using RenameEngine::UndoLine;

namespace {

[[maybe_unused]] std::vector<std::string> Listing(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

#if QUILLON_TEST_SHELL
int RunShell(const std::string& folder, const std::string& script) {
  return std::system(("cd '" + folder + "' && sh " + script + " >/dev/null 2>&1").c_str());
}
#endif

}  // namespace

TEST(RenameUndoLineTest, LinuxAndWindowsLines) {
  struct Case {
    PreviewEntry entry;
    bool renamed;
    Build build;
    const char* line;
  } cases[] = {
      {{"new.txt", "old.txt", "/home/u"}, true, Build::Linux, "mv -n -T -- \"/home/u/new.txt\" \"/home/u/old.txt\"\n"},
      {{"b", "a", "/home/u/"}, true, Build::Linux, "mv -n -T -- \"/home/u/b\" \"/home/u/a\"\n"},
      {{"b", "a", ""}, true, Build::Linux, "mv -n -T -- \"/b\" \"/a\"\n"},
      {{"n$x", "o`x`\\\"y", "/d $HOME"}, true, Build::Linux,
       "mv -n -T -- \"/d \\$HOME/n\\$x\" \"/d \\$HOME/o\\`x\\`\\\\\\\"y\"\n"},
      {{"two\nlines", "o", "/d"}, true, Build::Linux, "mv -n -T -- \"/d/two\nlines\" \"/d/o\"\n"},
      {{"b", "a", "/d"}, false, Build::Linux, ": mv -n -T -- \"/d/b\" \"/d/a\"\n"},
      {{"New.txt", "old.txt", "C:\\Music"}, true, Build::Windows, "REN \"C:\\Music\\New.txt\" \"old.txt\"\r\n"},
      {{"b", "a", "C:\\"}, true, Build::Windows, "REN \"C:\\b\" \"a\"\r\n"},
      {{"100%", "%PATH%", "C:\\x%y"}, true, Build::Windows, "REN \"C:\\x%%y\\100%%\" \"%%PATH%%\"\r\n"},
      {{"b", "a", "C:\\d"}, false, Build::Windows, "REM REN \"C:\\d\\b\" \"a\"\r\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(UndoLine(c.entry, c.renamed, c.build), c.line) << c.entry.newName;
}

TEST(RenameUndoLineTest, FileTextIsTheLinesLastToFirst) {
  EXPECT_EQ(RenameEngine::UndoFileText({}), "");
  EXPECT_EQ(RenameEngine::UndoFileText({"1\n", "2\n", "3\n"}), "3\n2\n1\n");
}

TEST(RenameUndoLineTest, CountsText) {
  EXPECT_EQ(RenameEngine::CountsText(0, 0), "Ready, renamed 0 file(s)/folder(s), 0 error(s).");
  EXPECT_EQ(RenameEngine::CountsText(100000, 2), "Ready, renamed 100000 file(s)/folder(s), 2 error(s).");
  EXPECT_EQ(RenameEngine::FoundCountText(0), "0 files found");
  EXPECT_EQ(RenameEngine::FoundCountText(1), "1 file found");
  EXPECT_EQ(RenameEngine::FoundCountText(12345), "12345 files found");
  EXPECT_EQ(RenameEngine::DeleteResultText(0), "Ready.");
  EXPECT_EQ(RenameEngine::DeleteResultText(3), "Ready, failed to delete 3 of the selected files.");
}


// The Linux undo line doubles each backslash of a path (none on Linux, every
// delimiter in the Windows build's temporary folders).
std::string InShellQuotes(std::string path) {
  for (std::size_t at = path.find('\\'); at != std::string::npos; at = path.find('\\', at + 2)) path.insert(at, 1, '\\');
  return path;
}

struct RenameRunTest : ::testing::Test {
  TempDir dir;
  std::string folder = dir.path();
  std::string quoted = InShellQuotes(folder);
};

TEST_F(RenameRunTest, RenamesFilesAndFoldersAndSkipsUnchangedEntries) {
  dir.WriteFile("a.txt", "A");
  dir.WriteFile("same.txt", "S");
  dir.WriteFile("sub.dir/inner", "I");
  RenameEngine::RenameRun run = PerformRenames({
      {"b.txt", "a.txt", folder},
      {"same.txt", "same.txt", folder},
      {"renamed.dir", "sub.dir", folder + "/"},
  }, Build::Linux);
  EXPECT_EQ(run.successes, 2u);
  EXPECT_EQ(run.failures, 0u);
  EXPECT_FALSE(run.stopped);
  EXPECT_EQ(run.undoLines, (std::vector<std::string>{
                               "mv -n -T -- \"" + quoted + "/b.txt\" \"" + quoted + "/a.txt\"\n",
                               "mv -n -T -- \"" + quoted + "/renamed.dir\" \"" + quoted + "/sub.dir\"\n",
                           }));
  EXPECT_EQ(Listing(folder), (std::vector<std::string>{"b.txt", "renamed.dir", "same.txt"}));
  EXPECT_EQ(dir.ReadFile("b.txt"), "A");
  EXPECT_EQ(dir.ReadFile("renamed.dir/inner"), "I");
}

TEST_F(RenameRunTest, CaseOnlyRenameSucceeds) {
  dir.WriteFile("photo.JPG", "P");
  RenameEngine::RenameRun run = PerformRenames({{"photo.jpg", "photo.JPG", folder}});
  EXPECT_EQ(run.successes, 1u);
  EXPECT_EQ(Listing(folder), std::vector<std::string>{"photo.jpg"});
}

#if QUILLON_TEST_FUSE
TEST(RenameRunExfatTest, CaseOnlyRenameOnAFileSystemThatIgnoresCase) {
  ExfatMount volume;
  if (!volume.ok()) GTEST_SKIP() << volume.whyNot();
  {
    std::FILE* f = std::fopen((volume.path() + "/photo.JPG").c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fputs("P", f);
    std::fclose(f);
  }
  RenameEngine::RenameRun run = PerformRenames({{"photo.jpg", "photo.JPG", volume.path()}});
  EXPECT_EQ(run.successes, 1u);
  EXPECT_EQ(run.failures, 0u);
  EXPECT_EQ(Listing(volume.path()), std::vector<std::string>{"photo.jpg"});
}

#endif

TEST_F(RenameRunTest, ATargetOutsideThePreviewIsNeverReplaced) {
  dir.WriteFile("mine.txt", "mine");
  dir.WriteFile("theirs.txt", "theirs");
  RenameEngine::RenameRun run = PerformRenames({{"theirs.txt", "mine.txt", folder}}, Build::Linux);
  EXPECT_EQ(run.successes, 0u);
  EXPECT_EQ(run.failures, 1u);
  EXPECT_EQ(dir.ReadFile("mine.txt"), "mine");
  EXPECT_EQ(dir.ReadFile("theirs.txt"), "theirs");
  ASSERT_EQ(run.undoLines.size(), 1u);
  EXPECT_EQ(run.undoLines[0], ": mv -n -T -- \"" + quoted + "/theirs.txt\" \"" + quoted + "/mine.txt\"\n");
}

// A chain given in the order that would block it, and a swap: each entry is
// delivered, and the undo lines bring the start back last to first.
TEST_F(RenameRunTest, ChainsAndSwapsAreDeliveredInAnyListOrder) {
  struct Case {
    std::vector<PreviewEntry> entries;
    std::map<std::string, std::string> after;  // name -> content
  } cases[] = {
      {{{"b", "a", folder}, {"c", "b", folder}}, {{"b", "A"}, {"c", "B"}}},
      {{{"b", "a", folder}, {"a", "b", folder}}, {{"a", "B"}, {"b", "A"}}},
  };
  for (const Case& c : cases) {
    for (const std::string& name : Listing(folder)) std::filesystem::remove(dir / name);
    dir.WriteFile("a", "A");
    dir.WriteFile("b", "B");
    RenameEngine::RenameRun run = PerformRenames(c.entries);
    EXPECT_EQ(run.successes, 2u);
    EXPECT_EQ(run.failures, 0u);
    std::map<std::string, std::string> onDisk;
    for (const std::string& name : Listing(folder)) onDisk[name] = dir.ReadFile(name);
    EXPECT_EQ(onDisk, c.after);
  }
}

TEST_F(RenameRunTest, MissingEntriesAndNamesLeavingTheFolderFail) {
  dir.WriteFile("x", "X");
  dir.MakeFolder("sub");
  RenameEngine::RenameRun run = PerformRenames({
      {"y", "gone", folder},
      {"sub/x", "x", folder},
      {"..", "x", folder},
      {"", "x", folder},
  });
  EXPECT_EQ(run.successes, 0u);
  EXPECT_EQ(run.failures, 4u);
  EXPECT_EQ(run.undoLines.size(), 4u);
  EXPECT_EQ(Listing(folder), (std::vector<std::string>{"sub", "x"}));
  EXPECT_TRUE(Listing(folder + "/sub").empty());
}

TEST_F(RenameRunTest, UndoFileExactBytesInBothFormats) {
  dir.WriteFile("work/one", "1");
  dir.WriteFile("work/two", "2");
  dir.WriteFile("work/taken", "t");
  const std::string work = dir / "work";
  const std::vector<PreviewEntry> entries = {
      {"uno", "one", work}, {"one", "one", work}, {"taken", "two", work + "/"}};

  RenameEngine::RenameRun run = PerformRenames(entries, Build::Linux);
  std::string error;
  ASSERT_TRUE(RenameEngine::WriteUndoFile(dir / "UNDO", run.undoLines, error, Build::Linux)) << error;
  EXPECT_EQ(dir.ReadFile("UNDO"),
            ": mv -n -T -- \"" + InShellQuotes(work) + "/taken\" \"" + InShellQuotes(work) + "/two\"\n"
            "mv -n -T -- \"" + InShellQuotes(work) + "/uno\" \"" + InShellQuotes(work) + "/one\"\n");

  // The Windows form of the same run's entries.
  std::vector<std::string> windowsLines = {UndoLine({"uno", "one", "D:\\work"}, true, Build::Windows),
                                           UndoLine({"taken", "two", "D:\\work\\"}, false, Build::Windows)};
  ASSERT_TRUE(RenameEngine::WriteUndoFile(dir / "UNDO.BAT", windowsLines, error, Build::Windows)) << error;
  EXPECT_EQ(dir.ReadFile("UNDO.BAT"),
            "@CHCP 65001 >NUL\r\n"
            "REM REN \"D:\\work\\taken\" \"two\"\r\n"
            "REN \"D:\\work\\uno\" \"one\"\r\n");
}

TEST_F(RenameRunTest, ARunWithNothingChangedWritesAnEmptyUndoFile) {
  dir.WriteFile("UNDO", "mv \"/x\" \"/y\"\n");
  dir.WriteFile("f", "F");
  RenameEngine::RenameRun run = PerformRenames({{"f", "f", folder}});
  EXPECT_EQ(run.successes + run.failures, 0u);
  std::string error;
  ASSERT_TRUE(RenameEngine::WriteUndoFile(dir / "UNDO", run.undoLines, error));
  EXPECT_TRUE(dir.Exists("UNDO"));
  // The batch file still switches cmd to UTF-8 first.
  EXPECT_EQ(dir.ReadFile("UNDO"), kThisBuild == Build::Windows ? "@CHCP 65001 >NUL\r\n" : "");
}

#if QUILLON_TEST_SHELL
TEST_F(RenameRunTest, RunningTheUndoFileRestoresEveryNameAndDoesNothingElse) {
  const std::vector<std::string> oldNames = {
      "plain.txt", "with space", "dollar $HOME", "back`touch pwned1`quote", "sub $(touch pwned2)",
      "back\\slash", "quote\"d", "line\nbreak", "semi;colon & amp | pipe", "'single'", "tail\\"};
  dir.MakeFolder("data $PWD `x`");
  const std::string work = dir / "data $PWD `x`";
  std::vector<PreviewEntry> entries;
  for (std::size_t i = 0; i < oldNames.size(); ++i) {
    dir.WriteFile("data $PWD `x`/" + oldNames[i], std::to_string(i));
    entries.push_back({"new " + std::to_string(i) + " $x \\ \" ` \n", oldNames[i], work});
  }
  // A chain (b -> c, then a -> b) that needs undoing last to first, and a
  // swap that goes through a temporary name both ways.
  dir.WriteFile("data $PWD `x`/chain-a", "chain A");
  dir.WriteFile("data $PWD `x`/chain-b", "chain B");
  entries.push_back({"chain-c", "chain-b", work});
  entries.push_back({"chain-b", "chain-a", work});
  dir.WriteFile("data $PWD `x`/swap-1", "S1");
  dir.WriteFile("data $PWD `x`/swap-2", "S2");
  entries.push_back({"swap-2", "swap-1", work});
  entries.push_back({"swap-1", "swap-2", work});
  const std::vector<std::string> before = Listing(work);

  RenameEngine::RenameRun run = PerformRenames(entries, Build::Linux);
  EXPECT_EQ(run.successes, oldNames.size() + 4);
  EXPECT_EQ(run.failures, 0u);
  std::string error;
  ASSERT_TRUE(RenameEngine::WriteUndoFile(dir / "UNDO", run.undoLines, error, Build::Linux)) << error;

  ASSERT_EQ(RunShell(dir.path(), "UNDO"), 0) << dir.ReadFile("UNDO");
  EXPECT_EQ(Listing(work), before);
  for (std::size_t i = 0; i < oldNames.size(); ++i)
    EXPECT_EQ(dir.ReadFile("data $PWD `x`/" + oldNames[i]), std::to_string(i)) << oldNames[i];
  EXPECT_EQ(dir.ReadFile("data $PWD `x`/chain-a"), "chain A");
  EXPECT_EQ(dir.ReadFile("data $PWD `x`/chain-b"), "chain B");
  EXPECT_EQ(dir.ReadFile("data $PWD `x`/swap-1"), "S1");
  EXPECT_EQ(dir.ReadFile("data $PWD `x`/swap-2"), "S2");
  EXPECT_EQ(Listing(dir.path()), (std::vector<std::string>{"UNDO", "data $PWD `x`"}));
}

#endif

TEST_F(RenameRunTest, UndoFileThatCannotBeCreatedReportsWithTheRenamesDone) {
  dir.WriteFile("a", "A");
  RenameEngine::RenameRun run = PerformRenames({{"b", "a", folder}});
  EXPECT_EQ(run.successes, 1u);
  const std::string undo = dir / "no such folder/UNDO";
  std::string error;
  EXPECT_FALSE(RenameEngine::WriteUndoFile(undo, run.undoLines, error, Build::Linux));
  EXPECT_EQ(error, "Cannot create file \"" + undo + "\". " + MissingFolderReason());
  EXPECT_FALSE(RenameEngine::WriteUndoFile(undo, run.undoLines, error, Build::Windows));
  EXPECT_EQ(error, "Cannot create file " + undo);
  EXPECT_EQ(Listing(folder), std::vector<std::string>{"b"});
}

// An undo file left from an earlier run no longer matches the names on disk:
// when the new one cannot be written the old one goes, or the text says it is
// out of date.
TEST_F(RenameRunTest, AFailedUndoFileWriteRemovesTheEarlierFileOrCallsItStale) {
  const std::string stale = " The earlier undo file is out of date: do not run it.";
  std::string error;
#if QUILLON_TEST_FULL_DISK
  dir.WriteFile("prog/UNDO", "mv \"/p/new\" \"/p/old\"\n");
  {
    FailingWrites full(dir / "prog");  // root still may remove the file
    EXPECT_FALSE(RenameEngine::WriteUndoFile(dir / "prog/UNDO", {"mv -n -T -- \"/x\" \"/y\"\n"}, error, Build::Linux));
  }
  EXPECT_EQ(error.rfind("Cannot create file \"" + (dir / "prog/UNDO") + "\". ", 0), 0u) << error;
  EXPECT_EQ(error.find(stale), std::string::npos) << error;
  EXPECT_TRUE(Listing(dir / "prog").empty());
#endif

  // Another user's file in another user's folder (POSIX), a read-only file
  // (Windows): it can be neither written nor removed.
  dir.WriteFile("prog/UNDO", "earlier");
#if QUILLON_TEST_OTHER_USER
  ASSERT_TRUE(OpenToOthers(dir.path()) && OpenToOthers(dir / "prog"));
  const auto asThatUser = AsOtherUser;
#else
  SetReadOnly(dir / "prog/UNDO", true);
  const auto asThatUser = [](const std::function<bool()>& check) { return std::optional<bool>(check()); };
#endif
  const std::optional<bool> staleReported = asThatUser([&] {
    std::string text;
    return !RenameEngine::WriteUndoFile(dir / "prog/UNDO", {}, text) &&
           text.size() > stale.size() && text.compare(text.size() - stale.size(), stale.size(), stale) == 0;
  });
  ASSERT_TRUE(staleReported.has_value());
  EXPECT_TRUE(*staleReported);
  EXPECT_EQ(dir.ReadFile("prog/UNDO"), "earlier");
}

#if QUILLON_TEST_SHELL && QUILLON_TEST_FUSE
// The undo file run by each shell, once and twice, after the user made new
// files under old names, on a volume that keeps case and on one that ignores
// it: every file keeps its content, nothing is replaced or moved into a folder,
// and a change of case alone is undone.
TEST(UndoFileShellTest, NeverReplacesAndUndoesChangesOfCase) {
  TempDir plain;
  ExfatMount exfat;
  std::vector<std::string> volumes = {plain.path()};
  if (exfat.ok()) volumes.push_back(exfat.path());
  else ADD_FAILURE() << "exFAT part not run: " << exfat.whyNot();
  for (const std::string& volume : volumes) {
    for (const std::string shell : {"sh", "dash", "bash"}) {
      const std::string work = volume + "/" + shell;
      std::filesystem::create_directories(work + "/MUSIC");
      const auto write = [&](const std::string& name, const std::string& content) {
        std::ofstream(work + "/" + name) << content;
      };
      const auto read = [&](const std::string& name) {
        std::ifstream in(work + "/" + name);
        return in ? std::string(std::istreambuf_iterator<char>(in), {}) : "(missing)";
      };
      write("a", "A");
      write("b", "B");
      write("report.txt", "old report");
      write("x", "X");
      write("MUSIC/song", "S");
      RenameEngine::RenameRun run = PerformRenames(
          {{"Music", "MUSIC", work}, {"c", "b", work}, {"b", "a", work}, {"report-2023.txt", "report.txt", work},
           {"y", "x", work}},
          Build::Linux);
      ASSERT_EQ(run.successes, 5u) << work;
      write("report.txt", "new report");
      std::filesystem::create_directory(work + "/x");
      std::string error;
      ASSERT_TRUE(RenameEngine::WriteUndoFile(work + "/UNDO", run.undoLines, error, Build::Linux)) << error;
      // The first time every line succeeds, the last (a change of case) too.
      for (int time = 0; time < 2; ++time) {
        const int status = std::system(("cd '" + work + "' && " + shell + " UNDO >/dev/null 2>&1").c_str());
        if (time == 0) {
          EXPECT_EQ(status, 0) << work << " with " << shell;
        }
      }

      const std::string where = work + " with " + shell;
      EXPECT_EQ(read("a"), "A") << where;
      EXPECT_EQ(read("b"), "B") << where;
      EXPECT_EQ(read("report.txt"), "new report") << where;
      EXPECT_EQ(read("report-2023.txt"), "old report") << where;
      EXPECT_EQ(read("y"), "X") << where;
      EXPECT_TRUE(std::filesystem::is_empty(work + "/x")) << where;
      EXPECT_EQ(read("MUSIC/song"), "S") << where;
      EXPECT_EQ(Listing(work), (std::vector<std::string>{"MUSIC", "UNDO", "a", "b", "report-2023.txt",
                                                         "report.txt", "x", "y"}))
          << where;
    }
  }

  // A dangling link's change of case that cannot be undone (the user made a
  // file under its old name): the link keeps its new name and the line fails.
  const std::string work = plain.path() + "/link";
  std::filesystem::create_directory(work);
  std::filesystem::create_directory_symlink("/nonexistent", work + "/link");
  const RenameEngine::RenameRun run = PerformRenames({{"LINK", "link", work}}, Build::Linux);
  ASSERT_EQ(run.successes, 1u);
  std::ofstream(work + "/link") << "user";
  std::string error;
  ASSERT_TRUE(RenameEngine::WriteUndoFile(work + "/UNDO", run.undoLines, error, Build::Linux)) << error;
  EXPECT_NE(std::system(("cd '" + work + "' && sh UNDO >/dev/null 2>&1").c_str()), 0);
  EXPECT_TRUE(std::filesystem::is_symlink(work + "/LINK"));
  EXPECT_EQ(Listing(work), (std::vector<std::string>{"LINK", "UNDO", "link"}));
}

#endif

// A new name edited to hold a zero byte names, for the system, only the part
// before it: the rename fails and no other name appears.
TEST_F(RenameRunTest, ANewNameHoldingAZeroByteFailsAndRenamesNothing) {
  dir.WriteFile("a.txt", "A");
  dir.WriteFile("b", "B");
  RenameEngine::RenameRun run = PerformRenames({
      {std::string("c\0.txt", 6), "a.txt", folder},
      {std::string("b\0", 2), "b", folder},
  }, Build::Linux);
  EXPECT_EQ(run.successes, 0u);
  EXPECT_EQ(run.failures, 2u);
  EXPECT_EQ(run.undoLines.size(), 2u);
  EXPECT_EQ(Listing(folder), (std::vector<std::string>{"a.txt", "b"}));
  EXPECT_EQ(dir.ReadFile("a.txt"), "A");
}
