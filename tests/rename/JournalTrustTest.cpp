// Journals and the state folder that cannot be trusted, the order of runs
// without the clock, and lock errors that are not another Quillon.
#ifndef _WIN32
#include "rename/Journal.h"
#include "rename/RenameEngine.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

// The suite runs itself again under strace: with this variable set, the
// process starts a run (which prunes), then undoes the newest undoable run,
// and exits with the number of names it gave back (9: none was found).
const int kLockHelper = [] {
  const char* state = std::getenv("QUILLON_LOCK_HELPER_STATE");
  if (!state) return 0;
  Journal::Writer journal;
  std::string reason;
  if (!journal.Open(state, reason) || !journal.Finish(reason)) ::_exit(8);
  const std::optional<std::string> run = Journal::NewestUndoableRun(state);
  ::_exit(run ? static_cast<int>(Journal::UndoRun(*run).undone) : 9);
}();

struct JournalTrust : ::testing::Test {
  TempDir dir;
  std::string files = dir / "files";
  std::string state = dir / "state/quillon";
  void SetUp() override { dir.MakeFolder("files"); }

  // One run renaming `name` to `name`+"2"; left unfinished (as by a kill)
  // unless `finish`. Returns its journal.
  std::string Run(const std::string& name, bool finish = true) {
    dir.WriteFile("files/" + name, name);
    Journal::Writer journal;
    std::string reason;
    EXPECT_TRUE(journal.Open(state, reason)) << reason;
    if (!finish) {
      journal.WriteIntent({{files + "/", name, name + "2"}}, reason);
      fs::rename(files + "/" + name, files + "/" + name + "2");
      return journal.Path();
    }
    RenameEngine::PerformRenames({{name + "2", name, files}}, journal);
    return journal.Path();
  }
  // Runs `check` in a child with a time limit: a hang fails instead of
  // stopping the suite.
  static bool InTime(const std::function<bool()>& check) {
    const pid_t child = ::fork();
    if (child == 0) {
      ::alarm(30);
      ::_exit(check() ? 0 : 1);
    }
    int status = 0;
    return ::waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  }
};

}  // namespace

// A pipe, a huge sparse file, a link, a folder and another user's journal
// named as the newest runs: the start neither blocks nor reads them, undo and
// recovery go to the real runs, pruning leaves them alone, and the notice
// names each once with its reason.
TEST_F(JournalTrust, JournalsThatCannotBeTrustedAreSkippedAndNamed) {
  Run("a");
  const std::string unfinished = Run("u", false);
  const struct {
    const char* name;
    std::function<bool(const std::string&)> plant;
    const char* reason;  // null: not listed as a journal at all
  } planted[] = {
      {"run-s09999999999999999990-1.journal", [](const std::string& p) { return ::mkfifo(p.c_str(), 0600) == 0; },
       "not a regular file"},
      {"run-s09999999999999999991-1.journal",
       [&](const std::string& p) { return fs::copy_file(unfinished, p) && ::truncate(p.c_str(), 2LL << 30) == 0; },
       "larger than 256 MiB"},
      {"run-s09999999999999999992-1.journal",
       [&](const std::string& p) { return ::symlink(unfinished.c_str(), p.c_str()) == 0; }, "a symbolic link"},
      {"run-s09999999999999999993-1.journal", [](const std::string& p) { return fs::create_directory(p); }, nullptr},
      {"run-s09999999999999999994-1.journal",
       [&](const std::string& p) { return fs::copy_file(unfinished, p) && ::chown(p.c_str(), 65534, 65534) == 0; },
       "owned by another user"},
  };
  std::string named;  // newest first
  for (const auto& p : planted) {
    ASSERT_TRUE(p.plant(state + "/" + p.name)) << p.name;
    if (p.reason) named = "\n" + std::string(p.name) + ": " + p.reason + named;
  }
  ASSERT_TRUE(InTime([&] {
    const std::optional<Journal::UnfinishedRun> found = Journal::FindUnfinishedRun(state);
    return Journal::NewestUndoableRun(state) == unfinished && found && found->path == unfinished;
  }));
  EXPECT_EQ(Journal::JournalNotice(state), "These rename journals were skipped:" + named);
  for (int i = 0; i < 25; ++i) Run("n" + std::to_string(i));
  for (const auto& p : planted) EXPECT_TRUE(fs::exists(fs::symlink_status(state + "/" + p.name))) << p.name;
  // The twenty newest runs are kept beside the four files that only look
  // like journals.
  EXPECT_EQ(Journal::RunFiles(state).size(), Journal::kKeptRuns + 4);
}

