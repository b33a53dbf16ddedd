#include "rename/Journal.h"
#include "rename/RenameEngine.h"

#include "platform/FileSystem.h"
#include "platform/JournalFiles.h"
#include "platform/Paths.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <random>
#include <regex>

#include "support/LinuxOnly.h"

#ifdef _WIN32
#include <windows.h>
#undef DeleteFile
#endif
#if QUILLON_TEST_OTHER_USER
#include "support/AsOtherUser.h"

#include <sys/stat.h>
#endif
#if QUILLON_TEST_FUSE
#include "support/ExfatMount.h"
#endif
#if QUILLON_TEST_FULL_DISK
#include "support/FailingWrites.h"
#endif
#if QUILLON_TEST_PROCESSES
#include <csignal>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#endif

namespace {

#if QUILLON_TEST_FUSE

// The suite runs itself again under strace for the fault tests: with these
// variables set, the process does one journaled rename (or one undo) and
// exits at once.
const int kHelperRun = [] {
  if (const char* undo = std::getenv("QUILLON_HELPER_UNDO")) ::_exit(static_cast<int>(Journal::UndoRun(undo).undone));
  const char* folder = std::getenv("QUILLON_HELPER_FOLDER");
  if (!folder) return 0;
  Journal::Writer journal;
  std::string reason;
  if (!journal.Open(std::getenv("QUILLON_HELPER_STATE"), reason)) ::_exit(3);
  RenameEngine::RenameRun run = RenameEngine::PerformRenames(
      {{std::getenv("QUILLON_HELPER_NEW"), std::getenv("QUILLON_HELPER_OLD"), folder}}, journal);
  ::_exit(run.stranded.size() == 1 ? 1 : 0);
}();
#endif

std::string NameOf(const std::filesystem::path& path) {
  const std::u8string name = path.filename().u8string();
  return std::string(name.begin(), name.end());
}

// Every file's content is its first name, so that where each one went can
// be read from the disk: name -> content.
std::map<std::string, std::string> Contents(const std::string& folder) {
  std::map<std::string, std::string> contents;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    std::ifstream in(entry.path());
    contents[NameOf(entry.path())] =
        entry.is_directory() ? "(folder)" : std::string(std::istreambuf_iterator<char>(in), {});
  }
  return contents;
}

#if QUILLON_TEST_PROCESSES
std::size_t CountMoved(const std::map<std::string, std::string>& contents) {
  std::size_t moved = 0;
  for (const auto& [name, content] : contents) moved += name != content;
  return moved;
}
#endif

struct JournalTest : ::testing::Test {
  TempDir dir;
  std::string files = dir / "files";
  std::string state = dir / "state/quillon";
  void SetUp() override { dir.MakeFolder("files"); }
  void Make(const std::string& name) { dir.WriteFile("files/" + name, name); }

  RenameEngine::RenameRun Run(const std::vector<PreviewEntry>& entries) {
    Journal::Writer journal;
    std::string reason;
    EXPECT_TRUE(journal.Open(state, reason)) << reason;
    return RenameEngine::PerformRenames(entries, journal);
  }
};

}  // namespace

TEST(JournalStateFolderTest, FollowsTheEnvironmentOfEachBuild) {
  const struct {
    Journal::StateEnvironment environment;
    Build build;
    const char* folder;
  } cases[] = {
      {{"/x/state", "/home/u", ""}, Build::Linux, "/x/state/quillon"},
      {{"/x/state/", "/home/u", ""}, Build::Linux, "/x/state/quillon"},
      {{"relative/state", "/home/u", ""}, Build::Linux, "/home/u/.local/state/quillon"},
      {{"", "/home/u", ""}, Build::Linux, "/home/u/.local/state/quillon"},
      {{"", "", ""}, Build::Linux, "/.local/state/quillon"},
      {{"/x", "/home/u", "C:\\Users\\u\\AppData\\Local"}, Build::Windows, "C:\\Users\\u\\AppData\\Local\\Quillon"},
      {{"/x", "/home/u", ""}, Build::Windows, ""},
  };
  for (const auto& c : cases) EXPECT_EQ(Journal::StateFolder(c.environment, c.build), c.folder) << c.folder;
}

// Names with line breaks, shell syntax and bytes that are no UTF-8 (on
// Windows: cmd syntax and letters beyond ASCII) go through the journal and
// back; a chain needs undoing last to first, a change of case alone too. Two
// runs are undone newest first, each once only.
TEST_F(JournalTest, TwoRunsAreUndoneNewestFirstAndNeverTwice) {
  const bool windows = kThisBuild == Build::Windows;
  const std::string odd = windows ? "50% & ^!" : "line\nbreak";
  const std::string oddRenamed = windows ? "renamed (1)" : "renamed\n1";
  const std::string bytes = windows ? "caf\xC3\xA9" : std::string("bad\xff\xfe", 5);
  const std::string bytesRenamed = windows ? "\xE6\x97\xA5\xF0\x9F\x98\x80" : std::string("\x80z", 2);
  for (const std::string& name : {odd, std::string("$(touch pwned)"), bytes, std::string("a"), std::string("b"),
                                  std::string("Photo.JPG")})
    Make(name);
  const auto before = Contents(files);
  RenameEngine::RenameRun first = Run({{oddRenamed, odd, files},
                                      {"c", "b", files},
                                      {"b", "a", files},
                                      {"`x`", "$(touch pwned)", files},
                                      {"photo.jpg", "Photo.JPG", files},
                                      {"same", "same", files}});
  EXPECT_EQ(first.successes, 5u);
  RenameEngine::RenameRun second = Run({{bytesRenamed, bytes, files},
                                       {"d", "b", files},
                                       {"missing-new", "missing", files}});
  EXPECT_EQ(second.successes, 2u);
  EXPECT_EQ(second.failures, 1u);

  const std::vector<std::string> runs = Journal::RunFiles(state);
  ASSERT_EQ(runs.size(), 2u);
  for (const std::string& run : runs) {
    ASSERT_EQ(Journal::NewestUndoableRun(state), run);
    const Journal::UndoResult undo = Journal::UndoRun(run);
    EXPECT_EQ(undo.undone, run == runs[0] ? 2u : 5u);
    EXPECT_EQ(undo.errors, 0u);
    EXPECT_EQ(undo.error, "");
    EXPECT_EQ(Journal::UndoRun(run).error, "this rename was undone already");
  }
  EXPECT_EQ(Journal::NewestUndoableRun(state), std::nullopt);
  EXPECT_EQ(Contents(files), before);
  EXPECT_FALSE(std::filesystem::exists("pwned"));
  EXPECT_EQ(RenameEngine::UndoneText(4, 1), "Ready, undone 4 file(s)/folder(s), 1 error(s).");
}

