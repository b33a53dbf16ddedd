#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <thread>

#include "browser/FileView.h"
#include "browser/FileViewModel.h"
#include "renamelist/RenameList.h"
#include "ui/RenameFlowSupport.h"

using namespace renameflow;

namespace {

void ShowActive(TfrmMain& w) {
  w.show();
  QApplication::setActiveWindow(&w);
  ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
}

// Adds `names` of the test folder to the rename list and previews Replace
// `from` by `to` on them.
bool PreviewReplace(TestWindow& t, const std::vector<std::string>& names, const char* from, const char* to) {
  for (const std::string& name : names) t->renameList().AddToRenameList(name, t.files.path());
  Find<QLineEdit>(t.window(), "txtReplaceFrom")->setText(QString::fromUtf8(from));
  Find<QLineEdit>(t.window(), "txtReplaceTo")->setText(QString::fromUtf8(to));
  return PressOperation(t.window(), 0);
}

std::vector<std::string> Replaced(std::vector<std::string> names, char to) {
  for (std::string& name : names) name[0] = to;
  return names;
}

QAction* UndoItem(TfrmMain& w) { return Find<QAction>(w, "mnuUndoLastRename"); }

// Ctrl+Z over the rename list.
void PressUndo(TfrmMain& w) {
  Find<QTreeView>(w, "lviFiles")->setFocus();
  QTest::keyClick(Find<QTreeView>(w, "lviFiles"), Qt::Key_Z, Qt::ControlModifier);
}

QString Undone(int undone, int errors) {
  return QStringLiteral("Ready, undone %1 file(s)/folder(s), %2 error(s).").arg(undone).arg(errors);
}

bool FileViewShows(TfrmMain& w, const std::string& name) {
  for (int row = 0; row < FileModel(w)->rowCount(); ++row)
    if (FileModel(w)->Name(row) == name) return true;
  return false;
}

}  // namespace