// The state folder, or a folder on its way, that another user owns, can
// write, or reaches through a link: no journal is made or read there, the
// reason says which folder, and a sticky folder above (/tmp) is fine.
TEST_F(JournalTrust, AStateFolderOthersCouldTouchIsRefused) {
  const std::string run = Run("a");
  const std::string parent = dir / "state";
  dir.MakeFolder("theirs");
  ASSERT_EQ(::chown((dir / "theirs").c_str(), 65534, 65534), 0);
  const struct {
    std::function<void()> change, restore;
    std::string reason;  // empty: trusted
  } cases[] = {
      {[&] { ::chmod(parent.c_str(), 01777); }, [&] { ::chmod(parent.c_str(), 0700); }, ""},
      {[&] { ::chmod(parent.c_str(), 0777); }, [&] { ::chmod(parent.c_str(), 0700); },
       "the folder " + parent + " can be written by other users"},
      {[&] { ::chown(parent.c_str(), 65534, 65534); }, [&] { ::chown(parent.c_str(), 0, 0); },
       "the folder " + parent + " belongs to another user"},
      {[&] { ::chown(state.c_str(), 0, 65534), ::chmod(state.c_str(), 0770); },
       [&] { ::chown(state.c_str(), 0, 0), ::chmod(state.c_str(), 0700); },
       "the folder " + state + " can be written by other users"},
      {[&] { ::chmod(state.c_str(), 01777); }, [&] { ::chmod(state.c_str(), 0700); },
       "the folder " + state + " can be written by other users"},
      // The state folder as a link into another user's folder, and a link of
      // another user.
      {[&] { fs::rename(state, dir / "theirs/q"), fs::create_directory_symlink(dir / "theirs/q", state); },
       [&] { fs::remove(state), fs::rename(dir / "theirs/q", state); },
       "the folder " + (dir / "theirs") + " belongs to another user"},
      {[&] { fs::rename(state, dir / "mine"), fs::create_directory_symlink(dir / "mine", state),
             ::lchown(state.c_str(), 65534, 65534); },
       [&] { fs::remove(state), fs::rename(dir / "mine", state); },
       "the folder " + state + " belongs to another user"},
  };
  for (const auto& c : cases) {
    c.change();
    Journal::Writer journal;
    std::string reason;
    const bool opened = journal.Open(state, reason);
    std::string undoAt, undoError;
    RenameEngine::SaveUndoFile(dir / "none", state, {"x\n"}, undoAt, undoError);
    std::string finished;
    journal.Finish(finished);
    EXPECT_EQ(opened, c.reason.empty()) << c.reason;
    EXPECT_EQ(Journal::NewestUndoableRun(state) == run, c.reason.empty()) << c.reason;
    if (!c.reason.empty()) {
      EXPECT_EQ(reason, c.reason);
      EXPECT_EQ(Journal::JournalNotice(state), "The rename journals in " + state + " are not used: " + c.reason + ".");
      EXPECT_EQ(undoAt, "") << c.reason;
    }
    c.restore();
    if (opened) fs::remove(journal.Path());
  }
}