// After the run the user made a file under an old name and removed a
// renamed one: those entries fail and stay as they are, nothing is replaced.
TEST_F(JournalTest, EntriesChangedSinceTheRunFailAndReplaceNothing) {
  for (const char* name : {"a", "b", "c"}) Make(name);
  Run({{"A2", "a", files}, {"B2", "b", files}, {"C2", "c", files}});
  dir.WriteFile("files/a", "user's new a");
  std::filesystem::remove(files + "/B2");
  const Journal::UndoResult undo = Journal::UndoRun(Journal::RunFiles(state).at(0));
  EXPECT_EQ(undo.undone, 1u);
  EXPECT_EQ(undo.errors, 2u);
  EXPECT_EQ(Contents(files), (std::map<std::string, std::string>{{"A2", "a"}, {"a", "user's new a"}, {"c", "c"}}));
}

// Recovery decides from what was written and the disk, never from a guess.
// Results a kill cut off: the files of d (renamed to d2 after them) are
// found there. No: the entry not
// reached, renamed by hand later, is left alone by the undo. The folder moved
// away: nothing undone, the run stays undoable and says why.
TEST_F(JournalTest, RecoveryDecidesFromWhatWasWritten) {
  namespace fs = std::filesystem;
  const std::string f = Paths::WithTrailingDelimiter(files), d = f + "d" + Paths::Delimiter();
  dir.MakeFolder("files/d");
  std::deque<std::string> names;  // the views point into it
  std::vector<Journal::EntryView> batch;
  for (int i = 0; i < 100; ++i) {
    const std::string& name = names.emplace_back(std::to_string(i));
    dir.WriteFile("files/d/" + name, name);
    batch.push_back({d, name, names.emplace_back(name + "x")});
  }
  const auto before = Contents(files);
  batch.push_back({f, "d", "d2"});
  std::string reason;
  const auto cutShort = [&](const std::vector<Journal::EntryView>& entries, std::size_t done) {
    Journal::Writer journal;
    EXPECT_TRUE(journal.Open(state, reason) && journal.Intend(entries, reason)) << reason;
    for (const auto& e : std::vector(entries.begin(), entries.begin() + static_cast<std::ptrdiff_t>(done)))
      fs::rename(std::string(e.folder) + std::string(e.oldName), std::string(e.folder) + std::string(e.newName));
    return journal.Path();
  };
  const std::string cut = cutShort(batch, batch.size());
  const std::optional<Journal::UnfinishedRun> found = Journal::FindUnfinishedRun(state);
  EXPECT_TRUE(found && found->path == cut && found->changed == 101) << (found ? found->changed : 0);
  EXPECT_EQ(Journal::UndoRun(cut).undone, 101u);
  EXPECT_EQ(Contents(files), before);
  EXPECT_EQ(Contents(d).size(), 100u);
  for (const auto& [name, content] : Contents(d)) EXPECT_EQ(name, content);

  for (const bool moved : {false, true}) {
    const std::string x = moved ? "p" : "x", z = moved ? "q" : "z";
    Make(x), Make(z);
    const std::string kept = cutShort({{f, x, "y" + x}, {f, z, "w"}}, 1);
    ASSERT_TRUE(Journal::KeepRun(kept, reason)) << reason;
    fs::rename(moved ? files : f + z, moved ? files + "-moved" : f + "w");
    const Journal::UndoResult undo = Journal::UndoRun(kept);
    EXPECT_EQ(std::make_pair(undo.undone, undo.errors), std::make_pair(std::size_t(!moved), std::size_t(moved)));
    EXPECT_EQ(undo.keptUndoable, moved);
    EXPECT_EQ(Journal::NewestUndoableRun(state) == kept, moved);
    if (moved) fs::rename(files + "-moved", files);
    EXPECT_EQ(Journal::UndoRun(kept).undone, moved ? 1u : 0u);
    EXPECT_TRUE(fs::exists(f + x) && fs::exists(f + "w"));
  }
}

