// A new user's first hour: access keys, Ctrl+Z at start, an empty preview,
// drags inside the window, an unreadable folder, Undo's feedback and the
// start-up question.

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

bool RenameReplacing(TestWindow& t, const std::string& name, const char* to) {
  t->renameList().AddToRenameList(name, t.files.path());
  Find<QLineEdit>(t.window(), "txtReplaceFrom")->setText(QStringLiteral("a"));
  Find<QLineEdit>(t.window(), "txtReplaceTo")->setText(QString::fromUtf8(to));
  return PressOperation(t.window(), 0) && PressYes(t.window());
}

// Fails for every access key two captions share; `keys` holds those taken.
void ExpectUniqueKeys(const QStringList& captions, const std::string& where, std::map<QChar, QString> keys = {}) {
  for (const QString& caption : captions) {
    const qsizetype at = QString(caption).replace(QLatin1String("&&"), QLatin1String("__")).indexOf(QLatin1Char('&'));
    if (at < 0 || at + 1 >= caption.size()) continue;
    const auto [it, fresh] = keys.emplace(caption[at + 1].toUpper(), caption);
    EXPECT_TRUE(fresh) << where << ": \"" << caption.toStdString() << "\" and \"" << it->second.toStdString() << '"';
  }
}

// The captions of the controls the keyboard reaches now.
QStringList ReachableCaptions(TfrmMain& w) {
  QStringList captions;
  for (QWidget* widget : Find(w, "centralArea")->findChildren<QWidget*>()) {
    if (!widget->isVisible() || !widget->isEnabled()) continue;
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) captions << button->text();
    if (auto* label = qobject_cast<QLabel*>(widget); label && label->buddy()) captions << label->text();
  }
  return captions;
}

}  // namespace

// No page, pane or menu item takes a menu bar's letter, so Alt+F opens File
// from any page.
TEST(FirstHourAccessKeys, NoPageOrMenuShadowsAMenuLetter) {
  TestWindow t;
  t.files.WriteFile("a.txt");
  TfrmMain& w = OpenActive(t);
  QStringList bar;
  std::map<QChar, QString> barKeys;
  for (QAction* menu : w.menuBar()->actions()) bar << menu->text();
  ExpectUniqueKeys(bar, "menu bar");
  for (const QString& caption : bar) barKeys.emplace(caption[caption.indexOf(QLatin1Char('&')) + 1].toUpper(), caption);
  for (QMenu* menu : w.findChildren<QMenu*>()) {
    QStringList items;
    for (QAction* item : menu->actions()) items << item->text();
    ExpectUniqueKeys(items, menu->objectName().toStdString());
  }
  for (int page = 0; page < 8; ++page) {
    Find<QAction>(w, QStringLiteral("mnuRename_%1").arg(page))->trigger();
    ExpectUniqueKeys(ReachableCaptions(w), "page " + std::to_string(page), barKeys);
  }
  Find(w, "optChangeCaseOpposite")->setFocus();
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_F, Qt::AltModifier);
  EXPECT_TRUE(WaitUntil([&] { return Find<QMenu>(w, "mnuFile")->isVisible(); }));
  Find<QMenu>(w, "mnuFile")->close();
  w.fileView().ListFiles(t.files.path() + "/");
  ASSERT_TRUE(PressOperation(w, 3));
  ExpectUniqueKeys(ReachableCaptions(w), "confirmation", barKeys);
}

// Ctrl+Z at start (the pattern box focused) undoes; from the open File menu
// the menu closes and the busy pane shows before the work; a run another
// copy undid is "Nothing to undo.".
TEST(FirstHourUndo, CtrlZAtStartTheFileMenuAndASecondCopy) {
  TestWindow t;
  for (const char* name : {"a1", "a2"}) t.files.WriteFile(name);
  OpenActive(t).fileView().ListFiles(t.files.path() + "/");
  ASSERT_TRUE(RenameReplacing(t, "a1", "b") && RenameReplacing(t, "a2", "b"));
  t.Close();
  TfrmMain& w = OpenActive(t);
  const auto undoneOne = [&] { return w.StatusText() == QStringLiteral("Ready, undone 1 file(s)/folder(s), 0 error(s)."); };
  ASSERT_EQ(QApplication::focusWidget(), Find(w, "txtPattern"));
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Z, Qt::ControlModifier);
  EXPECT_TRUE(WaitUntil(undoneOne));
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
  EXPECT_TRUE(WaitUntil(undoneOne));
  EXPECT_EQ(Listing(t.files.path()), (std::vector<std::string>{"a1", "a2"}));

  ASSERT_TRUE(RenameReplacing(t, "a1", "c") && Find<QAction>(w, "mnuUndoLastRename")->isEnabled());
  EXPECT_EQ(Journal::UndoRun(Journal::NewestUndoableRun(t.StatePath()).value_or("")).undone, 1u);
  t.dialogs.clear();
  Find<QAction>(w, "mnuUndoLastRename")->trigger();
  ASSERT_EQ(t.dialogs.count(), 1);
  EXPECT_EQ(t.dialogs.last().text.toStdString(), "Nothing to undo.");
  EXPECT_FALSE(Find<QAction>(w, "mnuUndoLastRename")->isEnabled());
}

