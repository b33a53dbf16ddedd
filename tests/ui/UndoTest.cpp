#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QProgressBar>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>
#include <fstream>
#include <iterator>

#include "browser/FileView.h"
#include "browser/FileViewModel.h"
#include "rename/BackgroundRun.h"
#include "rename/PreviewPane.h"
#include "rename/UndoManager.h"
#include "renamelist/RenameList.h"
#include "ui/RenameFlowSupport.h"

using namespace renameflow;

namespace {

TfrmMain& OpenActive(TestWindow& t, const std::string& programFolder) {
  TfrmMain& w = t.OpenWithProgramFolder(programFolder);
  w.show();
  QApplication::setActiveWindow(&w);
  EXPECT_TRUE(QTest::qWaitForWindowActive(&w));
  return w;
}

// Previews Replace `from` by `to` over `names` of the test folder.
bool PreviewReplace(TestWindow& t, const std::vector<std::string>& names, const char* from, const char* to) {
  for (const std::string& name : names) t->renameList().AddToRenameList(name, t.files.path());
  Find<QLineEdit>(t.window(), "txtReplaceFrom")->setText(QString::fromUtf8(from));
  Find<QLineEdit>(t.window(), "txtReplaceTo")->setText(QString::fromUtf8(to));
  return PressOperation(t.window(), 0);
}

// Waits for the undo that is under way; the status line after it.
std::string PressUndoResult(TfrmMain& w) {
  EXPECT_TRUE(WaitUntil([&] { return StatusIsReady(w); }, 60000));
  return w.StatusText().toStdString();
}

// Ctrl+Z over the rename list; the status line after it.
std::string PressUndo(TfrmMain& w) {
  Find<QTreeView>(w, "lviFiles")->setFocus();
  QTest::keyClick(Find<QTreeView>(w, "lviFiles"), Qt::Key_Z, Qt::ControlModifier);
  return PressUndoResult(w);
}

std::string Undone(int undone, int errors) {
  return "Ready, undone " + std::to_string(undone) + " file(s)/folder(s), " + std::to_string(errors) + " error(s).";
}

bool UndoOffered(TfrmMain& w) { return Find<QAction>(w, "mnuUndoLastRename")->isEnabled(); }

}  // namespace