TEST_F(JournalTest, KeepsTheTwentyNewestRunsAndSaysWhyNoneCanBeCreated) {
  std::string reason;
  for (int i = 0; i < 23; ++i) {
    Journal::Writer journal;
    ASSERT_TRUE(journal.Open(state, reason)) << reason;
    ASSERT_TRUE(journal.Finish(reason)) << reason;
  }
  const std::vector<std::string> runs = Journal::RunFiles(state);
  EXPECT_EQ(runs.size(), Journal::kKeptRuns);
  EXPECT_LT(runs.back(), runs.front());

  dir.WriteFile("plain-file");
  for (const std::string& inTheWay : {dir / "plain-file", Paths::Join(dir / "plain-file", "quillon")}) {
    Journal::Writer underAFile;
    reason.clear();
    EXPECT_FALSE(underAFile.Open(inTheWay, reason));
    EXPECT_FALSE(underAFile.IsOpen());
    EXPECT_NE(reason, "") << inTheWay;
    if (kThisBuild == Build::Linux) {
      EXPECT_EQ(reason, "Not a directory");
    }
  }
  EXPECT_TRUE(dir.ReadFile("plain-file").empty());
  // A reason left from an earlier failure does not fail the next open.
  Journal::Writer again;
  EXPECT_TRUE(again.Open(state, reason)) << reason;
#if QUILLON_TEST_OTHER_USER
  ASSERT_TRUE(OpenToOthers(dir.path()) && OpenToOthers(dir / "state"));
  EXPECT_EQ(AsOtherUser([&] {
              Journal::Writer journal;
              std::string why;
              return !journal.Open(dir / "state/quillon", why) &&
                     why == "the folder " + (dir / "state/quillon") + " belongs to another user";
            }),
            std::optional<bool>(true));
#endif
}

// A run cut short, as by a crash: the journal was not finished and its last
// record is torn. While its writer holds it, nobody else takes it; then it is
// found with the names really changed (one of them stuck under its temporary
// name between the two steps of a change of case). No keeps the names and is
// recorded although the tail was torn; undo later gives every name back.
TEST_F(JournalTest, AnUnfinishedRunIsFoundKeptAndUndone) {
  using FileSystem::RenameResult;
  for (const char* name : {"a", "b", "c", "PHOTO.JPG"}) Make(name);
  const auto before = Contents(files);
  const std::string folder = Paths::WithTrailingDelimiter(files);
  const std::string temporary = ".quillon-1-0123456789abcdef.tmp";
  std::string path, reason;
  {
    Journal::Writer journal;
    ASSERT_TRUE(journal.Open(state, reason)) << reason;
    path = journal.Path();
    journal.SetTotal(5);
    ASSERT_TRUE(journal.WriteIntent(
        {{folder, "a", "A2"}, {folder, "b", "B2"}, {folder, "c", "C2"}, {folder, "PHOTO.JPG", "photo.jpg"}}, reason));
    // a renamed and recorded, b renamed but not recorded, c not attempted.
    ASSERT_EQ(FileSystem::RenameNoReplace(files, "a", "A2"), RenameResult::Renamed);
    ASSERT_TRUE(journal.WriteResults(0, {Journal::EntryState::Renamed}, {}, reason));
    ASSERT_EQ(FileSystem::RenameNoReplace(files, "b", "B2"), RenameResult::Renamed);
    ASSERT_TRUE(journal.WriteTemporary(3, temporary, reason));
    ASSERT_EQ(FileSystem::RenameNoReplace(files, "PHOTO.JPG", temporary), RenameResult::Renamed);
    EXPECT_EQ(Journal::FindUnfinishedRun(state), std::nullopt);
    EXPECT_EQ(Journal::NewestUndoableRun(state), std::nullopt);
    EXPECT_EQ(Journal::UndoRun(path).error, "the journal is in use by another Quillon");
  }
  std::ofstream(std::filesystem::path(path), std::ios::binary | std::ios::app) << std::string("R\x40\0\0\0torn", 9);

  const std::optional<Journal::UnfinishedRun> found = Journal::FindUnfinishedRun(state);
  ASSERT_TRUE(found.has_value());
  EXPECT_EQ(found->path, path);
  EXPECT_EQ(found->changed, 3u);
  EXPECT_EQ(found->total, 5u);
  ASSERT_TRUE(Journal::KeepRun(path, reason)) << reason;
  EXPECT_EQ(Journal::FindUnfinishedRun(state), std::nullopt);
  EXPECT_EQ(Contents(files), (std::map<std::string, std::string>{
                                 {"A2", "a"}, {"B2", "b"}, {"c", "c"}, {"photo.jpg", "PHOTO.JPG"}}));
  ASSERT_EQ(Journal::NewestUndoableRun(state), path);
  const Journal::UndoResult undo = Journal::UndoRun(path);
  EXPECT_EQ(undo.undone, 3u);
  EXPECT_EQ(undo.errors, 0u);
  EXPECT_EQ(Contents(files), before);
  EXPECT_EQ(Journal::NewestUndoableRun(state), std::nullopt);
}

#if QUILLON_TEST_CLAIMS
FileSystem::ClaimIdentity IdentityOf(const std::string& path) {
  struct stat st {};
  ::lstat(path.c_str(), &st);
  return {st.st_dev, st.st_ino, std::uint64_t(st.st_ctim.tv_sec) * 1000000000u + std::uint64_t(st.st_ctim.tv_nsec)};
}

