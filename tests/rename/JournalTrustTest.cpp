#include "rename/Journal.h"
#include "rename/RenameEngine.h"

#include "platform/Paths.h"
#include "support/LinuxOnly.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#if QUILLON_TEST_SYMLINKS || QUILLON_TEST_OTHER_USER || QUILLON_TEST_STRACE || QUILLON_TEST_MODES
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

namespace fs = std::filesystem;
using Change = std::function<void()>;

#if QUILLON_TEST_STRACE
// Under strace for the lock test: a run (which prunes), then an undo.
const int kLockHelper = [] {
  const char* state = std::getenv("QUILLON_LOCK_HELPER_STATE");
  if (!state) return 0;
  Journal::Writer journal;
  std::string reason;
  if (!journal.Open(state, reason) || !journal.Finish(reason)) ::_exit(8);
  const std::optional<std::string> run = Journal::NewestUndoableRun(state);
  ::_exit(run ? static_cast<int>(Journal::UndoRun(*run).undone) : 9);
}();
#endif

struct JournalTrust : ::testing::Test {
  TempDir dir;
  std::string files = dir / "files", state = dir / "state/quillon";
  void SetUp() override { dir.MakeFolder("files"); }

  // Renames `name` to `name`2; unfinished (as by a kill) unless `finish`.
  std::string Run(const std::string& name, bool finish = true) {
    dir.WriteFile("files/" + name, name);
    Journal::Writer journal;
    std::string reason;
    EXPECT_TRUE(journal.Open(state, reason)) << reason;
    if (finish) return RenameEngine::PerformRenames({{name + "2", name, files}}, journal), journal.Path();
    journal.WriteIntent({{Paths::WithTrailingDelimiter(files), name, name + "2"}}, reason);
    fs::rename(fs::path(files) / name, fs::path(files) / (name + "2"));
    return journal.Path();
  }
};

// A record as the writer makes it: type, length, payload, the CRC-32 of
// all three; numbers little-endian.
std::string Record(char type, const std::string& payload) {
  std::string record = type + std::string(4, '\0') + payload;
  std::uint32_t crc = 0xFFFFFFFFu, length = static_cast<std::uint32_t>(payload.size());
  for (int i = 0; i < 4; ++i) record[1 + i] = static_cast<char>(length >> (8 * i));
  for (unsigned char c : record)
    for (int k = (crc ^= c, 0); k < 8; ++k) crc = (crc & 1) ? 0xEDB88320u ^ (crc >> 1) : crc >> 1;
  for (int i = 0; i < 4; ++i) record += static_cast<char>((crc ^ 0xFFFFFFFFu) >> (8 * i));
  return record;
}

#if QUILLON_TEST_MODES
mode_t ModeOf(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) ? st.st_mode & 07777 : 0;
}
#endif
}  // namespace

// A pipe, a 2 GiB sparse file, a link, a folder and another user's file named
// as the newest journals: undo and recovery find the real run, pruning
// neither counts nor deletes them, the notice names each with its reason.
TEST_F(JournalTrust, JournalsThatCannotBeTrustedAreSkippedAndNamed) {
  Run("a");
  const std::string unfinished = Run("u", false);
  const auto copy = [&](const std::string& p) { return fs::copy_file(unfinished, p); };
  const struct {
    std::function<bool(const std::string&)> plant;
    const char* reason;  // null: no journal at all
  } planted[] = {
#if QUILLON_TEST_SYMLINKS
      {[](const std::string& p) { return ::mkfifo(p.c_str(), 0600) == 0; }, "not a regular file"},
#endif
      {[&](const std::string& p) { return copy(p) && (fs::resize_file(p, 2LL << 30), true); }, "larger than 256 MiB"},
#if QUILLON_TEST_SYMLINKS
      {[&](const std::string& p) { return ::symlink(unfinished.c_str(), p.c_str()) == 0; }, "a symbolic link"},
#endif
      {[](const std::string& p) { return fs::create_directory(p); }, nullptr},
#if QUILLON_TEST_OTHER_USER
      {[&](const std::string& p) { return copy(p) && ::chown(p.c_str(), 65534, 65534) == 0; }, "owned by another user"},
#endif
  };
  std::string named;
  std::size_t files = 0;
  for (std::size_t i = 0; i < std::size(planted); ++i) {
    const std::string name = "run-s0999999999999999999" + std::to_string(i) + "-1.journal";
    ASSERT_TRUE(planted[i].plant(Paths::Join(state, name))) << name;
    if (planted[i].reason) named = "\n" + name + ": " + planted[i].reason + named, ++files;
  }
  const std::optional<Journal::UnfinishedRun> found = Journal::FindUnfinishedRun(state);  // blocked on the pipe once
  EXPECT_TRUE(Journal::NewestUndoableRun(state) == unfinished && found && found->path == unfinished);
  EXPECT_EQ(Journal::JournalNotice(state), "These rename journals were skipped:" + named);
  for (int i = 0; i < 25; ++i) Run("n" + std::to_string(i));
  EXPECT_EQ(Journal::RunFiles(state).size(), Journal::kKeptRuns + files);  // the planted files stay
}