// "Quillon!" with nothing to add: the box, then browsing again; an empty
// run, however reached, keeps the undo file and writes no journal.
TEST(FirstHourEmptyPreview, NoFilesSelectedGoesBackAndAnEmptyRunKeepsTheUndoFile) {
  TestWindow t;
  t.programFolder.WriteFile("UNDO", "mv x y\n");
  TfrmMain& w = OpenActive(t);
  w.fileView().ListFiles(t.files.path() + "/");
  Find<QLineEdit>(w, "txtReplaceFrom")->setText(QStringLiteral("a"));
  QTest::mouseClick(Find<QPushButton>(w, "cmdRename_0"), Qt::LeftButton);
  EXPECT_TRUE(WaitUntil([&] { return t.dialogs.count() == 1 && InBrowsingLayout(w) && StatusIsReady(w); }));
  EXPECT_FALSE(Find(w, "grpConfirmation")->isVisible());
  w.previewPane().PerformRename();
  EXPECT_EQ(t.programFolder.ReadFile("UNDO"), "mv x y\n");
  EXPECT_TRUE(Journal::RunFiles(t.StatePath()).empty());
}

// Rows dragged inside the window go in (and out) whatever the Add menu last
// showed.
TEST(FirstHourDrags, OwnDragsWorkWhateverTheAddMenuLastShowed) {
  TestWindow t;
  for (const char* name : {"a.txt", "b.txt"}) t.files.WriteFile(name);
  TfrmMain& w = OpenActive(t);
  w.fileView().ListFiles(t.files.path() + "/");
  emit Find<QMenu>(w, "mnuAdd")->aboutToShow();  // nothing selected anywhere
  for (const char* from : {"lstvwLocal", "lviFiles"}) {
    auto* source = Find<QTreeView>(w, from);
    source->setCurrentIndex(source->model()->index(source->model()->rowCount() - 1, 0));
    std::unique_ptr<QMimeData> rows(source->model()->mimeData({source->currentIndex()}));
    DropOn(Find<QTreeView>(w, from == std::string("lviFiles") ? "lstvwLocal" : "lviFiles")->viewport(), *rows);
    EXPECT_EQ(w.renameList().RenameListEntries().size(), from == std::string("lviFiles") ? 0u : 1u) << from;
  }
}

// An unreadable folder says why: status line, file view, folder tree. The
// window runs in a child of the test under strace, which refuses every open
// of the folder, and writes down what it showed.
TEST(FirstHourUnreadableFolder, SaysWhyInTheStatusLineAndTheTree) {
  if (const char* locked = std::getenv("QUILLON_UNREADABLE_FOLDER")) {
    TestWindow t;
    TfrmMain& w = OpenActive(t);
    w.folderTree().ShowTree(std::string(locked).substr(0, std::string(locked).rfind('/')));
    QTreeWidgetItem* node = Find<QTreeWidget>(w, "trvwLocal")->topLevelItem(0)->child(0);
    node->treeWidget()->setCurrentItem(node);
    auto* why = Find<QLabel>(w, "lblUnreadable");
    std::_Exit(w.StatusText() == QStringLiteral("Ready. This folder cannot be read: Permission denied.") &&
                       node->toolTip(0) == why->text() && why->isVisible() &&
                       why->text() == QStringLiteral("This folder cannot be read: Permission denied.")
                   ? 0
                   : 3);
  }
  if (std::system("strace -V >/dev/null 2>&1") != 0) GTEST_SKIP() << "strace is not installed";
  TempDir scratch;
  scratch.WriteFile("locked/inside.txt");
  const std::string locked = scratch / "locked";
  const std::string command = "QUILLON_UNREADABLE_FOLDER='" + locked + "' strace -f -qq -o /dev/null -P '" + locked +
                              "' -P '" + locked + "/' -e trace=openat -e inject=openat:error=EACCES /proc/" +
                              std::to_string(::getpid()) + "/exe --gtest_filter=FirstHourUnreadableFolder.*";
  EXPECT_EQ(std::system(command.c_str()), 0) << command;
}

// The question about a run a crash cut short names its first folder and how
// many others.
TEST(FirstHourCrashQuestion, NamesTheFirstFolderAndHowManyOthers) {
  TestWindow t;
  for (const char* name : {"one/x1", "one/x2", "two/y1"}) t.files.WriteFile(name);
  const std::string one = t.files / "one/", two = t.files / "two/";
  {
    Journal::Writer journal;
    std::string reason;
    ASSERT_TRUE(journal.Open(t.StatePath(), reason));
    journal.SetTotal(3);
    ASSERT_TRUE(journal.WriteIntent({{one, "x1", "z1"}, {one, "x2", "z2"}, {two, "y1", "w1"}}, reason));
    std::filesystem::rename(one + "x1", one + "z1");
  }  // never finished
  OpenActive(t);
  EXPECT_TRUE(WaitUntil([&] { return t.dialogs.count() == 1; }));
  EXPECT_EQ(t.dialogs.count() ? t.dialogs.last().text.toStdString() : "",
            "The last rename did not finish: 1 of 3 names were changed in \"" + t.files / "one" +
                "\" and 1 other folder. Undo these changes?");
}