// Stranded entries whose old names hold empty files: P's the user's own, Q's
// the run's recorded claim, R's a recorded claim the user replaced by an
// empty file of their own; S was killed between claiming s2 and the rename.
// Only recorded claims that are still the same empty file go.
TEST_F(JournalTest, OnlyRecordedClaimsThatAreUnchangedAreRemoved) {
  const std::string f = Paths::WithTrailingDelimiter(files);
  std::string path, reason;
  {
    Journal::Writer journal;
    ASSERT_TRUE(journal.Open(state, reason) &&
                journal.WriteIntent({{f, "P", "p"}, {f, "Q", "q"}, {f, "R", "r"}, {f, "S", "s2"}}, reason));
    path = journal.Path();
    for (const std::string name : {"P", "Q", "R", "s2"}) {
      dir.WriteFile("files/" + name, "");
      if (name != "P") journal.WriteClaim(name == "s2" ? 3 : name[0] - 'P', name, IdentityOf(f + name), reason);
    }
    for (const std::string name : {"t0", "t1", "t2", "S"}) dir.WriteFile("files/" + name, name);
    using State = Journal::EntryState;
    journal.WriteResults(0, {State::Stranded, State::Stranded, State::Stranded}, {"t0", "t1", "t2"}, reason);
  }
  std::filesystem::remove(f + "R");
  dir.WriteFile("files/R", "");
  const Journal::UndoResult undo = Journal::UndoRun(path);
  EXPECT_EQ(std::make_pair(undo.undone, undo.errors), std::make_pair(std::size_t(1), std::size_t(2)));
  EXPECT_EQ(Contents(files), (std::map<std::string, std::string>{
                                 {"P", ""}, {"Q", "t1"}, {"R", ""}, {"S", "S"}, {"t0", "t0"}, {"t2", "t2"}}));
}

// A kill between claiming the temporary name (an empty file, where the volume
// refuses the no-replace flag) and moving the entry there leaves the entry
// under its old name: nothing was changed, the claim goes, and the entry, even
// an empty file that looks like a claim itself, stays as it is.
TEST_F(JournalTest, AClaimLeftAtTheTemporaryNameIsNotTheEntry) {
  const std::string temporary = ".quillon-1-0123456789abcdef.tmp";
  for (const std::string content : {"", "P"}) {
    SCOPED_TRACE("content \"" + content + "\"");
    dir.WriteFile("files/PHOTO.JPG", content);
    std::string path, reason;
    {
      Journal::Writer journal;
      ASSERT_TRUE(journal.Open(state, reason)) << reason;
      path = journal.Path();
      ASSERT_TRUE(journal.WriteIntent({{Paths::WithTrailingDelimiter(files), "PHOTO.JPG", "photo.jpg"}}, reason));
      ASSERT_TRUE(journal.WriteTemporary(0, temporary, reason));
      dir.WriteFile("files/" + temporary, "");
      ASSERT_TRUE(journal.WriteClaim(0, temporary, IdentityOf(files + "/" + temporary), reason));
    }
    const std::optional<Journal::UnfinishedRun> found = Journal::FindUnfinishedRun(state);
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(found->changed, 0u);
    const Journal::UndoResult undo = Journal::UndoRun(path);
    EXPECT_EQ(undo.undone + undo.errors, 0u);
    EXPECT_EQ(Contents(files), (std::map<std::string, std::string>{{"PHOTO.JPG", content}}));
  }
}

// An undo killed between claiming an old name and recording the claim: what
// stands at the name goes only when it can be nothing but that claim, an
// empty file of this user's made no earlier than the intent; an older empty
// file or one with content stays, and the entry's failure says why.
TEST_F(JournalTest, AnUnrecordedClaimGoesOnlyWhenItCanBeNothingElse) {
  const std::int64_t second = 1000000000;
  const struct {
    const char* content;
    std::int64_t intentAfterFile;  // nanoseconds from the file's status change to the intent
    const char* kept;              // empty: removed and the entry undone
  } cases[] = {{"", -1000000, ""}, {"", 3 * second, "its time does not match"}, {"x", -1000000, "it is not empty"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.kept);
    dir.WriteFile("files/b", "a");
    dir.WriteFile("files/a", c.content);
    std::string path, reason;
    {
      Journal::Writer journal;
      ASSERT_TRUE(journal.Open(state, reason) &&
                  journal.WriteIntent({{Paths::WithTrailingDelimiter(files), "a", "b"}}, reason) &&
                  journal.WriteResults(0, {Journal::EntryState::Renamed}, {}, reason) &&
                  journal.WriteClaimIntent(0, "a", "b", IdentityOf(files + "/a").changed + c.intentAfterFile, reason));
      path = journal.Path();
    }
    const Journal::UndoResult undo = Journal::UndoRun(path);
    const bool removed = *c.kept == '\0';
    EXPECT_EQ(undo.undone, removed ? 1u : 0u);
    EXPECT_EQ(Contents(files), removed ? (std::map<std::string, std::string>{{"a", "a"}})
                                       : (std::map<std::string, std::string>{{"a", c.content}, {"b", "a"}}));
    ASSERT_EQ(undo.failed.size(), removed ? 0u : 1u);
    if (!removed) {
      EXPECT_NE(undo.failed[0].reason.find(c.kept), std::string::npos) << undo.failed[0].reason;
    }
    std::filesystem::remove_all(files);
    dir.MakeFolder("files");
  }

  // An intent to claim a name that is none of the entry's own is no claim of
  // the program's: the user's empty file stays.
  dir.WriteFile("files/b", "a");
  dir.WriteFile("files/victim", "");
  std::string path, reason;
  {
    Journal::Writer journal;
    ASSERT_TRUE(journal.Open(state, reason) &&
                journal.WriteIntent({{Paths::WithTrailingDelimiter(files), "a", "b"}}, reason) &&
                journal.WriteResults(0, {Journal::EntryState::Renamed}, {}, reason) &&
                journal.WriteClaimIntent(0, "victim", "b", IdentityOf(files + "/victim").changed, reason));
    path = journal.Path();
  }
  EXPECT_EQ(Journal::UndoRun(path).undone, 1u);
  EXPECT_EQ(Contents(files), (std::map<std::string, std::string>{{"a", "a"}, {"victim", ""}}));
}
#endif