// Journals whose records announce more than their bytes hold (a huge count
// or total, a state no writer writes) are refused and named, never read into
// memory; names that would lead out of their folder (planted in a journal,
// or read from the results) are never acted on: undo counts them as errors.
TEST_F(JournalTrust, HostileJournalsAreRefusedAndTheirNamesNeverActedOn) {
  const std::string unfinished = Run("u", false), f = Paths::WithTrailingDelimiter(files);
  std::string named, reason;
  for (int kind = 0; kind < 3; ++kind) {
    Journal::Writer journal;
    ASSERT_TRUE(journal.Open(state, reason)) << reason;
    if (kind == 1) journal.SetTotal(std::size_t(1) << 62);
    if (kind < 2) journal.WriteIntent({{f, "a", "b"}}, reason);
    if (kind == 0) journal.WriteResults(0, {Journal::EntryState(9)}, {}, reason);
    if (kind == 2) std::ofstream(journal.Path(), std::ios::app | std::ios::binary)
        << Record('I', std::string(8, '\0') + "\xff\xff\xff\x7f" + std::string(12, '\0'));
    named = "\n" + fs::path(journal.Path()).filename().string() + ": damaged journal" + named;
  }
  const std::optional<Journal::UnfinishedRun> found = Journal::FindUnfinishedRun(state);
  EXPECT_TRUE(found && found->path == unfinished && Journal::NewestUndoableRun(state) == unfinished);
  EXPECT_EQ(Journal::JournalNotice(state), "These rename journals were skipped:" + named);
  for (int i = 0; i < 3; ++i) fs::remove(Journal::RunFiles(state).front());

  // Stranded between ../V/x and ../V/y; stranded at ../V/t; renamed to "..";
  // renamed in a relative folder. Each name once stood empty, as a claim.
  dir.MakeFolder("V");
  for (const char* name : {"V/x", "V/y", "V/t", "files/k", "files/k2"}) dir.WriteFile(name, "");
  auto journal = std::make_unique<Journal::Writer>();
  const std::string path = journal->Open(state, reason) ? journal->Path() : reason;
  journal->WriteIntent({{f, "../V/x", "../V/y"}, {f, "k", "K"}, {f, "..", "k2"}, {"files/", "k2", "z"}}, reason);
  using State = Journal::EntryState;
  journal->WriteResults(0, {State::Stranded, State::Stranded, State::Renamed, State::Renamed}, {"t0", "../V/t"}, reason);
  journal.reset();
  const std::optional<Journal::UnfinishedRun> planted = Journal::FindUnfinishedRun(state);
  EXPECT_TRUE(planted && planted->path == path && planted->changed == 0) << path;
  const Journal::UndoResult undo = Journal::UndoRun(path);
  EXPECT_EQ(undo.undone * 10 + undo.errors, 4u);
  for (const char* name : {"V/x", "V/y", "V/t", "files/k", "files/k2"}) EXPECT_TRUE(fs::exists(dir / name)) << name;
}

#if QUILLON_TEST_OTHER_USER
// A state folder another user owns or can write, or reaches through a link,
// holds no journal or undo file; a sticky folder above it (/tmp) is fine.
TEST_F(JournalTrust, AStateFolderOthersCouldTouchIsRefused) {
  const std::string run = Run("a"), parent = dir / "state", moved = dir / "theirs/q";
  dir.MakeFolder("theirs");
  ASSERT_EQ(::chown((dir / "theirs").c_str(), 65534, 65534), 0);
  const auto mode = [](const std::string& p, mode_t m) { return [=] { ::chmod(p.c_str(), m); }; };
  const auto owner = [](const std::string& p, uid_t u, gid_t g) { return [=] { ::lchown(p.c_str(), u, g); }; };
  const Change linkTo = [&] { fs::rename(state, moved), fs::create_directory_symlink(moved, state); };
  const Change unlink = [&] { fs::remove(state), fs::rename(moved, state); };
  const std::string writable = " can be written by other users", theirs = " belongs to another user";
  const struct {
    Change change, restore;
    std::string reason;  // empty: trusted
  } cases[] = {
      {mode(parent, 01777), mode(parent, 0700), ""},
      {mode(parent, 0777), mode(parent, 0700), parent + writable},
      {owner(parent, 65534, 65534), owner(parent, 0, 0), parent + theirs},
      {[&] { owner(state, 0, 65534)(), mode(state, 0770)(); }, [&] { owner(state, 0, 0)(), mode(state, 0700)(); },
       state + writable},
      {mode(state, 01777), mode(state, 0700), state + writable},
      {linkTo, unlink, dir / "theirs" + theirs},
      {[&] { ::chown((dir / "theirs").c_str(), 0, 0), linkTo(), owner(state, 65534, 65534)(); },
       [&] { unlink(), ::chown((dir / "theirs").c_str(), 65534, 65534); }, state + theirs},
  };
  for (const auto& c : cases) {
    c.change();
    Journal::Writer journal;
    std::string reason, finished, undoAt, undoError;
    const bool opened = journal.Open(state, reason);
    RenameEngine::SaveUndoFile(dir / "none", state, {"x\n"}, undoAt, undoError);
    journal.Finish(finished);
    EXPECT_EQ(Journal::NewestUndoableRun(state) == run, c.reason.empty()) << c.reason;
    EXPECT_EQ(reason, c.reason.empty() ? "" : "the folder " + c.reason);
    EXPECT_EQ(undoAt.empty(), !c.reason.empty()) << c.reason;
    EXPECT_EQ(Journal::JournalNotice(state),
              c.reason.empty() ? "" : "The rename journals in " + state + " are not used: the folder " + c.reason + ".");
    c.restore();
    if (opened) fs::remove(journal.Path());
  }
}

