// What a new user meets in the first hour: access keys, Ctrl+Z, an empty
// preview, drags inside the window, an unreadable folder, the feedback of
// Undo and the start-up question.

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>

#include "browser/FileView.h"
#include "browser/FolderTree.h"
#include "rename/Journal.h"
#include "rename/PreviewPane.h"
#include "renamelist/RenameList.h"
#include "ui/RenameFlowSupport.h"

using namespace renameflow;

namespace {

TfrmMain& OpenActive(TestWindow& t) {
  TfrmMain& w = t.Open();
  w.show();
  QApplication::setActiveWindow(&w);
  EXPECT_TRUE(QTest::qWaitForWindowActive(&w));
  return w;
}

bool RenameReplacing(TestWindow& t, const std::string& name, const char* from, const char* to) {
  t->renameList().AddToRenameList(name, t.files.path());
  Find<QLineEdit>(t.window(), "txtReplaceFrom")->setText(QString::fromUtf8(from));
  Find<QLineEdit>(t.window(), "txtReplaceTo")->setText(QString::fromUtf8(to));
  return PressOperation(t.window(), 0) && PressYes(t.window());
}

QString Undone(int undone) { return QStringLiteral("Ready, undone %1 file(s)/folder(s), 0 error(s).").arg(undone); }

// The letter after a single "&", upper-cased; none when there is none.
QChar AccessKey(const QString& text) {
  for (qsizetype i = 0; i + 1 < text.size(); ++i) {
    if (text[i] != QLatin1Char('&')) continue;
    if (text[i + 1] != QLatin1Char('&')) return text[i + 1].toUpper();
    ++i;
  }
  return {};
}

// Fails for every letter two of `captions` share.
void ExpectUniqueKeys(const QStringList& captions, const std::string& where,
                      const std::map<QChar, QString>& taken = {}) {
  std::map<QChar, QString> seen = taken;
  for (const QString& caption : captions) {
    const QChar key = AccessKey(caption);
    if (key.isNull()) continue;
    const auto [it, fresh] = seen.emplace(key, caption);
    EXPECT_TRUE(fresh) << where << ": \"" << caption.toStdString() << "\" and \"" << it->second.toStdString()
                       << "\" share Alt+" << QString(key).toStdString();
  }
}

// The captions of the access keys the user can reach now in the window's panes.
QStringList ReachableCaptions(TfrmMain& w) {
  QStringList captions;
  for (QWidget* widget : Find(w, "centralArea")->findChildren<QWidget*>()) {
    if (!widget->isVisible() || !widget->isEnabled()) continue;
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) captions << button->text();
    if (auto* label = qobject_cast<QLabel*>(widget); label && label->buddy()) captions << label->text();
  }
  return captions;
}