#ifdef _WIN32
// Where a change of letter case is not done in one step (wine), it goes
// through a temporary name that the session announces first; a notice that
// cannot record it leaves the entry as it was. A second step that fails
// (StrandedName) cannot be brought about here: wine has no fault injection
// and enforces no permissions under root.
TEST(JournalWindowsTest, ACaseChangeAnnouncesItsTemporaryNameFirst) {
  TempDir dir;
  dir.WriteFile("PHOTO.JPG", "P");
  FileSystem::RenameSession session;
  std::vector<std::string> heard;
  bool recorded = false;
  session.SetTemporaryNameNotice([&](const std::string& temporary) {
    heard.push_back(temporary);
    return recorded;
  });
  const FileSystem::RenameResult refused = session.Rename(dir.path(), "PHOTO.JPG", "photo.jpg");
  const bool underWine = ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
  if (heard.empty() && !underWine) GTEST_SKIP() << "this system changes letter case in one step, without a temporary name";
  ASSERT_EQ(heard.size(), 1u);
  EXPECT_EQ(refused, FileSystem::RenameResult::Failed);
  EXPECT_EQ(session.StrandedName(), "");
  EXPECT_TRUE(std::regex_match(heard[0], std::regex("\\.quillon-" + std::to_string(JournalFiles::ProcessId()) +
                                                    "-[0-9a-f]{16}\\.tmp")))
      << heard[0];
  EXPECT_EQ(Contents(dir.path()), (std::map<std::string, std::string>{{"PHOTO.JPG", "P"}}));
  recorded = true;
  EXPECT_EQ(session.Rename(dir.path(), "PHOTO.JPG", "photo.jpg"), FileSystem::RenameResult::Renamed);
  EXPECT_EQ(heard.size(), 2u);
  EXPECT_EQ(Contents(dir.path()), (std::map<std::string, std::string>{{"photo.jpg", "P"}}));
}
#endif

#if QUILLON_TEST_FULL_DISK
// A journal that stops taking writes stops the run before its next rename.
TEST_F(JournalTest, ARunStopsWhenItsJournalCannotBeWritten) {
  Make("a");
  Journal::Writer journal;
  std::string reason;
  ASSERT_TRUE(journal.Open(state, reason)) << reason;
  RenameEngine::RenameRun run;
  {
    FailingWrites full(dir / "state");
    run = RenameEngine::PerformRenames({{"b", "a", files}}, journal, Build::Linux);
  }
  EXPECT_TRUE(run.stopped);
  EXPECT_EQ(run.error, "Undo information cannot be saved: File too large.");
  EXPECT_EQ(run.successes + run.failures, 0u);
  EXPECT_EQ(Contents(files), (std::map<std::string, std::string>{{"a", "a"}}));
}

#endif

// The undo file goes to the program folder, to the state folder where the
// program folder cannot be written, and reports an error only when neither
// can be.
TEST_F(JournalTest, UndoFileGoesWhereItCanBeWritten) {
  EXPECT_EQ(RenameEngine::UndoFilePlaces("/opt/q", "/s/quillon", Build::Linux),
            (std::vector<std::string>{"/opt/q/UNDO", "/s/quillon/UNDO"}));
  EXPECT_EQ(RenameEngine::UndoFilePlaces("C:\\Q\\", "", Build::Windows), std::vector<std::string>{"C:\\Q\\UNDO.BAT"});

  dir.MakeFolder("prog");
  dir.MakeFolder("home");
  std::string writtenTo, error;
  ASSERT_TRUE(RenameEngine::SaveUndoFile(dir / "prog", state, {"1\n"}, writtenTo, error)) << error;
  EXPECT_EQ(writtenTo, Paths::UndoFileName(dir / "prog" + TempDir::Delimiter()));
#if QUILLON_TEST_OTHER_USER
  ASSERT_TRUE(OpenToOthers(dir.path()) && OpenToOthers(dir / "prog") && ::chmod((dir / "home").c_str(), 01777) == 0);
  const std::optional<bool> placed = AsOtherUser([&] {
    std::string to, text;
    return RenameEngine::SaveUndoFile(dir / "prog", dir / "home/state", {"2\n"}, to, text, Build::Linux) &&
           to == dir / "home/state/UNDO" && text.empty();
  });
  const std::optional<bool> refused = AsOtherUser([&] {
    std::string to, text;
    return !RenameEngine::SaveUndoFile(dir / "prog", dir / "prog/state", {"3\n"}, to, text, Build::Linux) &&
           text.rfind("Cannot create file \"" + (dir / "prog/UNDO") + "\". Permission denied", 0) == 0;
  });
  EXPECT_EQ(placed, std::optional<bool>(true));
  EXPECT_EQ(refused, std::optional<bool>(true));
  EXPECT_EQ(dir.ReadFile("home/state/UNDO"), "2\n");
#endif
}

#if QUILLON_TEST_PROCESSES