#endif

// A journal of the earlier release stamped far ahead (the clock set back
// since), a counter lost or damaged: the newest run stays the newest, and the
// earlier release's journals go first.
TEST_F(JournalTrust, RunOrderComesFromTheCounterNotTheClock) {
  const std::string old = Paths::Join(state, "run-09999999999999999999-7.journal");
  fs::rename(Run("a"), old);
  const std::string second = Run("b");
  EXPECT_EQ(Journal::RunFiles(state), (std::vector<std::string>{second, old}));
  EXPECT_EQ(Journal::NewestUndoableRun(state), second);
  const std::string sequence = Paths::Join(state, "sequence");
  for (const std::string counter : {"", "garbage\n", "1\n", "-"}) {
    if (counter == "-") fs::remove(sequence);
    else std::ofstream(sequence, std::ios::trunc) << counter;
    const std::string made = Run("c" + std::to_string(counter.size()));
    EXPECT_EQ(Journal::RunFiles(state).front(), made) << counter;
    EXPECT_EQ(Journal::NewestUndoableRun(state), made) << counter;
  }
  for (int i = 0; i < 20; ++i) Run("e" + std::to_string(i));
  EXPECT_FALSE(fs::exists(old));
  EXPECT_EQ(Journal::RunFiles(state).size(), Journal::kKeptRuns);
}

#if QUILLON_TEST_STRACE
// A lock refused for another reason than another holder (NFS) leaves undo
// and pruning at work.
TEST_F(JournalTrust, OnlyAnotherHolderKeepsAJournalFromUndoAndPruning) {
  if (std::system("strace -V >/dev/null 2>&1") != 0) GTEST_SKIP() << "strace is not installed";
  for (int i = 0; i < 20; ++i) Run("p" + std::to_string(i));
  const std::string oldest = Journal::RunFiles(state).back();
  const int status = std::system(("QUILLON_LOCK_HELPER_STATE='" + state + "' strace -f -qq -o /dev/null " +
                                  "-e trace=flock -e inject=flock:error=ENOLCK /proc/" + std::to_string(::getpid()) +
                                  "/exe").c_str());
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
  EXPECT_TRUE(fs::exists(files + "/p19"));
  EXPECT_FALSE(fs::exists(oldest));
}
#endif

// The undo file is 0600 whatever the umask or the file it replaces; a link
// under its name (UNDO -> ~/.bashrc, or dangling) is replaced, not followed.
TEST_F(JournalTrust, TheUndoFileIsPrivateAndNeverWrittenThroughALink) {
  dir.MakeFolder("prog");
  dir.WriteFile("bashrc", "mine");
  const std::string undo = dir / "prog/UNDO";
  const Change before[] = {
      [] {},
      [&] {
        dir.WriteFile("prog/UNDO", "old");
#if QUILLON_TEST_MODES
        ::chmod(undo.c_str(), 0644);
#endif
      },
#if QUILLON_TEST_SYMLINKS
      [&] { fs::create_symlink(dir / "bashrc", undo); },
      [&] { fs::create_symlink(dir / "missing", undo); },
#endif
  };
#if QUILLON_TEST_MODES
  const mode_t mask = ::umask(0);
#endif
  std::string writtenTo, error;
  for (const Change& setUp : before) {
    fs::remove(undo);
    setUp();
    EXPECT_TRUE(RenameEngine::WriteUndoFile(undo, {"line\n"}, error, Build::Linux)) << error;
#if QUILLON_TEST_MODES
    EXPECT_EQ(ModeOf(undo), 0600u);
#endif
    EXPECT_EQ(dir.ReadFile("prog/UNDO"), "line\n");
  }
  EXPECT_TRUE(RenameEngine::SaveUndoFile(dir / "none", state, {"x\n"}, writtenTo, error, Build::Linux));
  EXPECT_EQ(writtenTo, Paths::Join(state, "UNDO", Build::Linux));
#if QUILLON_TEST_MODES
  EXPECT_EQ(ModeOf(writtenTo), 0600u);
  ::umask(mask);
#endif
  EXPECT_EQ(dir.ReadFile("bashrc"), "mine");
  EXPECT_FALSE(fs::exists(dir / "missing"));
}