// Two runs undone newest first, the older one after a restart, where two of
// its entries changed on disk since: those fail and nothing is replaced.
// Names with line breaks and invalid UTF-8 come back byte for byte. The
// program folder cannot be written: the undo file goes to the state folder
// without an error box.
TEST(UndoLastRename, UndoesRunsNewestFirstAlsoAfterARestart) {
  TestWindow t;
  const std::string unwritable = t.programFolder.path() + "/missing/";
  const std::vector<std::string> names = {"a1", "a\nline", "a$(touch pwned)`x`", "a\xff\xfe"};
  for (const std::string& name : names) t.files.WriteFile(name, name);
  TfrmMain& w = OpenActive(t, unwritable);
  w.fileView().ListFiles(t.files.path() + "/");
  EXPECT_FALSE(UndoOffered(w));
  ASSERT_TRUE(PreviewReplace(t, names, "a", "b") && PressYes(w));
  ASSERT_TRUE(PreviewReplace(t, {"b1", "b\nline", "b$(touch pwned)`x`", "b\xff\xfe"}, "b", "c") && PressYes(w));
  EXPECT_TRUE(std::filesystem::exists(t.StatePath() + "/UNDO"));
  ASSERT_TRUE(PreviewReplace(t, {"c1"}, "c", "d"));
  EXPECT_FALSE(UndoOffered(w)) << "not while a preview is shown";
  QTest::mouseClick(Find<QPushButton>(w, "cmdNo"), Qt::LeftButton);

  auto* pattern = Find<QLineEdit>(w, "txtPattern");
  const QString typed = pattern->text();
  pattern->setFocus();
  QTest::keyClicks(pattern, QStringLiteral("x"));
  QTest::keyClick(pattern, Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(pattern->text(), typed) << "Ctrl+Z in a text box undoes the typing";
  EXPECT_TRUE(UndoOffered(w));
  EXPECT_EQ(PressUndo(w), Undone(4, 0));
  EXPECT_EQ(FileModel(w)->Name(0)[0], 'b') << "the file view is refreshed";
  t.Close();

  t.files.WriteFile("a1", "new");                           // an old name taken again
  std::filesystem::remove(t.files / "b$(touch pwned)`x`");  // a new name gone
  EXPECT_EQ(PressUndo(OpenActive(t, unwritable)), Undone(2, 2));
  EXPECT_EQ(Listing(t.files.path()), (std::vector<std::string>{"a\nline", "a1", "a\xff\xfe", "b1"}));
  for (const char* name : {"a\nline", "a\xff\xfe"}) EXPECT_EQ(t.files.ReadFile(name), name);
  EXPECT_EQ(t.files.ReadFile("a1"), "new");
  EXPECT_FALSE(UndoOffered(t.window())) << "no run is left to undo";
  EXPECT_EQ(t.dialogs.count(), 0);
}

// A state folder that cannot take a journal: the question comes before any
// rename; No is the preview's No, Yes renames without undo information.
TEST(UndoLastRename, AReadOnlyStateFolderAsksBeforeRenaming) {
  for (const DialogAnswer answer : {DialogAnswer::No, DialogAnswer::Yes}) {
    TestWindow t;
    std::filesystem::create_directories(t.StatePath());
    if (std::system(("mount -t tmpfs -o ro,mode=0700 tmpfs '" + t.StatePath() + "' 2>/dev/null").c_str()) != 0)
      GTEST_SKIP() << "a read-only mount needs root";
    t.files.WriteFile("a1");
    OpenActive(t, t.programFolder.path() + "/");
    t.dialogs.QueueAnswer(answer);
    ASSERT_TRUE(PreviewReplace(t, {"a1"}, "a", "b"));
    QTest::mouseClick(Find<QPushButton>(t.window(), "cmdYes"), Qt::LeftButton);
    EXPECT_TRUE(WaitUntil([&] { return StatusIsReady(t.window()); }));
    std::system(("umount '" + t.StatePath() + "'").c_str());
    ASSERT_EQ(t.dialogs.count(), 1);
    EXPECT_TRUE(t.dialogs.last().text.startsWith(QStringLiteral("Undo information cannot be saved: ")));
    EXPECT_TRUE(t.dialogs.last().text.endsWith(QStringLiteral(". Rename anyway?")));
    const bool yes = answer == DialogAnswer::Yes;
    EXPECT_EQ(t->StatusText(), yes ? Counts(1, 0) : QStringLiteral("Ready."));
    EXPECT_EQ(Listing(t.files.path()), std::vector<std::string>{yes ? "b1" : "a1"});
    EXPECT_TRUE(InBrowsingLayout(t.window()));
    EXPECT_FALSE(UndoOffered(t.window()));
  }
}

// A pipe named as a journal is named once at start, in a box over the shown
// window, and the start goes on.
TEST(UndoAfterACrash, AJournalThatCannotBeTrustedIsNamedAtStart) {
  TestWindow t;
  std::filesystem::create_directories(t.StatePath());
  ASSERT_EQ(::mkfifo((t.StatePath() + "/run-s00000000000000000001-1.journal").c_str(), 0600), 0);
  OpenActive(t, t.programFolder.path() + "/");
  EXPECT_TRUE(WaitUntil([&] { return t.dialogs.count() == 1; }));
  EXPECT_EQ(t.dialogs.last().text.toStdString(),
            "These rename journals were skipped:\nrun-s00000000000000000001-1.journal: not a regular file");
}

// A rename run of 100,000 entries killed with SIGKILL at several points: the
// next start asks once; Yes gets every name back, No keeps them (and leaves
// the run to "Undo last rename").
TEST(UndoAfterACrash, AKilledRunIsOfferedAtTheNextStart) {
  TestWindow t;
  const int count = 100000;
  std::string pairs;
  for (int i = 0; i < count; ++i) {
    ::close(::open((t.files / ("f" + std::to_string(i))).c_str(), O_CREAT | O_WRONLY, 0644));
    pairs += "f" + std::to_string(i) + '\0' + "g" + std::to_string(i) + '\0';
  }
  t.home.WriteFile("pairs", pairs);
  // The child only calls what is safe after a fork.
  const std::string input = t.home / "pairs", state = t.StatePath(), folder = t.files.path();
  const auto countMoved = [&] {
    int moved = 0;
    for (const auto& entry : std::filesystem::directory_iterator(t.files.path()))
      moved += entry.path().filename().string()[0] == 'g';
    return moved;
  };
  for (const auto& [killAt, answer] : {std::pair{500, DialogAnswer::Yes}, std::pair{40000, DialogAnswer::No},
                                       std::pair{75000, DialogAnswer::Yes}}) {
    const pid_t child = ::fork();
    if (child == 0) {
      ::dup2(::open(input.c_str(), O_RDONLY), 0);
      ::execl(QUILLON_FAULT_DRIVER, QUILLON_FAULT_DRIVER, "--journal", state.c_str(), folder.c_str(), nullptr);
      ::_exit(127);
    }
    const std::string sign = t.files / ("g" + std::to_string(killAt));
    while (!std::filesystem::exists(sign) && ::waitpid(child, nullptr, WNOHANG) == 0) ::usleep(100);
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the run ended before the kill at " << killAt;

    const int moved = countMoved();
    t.dialogs.QueueAnswer(answer);
    OpenActive(t, t.programFolder.path() + "/");
    EXPECT_TRUE(WaitUntil([&] { return t.dialogs.count() == 1 && StatusIsReady(t.window()); }, 60000));
    ASSERT_EQ(t.dialogs.count(), 1) << killAt;
    EXPECT_EQ(t.dialogs.last().text.toStdString(),
              QStringLiteral("The last rename did not finish: %1 of %2 names were changed in \"%3\". Undo these changes?")
                  .arg(moved)
                  .arg(count)
                  .arg(QString::fromStdString(t.files.path()))
                  .toStdString());
    EXPECT_EQ(countMoved(), answer == DialogAnswer::Yes ? 0 : moved) << killAt;
    if (answer == DialogAnswer::No) {
      EXPECT_EQ(PressUndo(t.window()), Undone(moved, 0));
    }
    EXPECT_EQ(countMoved(), 0);
    t.Close();
    t.dialogs.clear();
  }
}

// A run whose journal cannot be marked finished at its end (the last
// fdatasync fails) says so, instead of looking clean until the next start
// asks about it. The window runs in a child of the test under strace and
// writes down whether it renamed and the boxes it showed.
TEST(UndoLastRename, AJournalThatCannotBeFinishedIsReported) {
  if (const char* report = std::getenv("QUILLON_JOURNAL_REPORT")) {
    TestWindow t;
    t.files.WriteFile("a1", "a1");
    TfrmMain& w = OpenActive(t, t.programFolder.path());
    w.fileView().ListFiles(t.files.path() + "/");
    const bool renamed = PreviewReplace(t, {"a1"}, "a", "b") && PressYes(w);
    std::ofstream out(report);
    out << renamed << '\n';
    for (const DialogRequest& box : t.dialogs.boxes()) out << box.text.toStdString() << '\n';
    out.close();
    ::_exit(out ? 0 : 1);  // nothing more to do under strace
  }
  if (std::system("strace -V >/dev/null 2>&1") != 0) GTEST_SKIP() << "strace is not installed";
  TempDir scratch;
  const std::string report = scratch.path() + "/boxes";
  // One entry: the intent is the first fdatasync, the finished mark the second.
  const std::string command = "QUILLON_JOURNAL_REPORT='" + report + "' strace -f -qq -o /dev/null " +
                              "-e trace=fdatasync -e inject=fdatasync:error=EIO:when=2 /proc/" +
                              std::to_string(::getpid()) + "/exe " +
                              "--gtest_filter=UndoLastRename.AJournalThatCannotBeFinishedIsReported";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  std::ifstream in(report);
  const std::string written{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  EXPECT_EQ(written, "1\nUndo information cannot be saved: Input/output error.\n");
}

// A long run shows a moving bar with counts and Cancel; Cancel stops it
// between two entries, the counts say what was done, and the partial run is
// undone like any other. The undo works in the background with a bar and
// Cancel too.
TEST(LongRuns, ShowProgressCancelBetweenEntriesAndStayUndoable) {
  TestWindow t;
  constexpr int kFiles = 40000;
  for (int i = 0; i < kFiles; ++i) t.files.WriteFile("file_" + std::to_string(i));
  TfrmMain& w = OpenActive(t, t.programFolder.path() + "/");
  w.fileView().ListFiles(t.files.path() + "/");
  Invoke(Find<QAction>(w, "mnuAllFiles"));
  Find<QLineEdit>(w, "txtReplaceFrom")->setText(QStringLiteral("file"));
  Find<QLineEdit>(w, "txtReplaceTo")->setText(QStringLiteral("item"));
  ASSERT_TRUE(PressOperation(w, 0));
  w.previewPane().Run().SetProgressDelay(0);
  w.undoManager().Run().SetProgressDelay(0);

  auto* bar = Find<QProgressBar>(w, "prgRun");
  auto* cancel = Find<QPushButton>(w, "cmdCancel");
  QTest::mouseClick(Find<QPushButton>(w, "cmdYes"), Qt::LeftButton);
  ASSERT_TRUE(WaitUntil([&] { return bar->isVisible() && bar->value() > 0; }, 30000)) << "no moving bar";
  EXPECT_EQ(bar->maximum(), kFiles);
  EXPECT_TRUE(cancel->isVisible());
  EXPECT_FALSE(Find<QAction>(w, "mnuUndoLastRename")->isEnabled());
  QTest::mouseClick(cancel, Qt::LeftButton);
  ASSERT_TRUE(WaitUntil([&] { return w.StatusText().startsWith(QLatin1String("Ready, renamed ")); }, 30000));
  EXPECT_FALSE(bar->isVisible());

  int renamed = 0;
  for (const auto& entry : std::filesystem::directory_iterator(t.files.path()))
    renamed += entry.path().filename().string().rfind("item_", 0) == 0;
  EXPECT_GT(renamed, 0);
  EXPECT_LT(renamed, kFiles) << "Cancel did not stop the run";
  EXPECT_EQ(w.StatusText(), Counts(renamed, 0));

  ASSERT_TRUE(UndoOffered(w));
  Invoke(Find<QAction>(w, "mnuUndoLastRename"));
  w.undoManager().tmrUndoTimer();  // the undo starts now, not after its pause
  EXPECT_TRUE(cancel->isVisible()) << "an undo can be cancelled too";
  QTest::mouseClick(cancel, Qt::LeftButton);
  ASSERT_TRUE(WaitUntil([&] { return StatusIsReady(w); }, 30000));
  // Cancel may come after the last entry; whatever is left is undone later.
  const auto stillRenamed = [&] {
    int count = 0;
    for (const std::string& name : Listing(t.files.path())) count += name.rfind("item_", 0) == 0;
    return count;
  };
  const int left = stillRenamed();
  EXPECT_EQ(w.StatusText().toStdString(), Undone(renamed - left, 0));
  if (left > 0) {
    ASSERT_TRUE(UndoOffered(w)) << "the rest of a cancelled undo";
    Invoke(Find<QAction>(w, "mnuUndoLastRename"));
    EXPECT_EQ(PressUndoResult(w), Undone(left, 0));
  }
  EXPECT_EQ(stillRenamed(), 0);
  EXPECT_EQ(int(Listing(t.files.path()).size()), kFiles);
}