// A run killed with SIGKILL at several points: the next start finds it with
// the number of names really changed; Yes gives every name back, No keeps
// them and leaves the run undoable later.
TEST_F(JournalTest, ARunKilledAtAnyPointIsFoundAndUndoneOrKept) {
  const int count = 12000;
  std::vector<PreviewEntry> entries;
  // Independent renames mixed with a long chain (c<i> -> c<i+1>, last first).
  for (int i = 0; i < count / 2; ++i) {
    Make("f" + std::to_string(i));
    Make("c" + std::to_string(i));
    entries.push_back({"g" + std::to_string(i), "f" + std::to_string(i), files});
    const int link = count / 2 - 1 - i;
    entries.push_back({"c" + std::to_string(link + 1), "c" + std::to_string(link), files});
  }
  const auto before = Contents(files);
  for (const int killAfter : {0, 2500, 7000}) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      Run(entries);
      ::_exit(0);
    }
    // Entry 2k renames f<k> to g<k>.
    const std::string sign = files + "/g" + std::to_string(killAfter / 2);
    while (!std::filesystem::exists(sign) && ::waitpid(child, nullptr, WNOHANG) == 0) std::this_thread::yield();
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the run ended before the kill at " << killAfter;

    const std::size_t moved = CountMoved(Contents(files));
    const std::optional<Journal::UnfinishedRun> found = Journal::FindUnfinishedRun(state);
    ASSERT_TRUE(found.has_value()) << killAfter;
    EXPECT_EQ(found->total, entries.size());
    EXPECT_EQ(found->changed, moved) << killAfter;
    if (killAfter == 2500) {  // No: the names are kept
      std::string reason;
      ASSERT_TRUE(Journal::KeepRun(found->path, reason)) << reason;
      EXPECT_EQ(Journal::FindUnfinishedRun(state), std::nullopt);
      EXPECT_EQ(CountMoved(Contents(files)), moved);
      ASSERT_EQ(Journal::NewestUndoableRun(state), found->path);
    }
    const Journal::UndoResult undo = Journal::UndoRun(found->path);
    EXPECT_EQ(undo.undone, moved);
    EXPECT_EQ(undo.errors, 0u);
    EXPECT_EQ(Contents(files), before) << killAfter;
  }
}

// Cycles killed at random points, also between a cycle's move to its
// temporary name and its move on: the undo brings every name back. On the
// test folder and on an exFAT volume, which refuses the no-replace flag: there
// a kill can also fall between claiming a name and recording the claim.
TEST_F(JournalTest, CyclesKilledAtAnyPointAreUndoneExactly) {
  struct Volume {
    std::string folder;
    int groups;  // the exFAT volume holds fewer files and renames slower
  };
  std::vector<Volume> volumes = {{files, 1500}};
#if QUILLON_TEST_FUSE
  ExfatMount exfat;
  if (exfat.ok()) volumes.push_back({exfat.path(), 250});
#endif
  for (const auto& [folder, groups] : volumes) {
    SCOPED_TRACE(folder);
    std::mt19937 random(9);
    const auto make = [&](const std::string& name) { std::ofstream(folder + "/" + name) << name; };
    std::vector<PreviewEntry> entries;
    for (int i = 0; i < groups; ++i) {
      make("f" + std::to_string(i));
      entries.push_back({"g" + std::to_string(i), "f" + std::to_string(i), folder});
      const std::size_t length = 2 + random() % 4;
      for (std::size_t k = 0; k < length; ++k) {
        make("c" + std::to_string(i) + "-" + std::to_string(k));
        entries.push_back({"c" + std::to_string(i) + "-" + std::to_string((k + 1) % length),
                           "c" + std::to_string(i) + "-" + std::to_string(k), folder});
      }
    }
    const auto before = Contents(folder);
    for (int kill = 0; kill < 8; ++kill) {
      // Not too near the end: a kill after the run's last record is no kill.
      const int killAfter = int(random() % (groups - groups / 10));
      const pid_t child = ::fork();
      ASSERT_GE(child, 0);
      if (child == 0) {
        Run(entries);
        ::_exit(0);
      }
      const std::string sign = folder + "/g" + std::to_string(killAfter);
      while (!std::filesystem::exists(sign) && ::waitpid(child, nullptr, WNOHANG) == 0) std::this_thread::yield();
      ::kill(child, SIGKILL);
      int status = 0;
      ::waitpid(child, &status, 0);
      ASSERT_TRUE(WIFSIGNALED(status)) << "the run ended before the kill after group " << killAfter;

      const std::optional<Journal::UnfinishedRun> found = Journal::FindUnfinishedRun(state);
      ASSERT_TRUE(found.has_value()) << killAfter;
      if (kill % 2 == 1) {  // No: every file keeps a name of its own, none a cycle's
        std::string reason;
        ASSERT_TRUE(Journal::KeepRun(found->path, reason)) << reason;
        std::multiset<std::string> kept;
        for (const auto& [name, content] : Contents(folder)) {
          EXPECT_NE(name.rfind(".quillon-cycle-", 0), 0u) << name << " after the kill after group " << killAfter;
          kept.insert(content);
        }
        std::multiset<std::string> all;
        for (const auto& [name, content] : before) all.insert(content);
        EXPECT_EQ(kept, all);
      }
      const Journal::UndoResult undo = Journal::UndoRun(found->path);
      EXPECT_EQ(undo.errors, 0u);
      EXPECT_EQ(Contents(folder), before) << "killed after group " << killAfter;
    }
  }
}

#endif