// Runs are numbered by the state folder's counter: a clock set back, a
// journal of the earlier release stamped far in the future, a counter lost
// or damaged change nothing; the earlier release's journals count as older
// and are pruned first.
TEST_F(JournalTrust, RunOrderComesFromTheCounterNotTheClock) {
  const std::string first = Run("a");
  const std::string old = state + "/run-09999999999999999999-7.journal";  // a time stamp from far ahead
  fs::copy_file(first, old);
  fs::remove(first);
  const std::string second = Run("b");
  EXPECT_EQ(Journal::RunFiles(state), (std::vector<std::string>{second, old}));
  EXPECT_EQ(Journal::NewestUndoableRun(state), second);

  for (const char* counter : {"", "garbage\n", "1\n"}) {
    std::ofstream(state + "/sequence", std::ios::trunc) << counter;
    const std::string made = Run("c" + std::to_string(std::strlen(counter)));
    EXPECT_EQ(Journal::RunFiles(state).front(), made) << counter;
  }
  fs::remove(state + "/sequence");
  const std::string newest = Run("d");
  EXPECT_EQ(Journal::RunFiles(state).front(), newest);
  EXPECT_EQ(Journal::NewestUndoableRun(state), newest);
  for (int i = 0; i < 20; ++i) Run("e" + std::to_string(i));
  EXPECT_FALSE(fs::exists(old));
  EXPECT_EQ(Journal::RunFiles(state).size(), Journal::kKeptRuns);
}

// A lock refused for another reason than another holder (NFS refuses an
// exclusive lock on a file opened for reading) leaves undo and pruning at
// work; a journal another process holds stays untouched.
TEST_F(JournalTrust, OnlyAnotherHolderKeepsAJournalFromUndoAndPruning) {
  if (std::system("strace -V >/dev/null 2>&1") != 0) GTEST_SKIP() << "strace is not installed";
  for (int i = 0; i < 20; ++i) Run("p" + std::to_string(i));
  const std::string oldest = Journal::RunFiles(state).back();
  const std::string command = "QUILLON_LOCK_HELPER_STATE='" + state +
                              "' strace -f -qq -o /dev/null -e trace=flock -e inject=flock:error=ENOLCK /proc/" +
                              std::to_string(::getpid()) + "/exe";
  const int status = std::system(command.c_str());
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
  EXPECT_TRUE(fs::exists(files + "/p19"));
  EXPECT_FALSE(fs::exists(oldest));

  JournalFiles::File holder;
  std::string reason;
  const std::string held = Journal::NewestUndoableRun(state).value_or("");
  ASSERT_TRUE(holder.Open(held, JournalFiles::File::Mode::Read, reason) && holder.Lock(false));
  EXPECT_NE(Journal::NewestUndoableRun(state), held);
  EXPECT_EQ(Journal::UndoRun(held).error, "the journal is in use by another Quillon");
}
// The undo file names the user's files: it is 0600 whatever the umask or the
// mode of the file it replaces, and a link under its name (a planted UNDO ->
// ~/.bashrc) is replaced itself, its target never touched.
TEST_F(JournalTrust, TheUndoFileIsPrivateAndNeverWrittenThroughALink) {
  dir.MakeFolder("prog");
  dir.WriteFile("bashrc", "mine");
  const std::string undo = dir / "prog/UNDO";
  const std::function<void()> before[] = {
      [] {},
      [&] { dir.WriteFile("prog/UNDO", "old"), ::chmod(undo.c_str(), 0644); },
      [&] { fs::create_symlink(dir / "bashrc", undo); },
      [&] { fs::create_symlink(dir / "missing", undo); },
  };
  const mode_t mask = ::umask(0);
  for (const auto& setUp : before) {
    fs::remove(undo);
    setUp();
    std::string error;
    EXPECT_TRUE(RenameEngine::WriteUndoFile(undo, {"line\n"}, error, Build::Linux)) << error;
    struct stat st {};
    EXPECT_TRUE(::lstat(undo.c_str(), &st) == 0 && S_ISREG(st.st_mode) && (st.st_mode & 07777) == 0600);
    EXPECT_EQ(dir.ReadFile("prog/UNDO"), "line\n");
  }
  std::string writtenTo, error;
  EXPECT_TRUE(RenameEngine::SaveUndoFile(dir / "none", state, {"x\n"}, writtenTo, error, Build::Linux));
  struct stat st {};
  EXPECT_TRUE(::stat(writtenTo.c_str(), &st) == 0 && (st.st_mode & 07777) == 0600) << writtenTo;
  ::umask(mask);
  EXPECT_EQ(dir.ReadFile("bashrc"), "mine");
  EXPECT_FALSE(fs::exists(dir / "missing"));
}
#endif