// Two runs undone newest first, the second after a restart; names with line
// breaks, shell syntax and invalid UTF-8 come back byte for byte. The program
// folder cannot be written, so the undo file goes to the state folder.
TEST(UndoLastRename, UndoesRunsNewestFirstAlsoAfterARestart) {
  TestWindow t;
  const std::string unwritable = t.programFolder.path() + "/missing/";
  const std::vector<std::string> names = {"a1", "a\nline", "a$(touch pwned)`x`", "a\xff\xfe"};
  for (const std::string& name : names) t.files.WriteFile(name, name);
  const auto original = Listing(t.files.path());
  ShowActive(t.OpenWithProgramFolder(unwritable));
  TfrmMain& w = t.window();
  w.fileView().ListFiles(t.files.path() + "/");
  EXPECT_FALSE(UndoItem(w)->isEnabled());
  ASSERT_TRUE(PreviewReplace(t, names, "a", "b") && PressYes(w)) << (t.dialogs.count() ? t.dialogs.last().text.toStdString() : "") << w.StatusText().toStdString();
  ASSERT_TRUE(PreviewReplace(t, Replaced(names, 'b'), "b", "c") && PressYes(w));
  std::vector<std::string> renamed = Replaced(names, 'c');
  std::sort(renamed.begin(), renamed.end());
  EXPECT_EQ(Listing(t.files.path()), renamed);
  EXPECT_TRUE(std::filesystem::exists(t.StatePath() + "/UNDO"));

  ASSERT_TRUE(PreviewReplace(t, {"c1"}, "c", "d"));
  EXPECT_FALSE(UndoItem(w)->isEnabled()) << "not while a preview is shown";
  QTest::mouseClick(Find<QPushButton>(w, "cmdNo"), Qt::LeftButton);
  ASSERT_TRUE(UndoItem(w)->isEnabled());

  auto* pattern = Find<QLineEdit>(w, "txtPattern");
  const QString typed = pattern->text();
  pattern->setFocus();
  QTest::keyClicks(pattern, QStringLiteral("x"));
  QTest::keyClick(pattern, Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(pattern->text(), typed) << "Ctrl+Z in a text box undoes the typing";
  EXPECT_TRUE(std::filesystem::exists(t.files / "c1"));

  PressUndo(w);
  EXPECT_EQ(w.StatusText().toStdString(), Undone(4, 0).toStdString());
  EXPECT_TRUE(FileViewShows(w, "b1") && !FileViewShows(w, "c1")) << "the file view is refreshed";
  t.Close();

  ShowActive(t.OpenWithProgramFolder(unwritable));
  PressUndo(t.window());
  EXPECT_EQ(t->StatusText().toStdString(), Undone(4, 0).toStdString());
  EXPECT_EQ(Listing(t.files.path()), original);
  for (const std::string& name : names) EXPECT_EQ(t.files.ReadFile(name), name);
  EXPECT_FALSE(UndoItem(t.window())->isEnabled()) << "no run is left to undo";
  EXPECT_EQ(t.dialogs.count(), 0);
}

TEST(UndoLastRename, AnEntryChangedSinceTheRunIsAFailureAndNothingIsReplaced) {
  TestWindow t;
  for (const char* name : {"a1", "a2"}) t.files.WriteFile(name, name);
  ShowActive(t.Open());
  ASSERT_TRUE(PreviewReplace(t, {"a1", "a2"}, "a", "b") && PressYes(t.window()));
  t.files.WriteFile("a1", "new");  // the old name taken again
  std::filesystem::remove(t.files / "b2");  // the new name gone
  PressUndo(t.window());
  EXPECT_EQ(t->StatusText().toStdString(), Undone(0, 2).toStdString());
  EXPECT_EQ(Listing(t.files.path()), (std::vector<std::string>{"a1", "b1"}));
  EXPECT_EQ(t.files.ReadFile("a1"), "new");
  EXPECT_EQ(t.files.ReadFile("b1"), "a1");
}

// A state folder that cannot take a journal: the question comes before any
// rename; No is the preview's No, Yes renames without undo information.
TEST(UndoLastRename, AReadOnlyStateFolderAsksBeforeRenaming) {
  for (const DialogAnswer answer : {DialogAnswer::No, DialogAnswer::Yes}) {
    TestWindow t;
    std::filesystem::create_directories(t.StatePath());
    if (std::system(("mount -t tmpfs -o ro tmpfs '" + t.StatePath() + "' 2>/dev/null").c_str()) != 0)
      GTEST_SKIP() << "a read-only mount needs root";
    t.files.WriteFile("a1");
    ShowActive(t.Open());
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
    EXPECT_FALSE(UndoItem(t.window())->isEnabled());
  }
}

// A rename run of 100,000 entries killed with SIGKILL at several points: the
// next start asks once; Yes gets every name back, No keeps them (and leaves
// the run to "Undo last rename").
TEST(UndoAfterACrash, AKilledRunIsOfferedAtTheNextStart) {
  TestWindow t;
  const int count = 100000;
  std::string pairs;
  for (int i = 0; i < count; ++i) {
    const std::string n = std::to_string(i);
    ::close(::open((t.files / ("f" + n)).c_str(), O_CREAT | O_WRONLY, 0644));
    pairs += "f" + n + '\0' + "g" + n + '\0';
  }
  const auto countMoved = [&] {
    int moved = 0;
    for (const auto& entry : std::filesystem::directory_iterator(t.files.path()))
      moved += entry.path().filename().string()[0] == 'g';
    return moved;
  };
  for (const auto& [killAt, answer] : {std::pair{500, DialogAnswer::Yes}, std::pair{40000, DialogAnswer::No},
                                       std::pair{75000, DialogAnswer::Yes}}) {
    int input[2];
    ASSERT_EQ(::pipe(input), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, input[0], 0);
    posix_spawn_file_actions_addclose(&actions, input[1]);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    const std::string state = t.StatePath();
    const std::string folder = t.files.path();
    char* argv[] = {const_cast<char*>(QUILLON_FAULT_DRIVER), const_cast<char*>("--journal"),
                    const_cast<char*>(state.c_str()), const_cast<char*>(folder.c_str()), nullptr};
    pid_t child = 0;
    ASSERT_EQ(::posix_spawn(&child, QUILLON_FAULT_DRIVER, &actions, nullptr, argv, environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    ::close(input[0]);
    ASSERT_EQ(::write(input[1], pairs.data(), pairs.size()), ssize_t(pairs.size()));
    ::close(input[1]);
    const std::string sign = t.files / ("g" + std::to_string(killAt));
    while (!std::filesystem::exists(sign) && ::waitpid(child, nullptr, WNOHANG) == 0) std::this_thread::yield();
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the run ended before the kill at " << killAt;

    const int moved = countMoved();
    t.dialogs.QueueAnswer(answer);
    ShowActive(t.Open());
    EXPECT_TRUE(WaitUntil([&] { return t.dialogs.count() == 1 && StatusIsReady(t.window()); }, 60000));
    ASSERT_EQ(t.dialogs.count(), 1) << killAt;
    EXPECT_EQ(t.dialogs.last().text,
              QStringLiteral("The last rename did not finish: %1 of %2 names were changed. Undo these changes?")
                  .arg(moved)
                  .arg(count));
    EXPECT_EQ(countMoved(), answer == DialogAnswer::Yes ? 0 : moved) << killAt;
    if (answer == DialogAnswer::No) {
      PressUndo(t.window());
      EXPECT_EQ(t->StatusText().toStdString(), Undone(moved, 0).toStdString());
      EXPECT_EQ(countMoved(), 0);
    }
    t.Close();
    t.dialogs.clear();
  }
}