#if QUILLON_TEST_FUSE
// A change of case on a volume that ignores case goes through a temporary
// name. strace makes the second step (and the moves back) fail, or kills the
// process between the two steps; the entry is never left unnamed in silence.
TEST(JournalFaultTest, ACaseChangeStuckUnderItsTemporaryNameIsReportedAndRestored) {
  ExfatMount volume;
  if (!volume.ok()) GTEST_SKIP() << volume.whyNot();
  if (std::system("strace -V >/dev/null 2>&1") != 0) GTEST_SKIP() << "strace is not installed";
  TempDir state;
  const auto listing = [&] {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(volume.path()))
      names.push_back(entry.path().filename().string());
    return names;
  };
  // On this volume each step is a failed renameat2 with the no-replace flag,
  // then renameat: the second renameat is the second step.
  const struct {
    const char* inject;
    bool killed;  // else the run ends and reports the stranded entry (status 1)
  } faults[] = {{"renameat:error=EIO:when=2+", false}, {"renameat:error=EIO:signal=SIGKILL:when=2", true}};
  for (const auto& fault : faults) {
    const std::string file = volume.path() + "/PHOTO.JPG";
    ASSERT_EQ(std::system(("touch '" + file + "'").c_str()), 0);
    const std::string command = "QUILLON_HELPER_FOLDER='" + volume.path() + "' QUILLON_HELPER_STATE='" +
                                state.path() + "' QUILLON_HELPER_OLD=PHOTO.JPG QUILLON_HELPER_NEW=photo.jpg " +
                                "strace -f -qq -o /dev/null -e trace=renameat -e inject=" + fault.inject +
                                " /proc/" + std::to_string(::getpid()) + "/exe";
    const int status = std::system(command.c_str());
    EXPECT_EQ(WIFEXITED(status) && WEXITSTATUS(status) == 1, !fault.killed) << command;

    // The entry stands under its temporary name; a kill may also leave the
    // empty file that claimed the new name.
    const std::vector<std::string> left = listing();
    ASSERT_EQ(std::count_if(left.begin(), left.end(), [](const std::string& n) { return n.rfind(".quillon-", 0) == 0; }), 1);
    for (const std::string& name : left) {
      if (name.rfind(".quillon-", 0) == 0) continue;
      EXPECT_TRUE(fault.killed && std::filesystem::is_empty(volume.path() + "/" + name)) << name;
    }

    const std::optional<std::string> run = Journal::NewestUndoableRun(state.path());
    ASSERT_TRUE(run.has_value()) << fault.inject;
    if (fault.killed) {
      const std::optional<Journal::UnfinishedRun> found = Journal::FindUnfinishedRun(state.path());
      ASSERT_TRUE(found.has_value());
      EXPECT_EQ(found->changed, 1u);
    }
    EXPECT_EQ(Journal::UndoRun(*run).undone, 1u);
    EXPECT_EQ(listing(), std::vector<std::string>{"PHOTO.JPG"}) << fault.inject;
    std::filesystem::remove(file);
  }
}

// An undo, of a finished run or as the recovery of one cut short, killed on
// a volume that refuses the no-replace flag (exFAT through FUSE) between
// claiming an old name and the rename onto it: the next start reports the
// undo cut short with the names still changed on disk, and undoing again
// brings those back, the claim gone.
TEST(JournalFaultTest, AKillDuringUndoOrRecoveryIsResumedExactly) {
  ExfatMount volume;
  if (!volume.ok()) GTEST_SKIP() << volume.whyNot();
  if (std::system("strace -V >/dev/null 2>&1") != 0) GTEST_SKIP() << "strace is not installed";
  TempDir state;
  const std::string folder = volume.path() + "/";
  const std::string names[] = {"f0", "g0", "f1", "g1", "f2", "g2", "f3", "g3", "f4", "g4", "f5", "g5"};
  for (const bool finished : {true, false}) {
    std::vector<PreviewEntry> entries;
    std::vector<Journal::EntryView> batch;
    for (std::size_t i = 0; i < std::size(names); i += 2) {
      std::ofstream(folder + names[i]) << names[i];
      entries.push_back({names[i + 1], names[i], volume.path()});
      batch.push_back({folder, names[i], names[i + 1]});
    }
    const auto before = Contents(volume.path());
    std::string path, reason;
    {
      Journal::Writer journal;
      ASSERT_TRUE(journal.Open(state.path(), reason)) << reason;
      path = journal.Path();
      if (finished) RenameEngine::PerformRenames(entries, journal);
      if (!finished && journal.Intend(batch, reason))  // renamed by hand after the intents: a run cut short
        for (const auto& e : entries) std::filesystem::rename(e.path + "/" + e.oldName, e.path + "/" + e.newName);
    }
    // Each rename here is a refused renameat2, a claim, then renameat: the
    // third undo rename is killed on its way in, its claim made.
    std::system(("QUILLON_HELPER_UNDO='" + path + "' strace -f -qq -o /dev/null -e trace=renameat " +
                 "-e inject=renameat:signal=SIGKILL:when=3 /proc/" + std::to_string(::getpid()) + "/exe").c_str());
    const std::optional<Journal::UnfinishedRun> found = Journal::FindUnfinishedRun(state.path());
    EXPECT_TRUE(found && found->path == path && found->undoCut && found->changed == 4) << finished;
    const Journal::UndoResult undo = Journal::UndoRun(path);
    EXPECT_TRUE(undo.undone == 4 && undo.errors == 0) << finished;
    EXPECT_EQ(Contents(volume.path()), before) << finished;
    EXPECT_EQ(Journal::FindUnfinishedRun(state.path()), std::nullopt);
  }
}