bool DropOwnRows(QWidget* viewport, const QMimeData& mime) {
  const QPoint at(5, 5);
  QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(viewport, &enter);
  QDragMoveEvent move(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(viewport, &move);
  QDropEvent drop(QPointF(at), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(viewport, &drop);
  return drop.isAccepted();
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

// Every menu opens with its letter whatever page is shown: no two items of
// one menu, and no control of a page or pane, share a letter with it.
TEST(FirstHourAccessKeys, NoPageOrMenuShadowsAMenuLetter) {
  TestWindow t;
  t.files.WriteFile("a.txt");
  TfrmMain& w = OpenActive(t);
  QStringList bar;
  for (QAction* menu : w.menuBar()->actions()) bar << menu->text();
  ExpectUniqueKeys(bar, "menu bar");
  std::map<QChar, QString> menuKeys;
  for (const QString& caption : bar) menuKeys.emplace(AccessKey(caption), caption);
  for (QMenu* menu : w.findChildren<QMenu*>()) {
    QStringList items;
    for (QAction* item : menu->actions()) items << item->text();
    ExpectUniqueKeys(items, menu->objectName().toStdString());
  }
  for (int page = 0; page < 8; ++page) {
    Find<QAction>(w, QStringLiteral("mnuRename_%1").arg(page))->trigger();
    ExpectUniqueKeys(ReachableCaptions(w), "page " + std::to_string(page), menuKeys);
  }
  Find<QAction>(w, "mnuRename_3")->trigger();
  Find<QWidget>(w, "optChangeCaseOpposite")->setFocus();
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_F, Qt::AltModifier);
  EXPECT_TRUE(WaitUntil([&] { return Find<QMenu>(w, "mnuFile")->isVisible(); })) << "Alt+F opens the File menu";
  Find<QMenu>(w, "mnuFile")->close();

  w.fileView().ListFiles(t.files.path() + "/");
  w.renameList().AddToRenameList("a.txt", t.files.path());
  ASSERT_TRUE(PressOperation(w, 3));
  ExpectUniqueKeys(ReachableCaptions(w), "confirmation", menuKeys);
}

// Ctrl+Z right after start, with the pattern box focused, undoes the last
// run; from the open File menu the menu closes and "Undoing rename..." shows
// before the work starts; a run another copy undid meanwhile is said to be
// gone.
TEST(FirstHourUndo, CtrlZAtStartTheFileMenuAndASecondCopy) {
  TestWindow t;
  for (const char* name : {"a1", "a2"}) t.files.WriteFile(name);
  TfrmMain& first = OpenActive(t);
  first.fileView().ListFiles(t.files.path() + "/");
  ASSERT_TRUE(RenameReplacing(t, "a1", "a", "b") && RenameReplacing(t, "a2", "a", "b"));
  t.Close();

  TfrmMain& w = OpenActive(t);
  ASSERT_EQ(QApplication::focusWidget(), Find<QLineEdit>(w, "txtPattern"));
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Z, Qt::ControlModifier);
  EXPECT_TRUE(WaitUntil([&] { return w.StatusText() == Undone(1); }));
  EXPECT_EQ(Listing(t.files.path()), (std::vector<std::string>{"a2", "b1"}));

  QMenu* file = Find<QMenu>(w, "mnuFile");
  file->popup(w.mapToGlobal(QPoint(10, 10)));
  ASSERT_TRUE(WaitUntil([&] { return file->isVisible(); }));
  file->setActiveAction(Find<QAction>(w, "mnuUndoLastRename"));
  QTest::keyClick(file, Qt::Key_Return);
  EXPECT_FALSE(file->isVisible());
  EXPECT_EQ(w.StatusText().toStdString(), "Undoing rename...");
  EXPECT_TRUE(Find(w, "grpLoading")->isVisible());
  EXPECT_EQ(Listing(t.files.path()), (std::vector<std::string>{"a2", "b1"})) << "the work waits for the repaint";
  EXPECT_TRUE(WaitUntil([&] { return w.StatusText() == Undone(1); }));
  EXPECT_EQ(Listing(t.files.path()), (std::vector<std::string>{"a1", "a2"}));

  ASSERT_TRUE(RenameReplacing(t, "a1", "a", "c"));
  ASSERT_TRUE(Find<QAction>(w, "mnuUndoLastRename")->isEnabled());
  const std::optional<std::string> run = Journal::NewestUndoableRun(t.StatePath());
  ASSERT_TRUE(run);
  EXPECT_EQ(Journal::UndoRun(*run).undone, 1u) << "the other copy's undo";
  t.dialogs.clear();
  Find<QAction>(w, "mnuUndoLastRename")->trigger();
  EXPECT_TRUE(WaitUntil([&] { return t.dialogs.count() == 1 && StatusIsReady(w); }));
  ASSERT_EQ(t.dialogs.count(), 1);
  EXPECT_EQ(t.dialogs.last().text.toStdString(), "Nothing to undo.");
  EXPECT_FALSE(Find<QAction>(w, "mnuUndoLastRename")->isEnabled());
  EXPECT_EQ(Listing(t.files.path()), (std::vector<std::string>{"a1", "a2"}));
}

// "Quillon!" over an empty folder with an empty rename list: the box, then
// browsing again; an empty run, however reached, keeps the undo file and
// writes no journal.
TEST(FirstHourEmptyPreview, NoFilesSelectedGoesBackAndAnEmptyRunKeepsTheUndoFile) {
  TestWindow t;
  t.programFolder.WriteFile("UNDO", "mv \"x\" \"y\"\n");
  TfrmMain& w = OpenActive(t);
  w.fileView().ListFiles(t.files.path() + "/");
  Find<QLineEdit>(w, "txtReplaceFrom")->setText(QStringLiteral("a"));
  QTest::mouseClick(Find<QPushButton>(w, "cmdRename_0"), Qt::LeftButton);
  EXPECT_TRUE(WaitUntil([&] { return t.dialogs.count() == 1 && InBrowsingLayout(w) && StatusIsReady(w); }));
  ASSERT_EQ(t.dialogs.count(), 1);
  EXPECT_EQ(t.dialogs.last().title, QStringLiteral("No files selected"));
  EXPECT_FALSE(Find(w, "grpConfirmation")->isVisible());
  w.previewPane().PerformRename();
  EXPECT_EQ(t.programFolder.ReadFile("UNDO"), "mv \"x\" \"y\"\n");
  EXPECT_TRUE(Journal::RunFiles(t.StatePath()).empty());
  EXPECT_TRUE(InBrowsingLayout(w));
}

// Rows dragged inside the window are added (or removed) whatever state the
// Add menu was last opened in.
TEST(FirstHourDrags, OwnDragsWorkWhateverTheAddMenuLastShowed) {
  TestWindow t;
  for (const char* name : {"a.txt", "b.txt"}) t.files.WriteFile(name);
  TfrmMain& w = OpenActive(t);
  w.fileView().ListFiles(t.files.path() + "/");
  emit Find<QMenu>(w, "mnuAdd")->aboutToShow();  // nothing selected anywhere
  auto* files = Find<QTreeView>(w, "lstvwLocal");
  files->setCurrentIndex(files->model()->index(1, 0));
  std::unique_ptr<QMimeData> rows(files->model()->mimeData({files->model()->index(1, 0)}));
  auto* list = Find<QTreeView>(w, "lviFiles");
  EXPECT_TRUE(DropOwnRows(list->viewport(), *rows));
  ASSERT_EQ(w.renameList().RenameListEntries().size(), 1u);
  EXPECT_EQ(w.renameList().RenameListEntries()[0].filename, "b.txt");

  list->setCurrentIndex(list->model()->index(0, 0));
  std::unique_ptr<QMimeData> back(list->model()->mimeData({list->model()->index(0, 0)}));
  DropOwnRows(files->viewport(), *back);
  EXPECT_TRUE(w.renameList().RenameListEntries().empty()) << "dragged back out of the list";
}

// A folder that cannot be read says so in the status line and in the folder
// tree. The window runs in a child of the test under strace, which refuses
// every open of the folder, and writes down what it showed.
TEST(FirstHourUnreadableFolder, SaysWhyInTheStatusLineAndTheTree) {
  if (const char* report = std::getenv("QUILLON_UNREADABLE_REPORT")) {
    TestWindow t;
    TfrmMain& w = OpenActive(t);
    const std::string locked = std::getenv("QUILLON_UNREADABLE_FOLDER");
    w.folderTree().ShowTree(locked.substr(0, locked.rfind('/')));
    auto* tree = Find<QTreeWidget>(w, "trvwLocal");
    QTreeWidgetItem* node = tree->topLevelItem(0)->child(0);
    tree->setCurrentItem(node);
    const bool listed = WaitUntil([&] { return StatusIsReady(w) && w.fileView().CurrentFolder() == locked + "/"; });
    std::ofstream out(report);
    auto* why = Find<QLabel>(w, "lblUnreadable");
    out << listed << '\n' << w.StatusText().toStdString() << '\n' << node->toolTip(0).toStdString() << '\n'
        << (why->isVisible() ? why->text().toStdString() : "") << '\n';
    out.close();
    ::_exit(out ? 0 : 1);
  }
  if (std::system("strace -V >/dev/null 2>&1") != 0) GTEST_SKIP() << "strace is not installed";
  TempDir scratch;
  scratch.WriteFile("locked/inside.txt");
  const std::string locked = scratch / "locked", report = scratch / "report";
  const std::string command = "QUILLON_UNREADABLE_REPORT='" + report + "' QUILLON_UNREADABLE_FOLDER='" + locked +
                              "' strace -f -qq -o /dev/null -P '" + locked + "' -P '" + locked +
                              "/' -e trace=openat,open -e inject=openat,open:error=EACCES /proc/" +
                              std::to_string(::getpid()) +
                              "/exe --gtest_filter=FirstHourUnreadableFolder.SaysWhyInTheStatusLineAndTheTree";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  EXPECT_EQ(ReadAll(report), "1\nReady. This folder cannot be read: Permission denied.\n"
                             "This folder cannot be read: Permission denied.\n"
                             "This folder cannot be read: Permission denied.\n");
}

// The question about a run a crash cut short names its folders.
TEST(FirstHourCrashQuestion, NamesTheFirstFolderAndHowManyOthers) {
  TestWindow t;
  for (const char* name : {"one/x1", "one/x2", "two/y1"}) t.files.WriteFile(name);
  const std::string one = t.files / "one/", two = t.files / "two/";
  {
    Journal::Writer journal;
    std::string reason;
    ASSERT_TRUE(journal.Open(t.StatePath(), reason)) << reason;
    journal.SetTotal(3);
    ASSERT_TRUE(journal.WriteIntent({{one, "x1", "z1"}, {one, "x2", "z2"}, {two, "y1", "w1"}}, reason)) << reason;
    std::filesystem::rename(one + "x1", one + "z1");
  }  // never finished
  t.dialogs.QueueAnswer(DialogAnswer::No);
  OpenActive(t);
  EXPECT_TRUE(WaitUntil([&] { return t.dialogs.count() == 1; }));
  ASSERT_EQ(t.dialogs.count(), 1);
  EXPECT_EQ(t.dialogs.last().text,
            QStringLiteral("The last rename did not finish: 1 of 3 names were changed in \"%1\" and 1 other "
                           "folder. Undo these changes?")
                .arg(QString::fromStdString(t.files / "one")));
}