#endif

// Cancel stops a run between two entries: what was not reached keeps its
// name, and the run is recorded as finished, not as one a crash cut short.
TEST_F(JournalTest, ACancelledRunIsFinishedAndCountsWhatItReached) {
  for (const char* name : {"a", "b"}) Make(name);
  for (const bool cancel : {true, false}) {
    RenameEngine::RunControl control;
    control.cancel = cancel;
    Journal::Writer journal;
    std::string reason;
    ASSERT_TRUE(journal.Open(state, reason)) << reason;
    const char* to = cancel ? "x" : "y";
    const RenameEngine::RenameRun run =
        RenameEngine::PerformRenames({{std::string(to) + "a", "a", files}, {std::string(to) + "b", "b", files}},
                                     journal, control);
    EXPECT_EQ(run.cancelled, cancel);
    EXPECT_EQ(run.successes, cancel ? 0u : 2u);
    EXPECT_EQ(control.total, 2u);
    EXPECT_EQ(control.done, run.successes);
    EXPECT_FALSE(Journal::FindUnfinishedRun(state).has_value());
  }
  EXPECT_EQ(Contents(files), (std::map<std::string, std::string>{{"ya", "a"}, {"yb", "b"}}));
  // An undo cancelled before its first entry undoes nothing and leaves the
  // run undoable; the next one undoes it all and counts what it tried.
  RenameEngine::RunControl cancelledUndo;
  cancelledUndo.cancel = true;
  const std::string run = *Journal::NewestUndoableRun(state);
  const Journal::UndoResult stopped = Journal::UndoRun(run, &cancelledUndo);
  EXPECT_TRUE(stopped.cancelled);
  EXPECT_EQ(stopped.undone + stopped.errors, 0u);
  EXPECT_EQ(Journal::NewestUndoableRun(state), run);
  RenameEngine::RunControl undoControl;
  EXPECT_EQ(Journal::UndoRun(run, &undoControl).undone, 2u);
  EXPECT_EQ(undoControl.total, 2u);
  EXPECT_EQ(undoControl.done, 2u);
  EXPECT_EQ(Contents(files), (std::map<std::string, std::string>{{"a", "a"}, {"b", "b"}}));
}

// Random permutations of a folder's names, in a shuffled list: cycles of 2 to
// 50 names, chains that end on a free name, unchanged entries and changes of
// letter case, on the test folder and on an exFAT volume (which ignores
// case). Every new name is delivered with the content it was meant to get, a
// file outside the run is left alone, and the journal's undo (and, where
// there is a shell, the undo file) brings back the start exactly.
TEST_F(JournalTest, AnyPermutationIsDeliveredAndUndoneExactly) {
  std::vector<std::string> folders = {files};
#if QUILLON_TEST_FUSE
  ExfatMount volume;
  if (volume.ok()) folders.push_back(volume.path());
#endif
  std::mt19937 random(20261209);
  for (int round = 0; round < 8; ++round) {
    const std::string& folder = folders[round % folders.size()];
    SCOPED_TRACE("round " + std::to_string(round) + " in " + folder);
    for (const auto& entry : std::filesystem::directory_iterator(folder)) std::filesystem::remove_all(entry.path());
    const auto make = [&](const std::string& name) { std::ofstream(folder + "/" + name) << name; };
    make("outsider");
    std::vector<PreviewEntry> entries;
    std::map<std::string, std::string> expected{{"outsider", "outsider"}};
    std::size_t changed = 0;
    for (std::size_t first = 0; first < 300;) {
      const std::size_t length = 2 + random() % 49;
      const unsigned kind = random() % 4;
      std::vector<std::string> names;
      for (std::size_t k = 0; k < length; ++k) names.push_back("f" + std::to_string(first + k));
      for (const std::string& name : names) make(name);
      for (std::size_t k = 0; k < length; ++k) {
        std::string to = names[k];
        if (kind == 0) to = names[(k + 1) % length];                                       // cycle
        if (kind == 1) to = k + 1 < length ? names[k + 1] : "g" + std::to_string(first);  // chain
        if (kind == 3) to = "F" + names[k].substr(1);                                      // letter case
        entries.push_back({to, names[k], folder});
        expected[to] = names[k];
        changed += to != names[k];
      }
      first += length;
    }
    std::shuffle(entries.begin(), entries.end(), random);
    const std::map<std::string, std::string> start = Contents(folder);

    const RenameEngine::RenameRun run = Run(entries);
    EXPECT_EQ(run.successes, changed);
    EXPECT_EQ(run.failures, 0u);
    EXPECT_EQ(Contents(folder), expected);

#if QUILLON_TEST_SHELL
    if (round % 4 >= 2) {
      std::string error;
      ASSERT_TRUE(RenameEngine::WriteUndoFile(dir / "UNDO", run.undoLines, error, Build::Linux)) << error;
      EXPECT_EQ(std::system(("sh '" + dir / "UNDO" + "' >/dev/null 2>&1").c_str()), 0);
      EXPECT_EQ(Contents(folder), start) << "the undo file";
      continue;
    }
#endif
    const Journal::UndoResult undone = Journal::UndoRun(*Journal::NewestUndoableRun(state));
    EXPECT_EQ(undone.errors, 0u);
    EXPECT_EQ(Contents(folder), start) << "the journal's undo";
  }
}
