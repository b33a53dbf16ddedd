#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDragMoveEvent>
#include <QGroupBox>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>

#include "platform/Paths.h"
#include "renamelist/FindH.h"
#include "renamelist/RecursiveSearch.h"
#include "renamelist/RenameListModel.h"
#include "ui/UiTestSupport.h"
#include "widgets/ListSelection.h"
#include "browser/FileView.h"
#include "browser/FileViewModel.h"
#include "renamelist/RenameList.h"

namespace {

using Entries = std::vector<RenameListEntry>;

bool WaitFor(const std::function<bool()>& done, int timeoutMs = 60000) {
  for (int waited = 0; !done(); waited += 5) {
    if (waited >= timeoutMs) return false;
    QTest::qWait(5);
  }
  return true;
}

bool WaitForSearchEnd(TfrmMain& w) {
  return WaitFor([&] { return !Find<QTimer>(w, "tmrRecursive")->isActive() && !Find<RecursiveSearch>(w, "recursiveSearch")->IsRunning(); });
}

// What the core search gives for the folder, as rename-list entries.
Entries CoreOrder(const std::string& folder, const std::string& mask) {
  Entries found;
  FindH::FindFilesRecursive(folder, mask, [&](const std::string& in, const std::string& name) {
    found.push_back({name, Paths::WithoutTrailingDelimiter(in)});
    return true;
  });
  return found;
}

bool IsPrefix(const Entries& part, const Entries& whole) {
  return part.size() <= whole.size() && std::equal(part.begin(), part.end(), whole.begin());
}

void SelectRows(QTreeView* view, std::initializer_list<int> rows) {
  view->selectionModel()->clearSelection();
  for (int row : rows)
    view->selectionModel()->select(view->model()->index(row, 0),
                                   QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

std::vector<std::string> Names(const Entries& entries) {
  std::vector<std::string> names;
  for (const RenameListEntry& entry : entries) names.push_back(entry.filename);
  return names;
}

void MakeSymlink(const std::string& target, const std::string& link) {
  ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0) << link;
}

// a.txt b.txt notes.md .hidden.txt link.txt(->a.txt) | sub: c.txt, "\xFC.txt",
// loop(->..) | sub/deeper: d.txt | sub2: e.md | .hid: x.txt | lnkdir(->sub)
void MakeSearchTree(const TempDir& files) {
  for (const char* name : {"a.txt", "b.txt", "notes.md", ".hidden.txt", "sub/c.txt", "sub/\xFC.txt",
                           "sub/deeper/d.txt", "sub2/e.md", ".hid/x.txt"})
    files.WriteFile(name, "x");
  MakeSymlink("a.txt", files / "link.txt");
  MakeSymlink("..", files / "sub/loop");
  MakeSymlink("sub", files / "lnkdir");
}

// folder + number + "/" + file + number
std::string TreeFile(const char* folder, int folderNumber, const char* file, int fileNumber) {
  std::string path(folder);
  path.append(std::to_string(folderNumber)).append("/").append(file).append(std::to_string(fileNumber));
  return path;
}

void StartSearch(TfrmMain& w, const std::string& folder, const QString& pattern) {
  w.fileView().ListFiles(folder + "/");
  Find<QLineEdit>(w, "txtPattern")->setText(pattern);
  Invoke(Find<QAction>(w, "mnuAllFilesRecursive"));
}

}  // namespace

// ---------------------------------------------------------------------------
// Entries and the duplicate test

TEST(RenameListEntries, DuplicateTestComparesExactBytes) {
  TestWindow t;
  TfrmMain& w = t.Open();
  const struct {
    const char* name;
    const char* path;
    bool added;
  } steps[] = {
      {"a.txt", "/music", true},
      {"a.txt", "/music", false},   // the same entry again
      {"A.txt", "/music", true},    // letter case counts
      {"a.txt", "/MUSIC", true},    // another spelling of the folder
      {"a.txt", "/music/", true},   // with a trailing delimiter
      {"ab", "c", true},
      {"a", "bc", true},            // same characters, split elsewhere
      {"\xFC.txt", "/x", true},     // invalid UTF-8: shown alike, different bytes
      {"\xFD.txt", "/x", true},
      {"\xFC.txt", "/x", false},
      {"", "", true},
      {"", "", false},
  };
  std::size_t expected = 0;
  for (const auto& step : steps) {
    SCOPED_TRACE(std::string(step.name) + " | " + step.path);
    EXPECT_EQ(w.renameList().IsInRenameList(step.name, step.path), !step.added);
    w.renameList().AddToRenameList(step.name, step.path);
    if (step.added) ++expected;
    EXPECT_EQ(w.renameList().RenameListEntries().size(), expected);
    EXPECT_TRUE(w.renameList().IsInRenameList(step.name, step.path));
    if (step.added) {
      EXPECT_EQ(w.renameList().RenameListEntries().back(), (RenameListEntry{step.name, step.path}));
    }
  }
  EXPECT_EQ(Find<QTreeView>(w, "lviFiles")->model()->rowCount(), int(expected));
  EXPECT_EQ(Find<QTreeView>(w, "lviFiles")->model()->index(6, 0).data().toString(), QStringLiteral("\uFFFD.txt"));
  EXPECT_EQ(Find<QTreeView>(w, "lviFiles")->model()->index(7, 0).data().toString(), QStringLiteral("\uFFFD.txt"));
  EXPECT_EQ(w.renameList().RenameListEntries()[6].filename, "\xFC.txt");
  EXPECT_EQ(w.renameList().KeepRenameList(), 0);  // adding alone does not touch the flag
}

TEST(RenameListEntries, RemovedAndClearedEntriesCanBeAddedAgain) {
  TestWindow t;
  TfrmMain& w = t.Open();
  for (const char* name : {"one", "two", "three"}) w.renameList().AddToRenameList(name, "/f");
  SelectRows(Find<QTreeView>(w, "lviFiles"), {1});
  w.renameList().mnuClearSelectedClick();
  EXPECT_EQ(Names(w.renameList().RenameListEntries()), (std::vector<std::string>{"one", "three"}));
  EXPECT_FALSE(w.renameList().IsInRenameList("two", "/f"));
  w.renameList().AddToRenameList("two", "/f");
  EXPECT_EQ(Names(w.renameList().RenameListEntries()), (std::vector<std::string>{"one", "three", "two"}));

  w.renameList().SetKeepRenameList(1);
  Find<QAction>(w, "mnuClearAll2")->trigger();  // the popup's "Clear &all"
  EXPECT_TRUE(w.renameList().RenameListEntries().empty());
  EXPECT_EQ(w.renameList().KeepRenameList(), 0);
  EXPECT_FALSE(w.renameList().IsInRenameList("one", "/f"));
  w.renameList().AddToRenameList("one", "/f");
  EXPECT_EQ(w.renameList().RenameListEntries().size(), 1u);

  w.renameList().ClearRenameList();
  EXPECT_EQ(Find<QTreeView>(w, "lviFiles")->model()->rowCount(), 0);
  EXPECT_FALSE(w.renameList().IsInRenameList("one", "/f"));
}

TEST(RenameListEntries, BatchSkipsListedEntriesAndRepeatsWithinItself) {
  RenameListModel model;
  model.Append("b", "/p");
  QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
  Entries batch{{"a", "/p"}, {"b", "/p"}, {"c", "/p"}, {"a", "/p"}, {"d", "/q"}};
  EXPECT_EQ(model.AppendBatch(std::move(batch)), 3u);
  EXPECT_EQ(Names(model.entries()), (std::vector<std::string>{"b", "a", "c", "d"}));
  ASSERT_EQ(inserted.count(), 1);  // one insertion for the whole batch
  EXPECT_EQ(inserted[0][1].toInt(), 1);
  EXPECT_EQ(inserted[0][2].toInt(), 3);
  Entries again{{"a", "/p"}, {"d", "/q"}};
  EXPECT_EQ(model.AppendBatch(std::move(again)), 0u);
  EXPECT_EQ(inserted.count(), 1);
  EXPECT_EQ(model.headerData(0, Qt::Horizontal).toString(), QStringLiteral("Filename"));
  EXPECT_EQ(model.headerData(1, Qt::Horizontal).toString(), QStringLiteral("Path"));
  EXPECT_EQ(model.index(3, 1).data().toString(), QStringLiteral("/q"));
}

// ---------------------------------------------------------------------------
// Removing entries

TEST(RenameListCommands, ClearSelectedRemovesOnlyTheTopmostSelectedEntryEachTime) {
  TestWindow t;
  TfrmMain& w = t.Open();
  for (const char* name : {"e0", "e1", "e2", "e3", "e4"}) w.renameList().AddToRenameList(name, "/f");
  SelectRows(Find<QTreeView>(w, "lviFiles"), {4, 1, 2});
  ASSERT_EQ(w.renameList().KeepRenameList(), 0);

  Invoke(Find<QAction>(w, "mnuClearSelected"));  // the menu item (Del)
  EXPECT_EQ(Names(w.renameList().RenameListEntries()), (std::vector<std::string>{"e0", "e2", "e3", "e4"}));
  EXPECT_EQ(w.renameList().KeepRenameList(), 1);

  w.renameList().SetKeepRenameList(0);
  Find<QAction>(w, "mnuClearSelected2")->trigger();  // the popup's "&Clear"
  EXPECT_EQ(Names(w.renameList().RenameListEntries()), (std::vector<std::string>{"e0", "e3", "e4"}));
  EXPECT_EQ(w.renameList().KeepRenameList(), 1);

  Invoke(Find<QAction>(w, "mnuClearSelected"));
  EXPECT_EQ(Names(w.renameList().RenameListEntries()), (std::vector<std::string>{"e0", "e3"}));

  // Nothing selected any more: nothing removed, the flag is still set.
  w.renameList().SetKeepRenameList(0);
  Invoke(Find<QAction>(w, "mnuClearSelected"));
  EXPECT_EQ(Names(w.renameList().RenameListEntries()), (std::vector<std::string>{"e0", "e3"}));
  EXPECT_EQ(w.renameList().KeepRenameList(), 1);
}

TEST(RenameListCommands, RemoveFirstSelectedItemWorksOnAnyListView) {
  QStandardItemModel model;
  for (const char* text : {"r0", "r1", "r2", "r3"}) model.appendRow(new QStandardItem(QString::fromLatin1(text)));
  QTreeView view;
  view.setModel(&model);
  view.setSelectionMode(QAbstractItemView::ExtendedSelection);

  RemoveFirstSelectedItem(&view);  // nothing selected
  EXPECT_EQ(model.rowCount(), 4);
  SelectRows(&view, {3, 2});
  RemoveFirstSelectedItem(&view);
  ASSERT_EQ(model.rowCount(), 3);
  EXPECT_EQ(model.item(2)->text(), QStringLiteral("r3"));
  RemoveFirstSelectedItem(&view);
  ASSERT_EQ(model.rowCount(), 2);
  EXPECT_EQ(model.item(1)->text(), QStringLiteral("r1"));
}

TEST(RenameListCommands, FolderNameAddsNameAndParentWithItsDelimiter) {
  TestWindow t;
  TfrmMain& w = t.Open();
  t.files.MakeFolder("music/live");
  const std::string base = t.files.path();
  const struct {
    std::string folder;
    int flagBefore;
    Entries expected;
    int flagAfter;
  } cases[] = {
      {"/", 0, {}, 0},
      {"/", 1, {}, 1},
      {base + "/music/live/", 0, {{"live", base + "/music/"}}, 1},
      {base + "/music/", 0, {{"music", base + "/"}}, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.folder);
    w.renameList().mnuClearClick();
    w.fileView().ListFiles(c.folder);
    ASSERT_EQ(w.fileView().CurrentFolder(), c.folder);
    w.renameList().SetKeepRenameList(c.flagBefore);
    Invoke(Find<QAction>(w, "mnuFolderName"));
    EXPECT_EQ(w.renameList().RenameListEntries(), c.expected);
    EXPECT_EQ(w.renameList().KeepRenameList(), c.flagAfter);
    Invoke(Find<QAction>(w, "mnuFolderName"));  // twice: still one entry
    EXPECT_EQ(w.renameList().RenameListEntries(), c.expected);
  }
}

// ---------------------------------------------------------------------------
// Recursive search

TEST(RenameListRecursive, FindsFilesBeforeSubfoldersDepthFirstWithTheLinuxSkips) {
  TestWindow t;
  TfrmMain& w = t.Open();
  MakeSearchTree(t.files);
  const std::string root = t.files.path();
  const struct {
    QString pattern;
    std::vector<std::string> expected;  // as a set; the order is checked below
  } cases[] = {
      {QStringLiteral("*"),
       {"a.txt", "b.txt", "notes.md", ".hidden.txt", "link.txt", "c.txt", "\xFC.txt", "d.txt", "e.md"}},
      {QString(),
       {"a.txt", "b.txt", "notes.md", ".hidden.txt", "link.txt", "c.txt", "\xFC.txt", "d.txt", "e.md"}},
      // Matches no folder name, yet every subfolder is searched.
      {QStringLiteral("*.txt"), {"a.txt", "b.txt", ".hidden.txt", "link.txt", "c.txt", "\xFC.txt", "d.txt"}},
      {QStringLiteral("*.md"), {"notes.md", "e.md"}},
      {QStringLiteral("nothing*"), {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.pattern.toStdString());
    w.renameList().mnuClearClick();
    StartSearch(w, root, c.pattern);
    EXPECT_TRUE(w.StatusText().startsWith(QStringLiteral("Searching ")));
    ASSERT_TRUE(WaitForSearchEnd(w));
    EXPECT_EQ(w.StatusText(), QStringLiteral("Ready."));
    EXPECT_EQ(w.renameList().KeepRenameList(), 1);
    EXPECT_TRUE(Find<QGroupBox>(w, "grpLoading")->isHidden());
    EXPECT_TRUE(Find<QPushButton>(w, "cmdCancel")->isHidden());

    const Entries& found = w.renameList().RenameListEntries();
    // Exactly the core's order, entry by entry.
    EXPECT_EQ(found, CoreOrder(root + "/", c.pattern.toStdString()));
    std::vector<std::string> names = Names(found), expected = c.expected;
    std::sort(names.begin(), names.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(names, expected);

    // Files before subfolders, each folder's files in one run, depth first.
    std::vector<std::string> runs;
    for (const RenameListEntry& entry : found)
      if (runs.empty() || runs.back() != entry.path) runs.push_back(entry.path);
    const auto sub = std::find(runs.begin(), runs.end(), root + "/sub");
    EXPECT_LE(std::count(runs.begin(), runs.end(), root), 1);
    if (!found.empty()) {
      EXPECT_EQ(runs.front(), root);
    }
    if (sub != runs.end() && sub + 1 != runs.end()) {
      EXPECT_EQ(*(sub + 1), root + "/sub/deeper");
    }
  }
}

TEST(RenameListRecursive, LocksTheWindowWhileRunningAndRestoresEveryState) {
  TestWindow t;
  TfrmMain& w = t.Open();
  MakeSearchTree(t.files);
  w.renameList().mnuAddClick();  // empty list: "C&lear selected" and "&Clear all" disabled
  ASSERT_FALSE(Find<QAction>(w, "mnuClear")->isEnabled());
  ASSERT_FALSE(Find<QAction>(w, "mnuClearSelected")->isEnabled());

  w.fileView().ListFiles(t.files.path() + "/");
  Invoke(Find<QAction>(w, "mnuAllFilesRecursive"));
  EXPECT_EQ(w.StatusText(), FromBytes("Searching " + t.files.path() + "/..."));
  w.renameList().tmrRecursiveTimer();  // the timer's work, at once
  ASSERT_TRUE(Find<RecursiveSearch>(w, "recursiveSearch")->IsRunning());
  for (QAction* item : {Find<QMenu>(w, "mnuAdd")->menuAction(), Find<QMenu>(w, "mnuRename")->menuAction(), Find<QMenu>(w, "mnuOptions")->menuAction(),
                        Find<QAction>(w, "mnuAllFiles"), Find<QAction>(w, "mnuSelectedFiles"), Find<QAction>(w, "mnuAllFilesRecursive"), Find<QAction>(w, "mnuRefresh"), Find<QAction>(w, "mnuRename_1")})
    EXPECT_FALSE(item->isEnabled()) << item->objectName().toStdString();
  for (QWidget* pane : std::initializer_list<QWidget*>{Find<QTreeView>(w, "lviFiles"), Find<QTreeView>(w, "lstvwLocal"), Find<QTreeWidget>(w, "trvwLocal"), Find<QLineEdit>(w, "txtPattern"),
                                                       Find<QComboBox>(w, "cboPath"), Find<QPushButton>(w, "cmdUp"), Find<QGroupBox>(w, "grpRename_0")})
    EXPECT_FALSE(pane->isEnabled()) << pane->objectName().toStdString();
  EXPECT_FALSE(Find<QPushButton>(w, "cmdCancel")->isHidden());
  EXPECT_TRUE(Find<QPushButton>(w, "cmdCancel")->isEnabled());
  EXPECT_FALSE(Find<QGroupBox>(w, "grpLoading")->isHidden());
  // Commands from elsewhere do nothing meanwhile.
  QSignalSpy allFiles(Find<QAction>(w, "mnuAllFiles"), &QAction::triggered);
  Invoke(Find<QAction>(w, "mnuAllFiles"));
  EXPECT_EQ(allFiles.count(), 0);

  ASSERT_TRUE(WaitForSearchEnd(w));
  for (QAction* item : {Find<QMenu>(w, "mnuAdd")->menuAction(), Find<QMenu>(w, "mnuRename")->menuAction(), Find<QMenu>(w, "mnuOptions")->menuAction(),
                        Find<QAction>(w, "mnuAllFiles"), Find<QAction>(w, "mnuAllFilesRecursive"), Find<QAction>(w, "mnuRefresh"), Find<QAction>(w, "mnuRename_1")})
    EXPECT_TRUE(item->isEnabled()) << item->objectName().toStdString();
  for (QWidget* pane : std::initializer_list<QWidget*>{Find<QTreeView>(w, "lviFiles"), Find<QTreeView>(w, "lstvwLocal"), Find<QTreeWidget>(w, "trvwLocal"), Find<QLineEdit>(w, "txtPattern"),
                                                       Find<QComboBox>(w, "cboPath"), Find<QPushButton>(w, "cmdUp"), Find<QGroupBox>(w, "grpRename_0")})
    EXPECT_TRUE(pane->isEnabled()) << pane->objectName().toStdString();
  // The Add menu's own states, set when it last opened, are back as they were.
  EXPECT_FALSE(Find<QAction>(w, "mnuSelectedFiles")->isEnabled());
  EXPECT_FALSE(Find<QAction>(w, "mnuClear")->isEnabled());
  EXPECT_FALSE(Find<QAction>(w, "mnuClearSelected")->isEnabled());
  EXPECT_TRUE(Find<QPushButton>(w, "cmdCancel")->isHidden());
  EXPECT_TRUE(Find<QGroupBox>(w, "grpLoading")->isHidden());
  EXPECT_EQ(w.renameList().RenameListEntries().size(), 9u);
  EXPECT_TRUE(Find<QLabel>(w, "lblLoading")->text().endsWith(QStringLiteral("9 files found")));
}

TEST(RenameListRecursive, CancelBeforeTheFirstFileKeepsJustThatFile) {
  TestWindow t;
  TfrmMain& w = t.Open();
  MakeSearchTree(t.files);
  const Entries full = CoreOrder(t.files.path() + "/", "*");
  w.renameList().SetKeepRenameList(0);
  StartSearch(w, t.files.path(), QStringLiteral("*"));
  ASSERT_FALSE(Find<QPushButton>(w, "cmdCancel")->isHidden());
  Find<QPushButton>(w, "cmdCancel")->click();
  ASSERT_TRUE(WaitForSearchEnd(w));

  ASSERT_EQ(w.renameList().RenameListEntries().size(), 1u);
  EXPECT_TRUE(IsPrefix(w.renameList().RenameListEntries(), full));
  EXPECT_EQ(w.renameList().KeepRenameList(), 1);
  EXPECT_EQ(w.StatusText(), QStringLiteral("Ready."));
  EXPECT_TRUE(Find<QPushButton>(w, "cmdCancel")->isHidden());
  EXPECT_TRUE(Find<QTreeView>(w, "lviFiles")->isEnabled());
  EXPECT_TRUE(Find<QLabel>(w, "lblLoading")->text().endsWith(QStringLiteral("1 file found")));
}

TEST(RenameListRecursive, CancelWhileRunningKeepsWhatWasFoundInOrder) {
  TestWindow t;
  TfrmMain& w = t.Open();
  for (int folder = 0; folder < 40; ++folder)
    for (int file = 0; file < 100; ++file)
      t.files.WriteFile(TreeFile("f", folder, "n", file));
  const Entries full = CoreOrder(t.files.path() + "/", "*");
  ASSERT_EQ(full.size(), 4000u);

  StartSearch(w, t.files.path(), QStringLiteral("*"));
  ASSERT_TRUE(WaitFor([&] { return !w.renameList().RenameListEntries().empty() || !Find<RecursiveSearch>(w, "recursiveSearch")->IsRunning(); }));
  w.cmdCancelClick();
  ASSERT_TRUE(WaitForSearchEnd(w));
  EXPECT_TRUE(IsPrefix(w.renameList().RenameListEntries(), full));
  EXPECT_FALSE(w.renameList().RenameListEntries().empty());
  EXPECT_EQ(w.renameList().KeepRenameList(), 1);
  EXPECT_EQ(w.StatusText(), QStringLiteral("Ready."));
  EXPECT_FALSE(w.CancelRequested());

  // A new search after a cancelled one runs to its end and adds the rest.
  StartSearch(w, t.files.path(), QStringLiteral("*"));
  ASSERT_TRUE(WaitForSearchEnd(w));
  EXPECT_EQ(w.renameList().RenameListEntries().size(), full.size());
}

TEST(RenameListRecursive, SymbolicLinkLoopsEnd) {
  TestWindow t;
  TfrmMain& w = t.Open();
  t.files.WriteFile("top/f");
  t.files.WriteFile("top/a/g");
  MakeSymlink("..", t.files / "top/a/up");
  MakeSymlink(t.files / "top", t.files / "top/a/abs");
  MakeSymlink(".", t.files / "top/self");
  StartSearch(w, t.files / "top", QStringLiteral("*"));
  ASSERT_TRUE(WaitForSearchEnd(w));
  EXPECT_EQ(w.renameList().RenameListEntries(), (Entries{{"f", t.files / "top"}, {"g", t.files / "top/a"}}));
}

TEST(RenameListRecursive, ClosingTheWindowStopsTheSearch) {
  TempDir tree;
  for (int folder = 0; folder < 20; ++folder)
    for (int file = 0; file < 100; ++file) tree.WriteFile(TreeFile("d", folder, "x", file));
  const Entries full = CoreOrder(tree.path() + "/", "*");
  {
    TestWindow t;
    TfrmMain& w = t.Open();
    w.show();
    StartSearch(w, tree.path(), QStringLiteral("*"));
    w.renameList().tmrRecursiveTimer();
    ASSERT_TRUE(Find<RecursiveSearch>(w, "recursiveSearch")->IsRunning());
    t.Close();
    ASSERT_TRUE(WaitForSearchEnd(w));
    EXPECT_TRUE(IsPrefix(w.renameList().RenameListEntries(), full));
    EXPECT_TRUE(t.home.Exists(".Quillon.ini"));  // the close ran its shut-down
  }
  {
    // Destroyed while the worker runs: the worker is stopped and joined.
    TestWindow t;
    TfrmMain& w = t.Open();
    StartSearch(w, tree.path(), QStringLiteral("*"));
    w.renameList().tmrRecursiveTimer();
    EXPECT_TRUE(Find<RecursiveSearch>(w, "recursiveSearch")->IsRunning());
  }
}

// A search stopped in 65,000 folders without files (in /dev/shm, quick to
// make) ends at the next folder: its worker is joined, not left walking on.
TEST(RenameListRecursive, AStopEndsAWalkThroughFoldersWithoutFiles) {
  std::string tree = "/dev/shm/quillon-walk-XXXXXX";
  if (!::mkdtemp(tree.data())) GTEST_SKIP() << "no /dev/shm";
  for (int i = 0; i < 65000; ++i) ::mkdir((tree + "/" + std::to_string(i)).c_str(), 0700);
  const auto threads = [] {
    return std::distance(std::filesystem::directory_iterator("/proc/self/task"), std::filesystem::directory_iterator());
  };
  {
    RecursiveSearch search;
    bool finished = false, stopped = false;
    search.SetHandlers([](std::vector<RenameListEntry>&, const RecursiveSearch::Progress&) {},
                       [&](bool wasStopped) { finished = true, stopped = wasStopped; });
    const auto before = threads();
    ASSERT_TRUE(search.Start(tree, "*"));
    search.RequestStop();
    EXPECT_TRUE(WaitFor([&] { return finished; }));
    EXPECT_TRUE(stopped);
    EXPECT_EQ(threads(), before);
  }
  std::filesystem::remove_all(tree);
}

// ---------------------------------------------------------------------------
// The Add menu, drags and the popup

TEST(RenameListMenu, DisabledItemsIgnoreShortcutsButNotThePopup) {
  TestWindow t;
  TfrmMain& w = t.Open();
  w.show();
  QApplication::setActiveWindow(&w);
  ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
  emit Find<QMenu>(w, "mnuAdd")->aboutToShow();  // empty list, no file selected
  EXPECT_FALSE(Find<QAction>(w, "mnuSelectedFiles")->isEnabled());
  EXPECT_FALSE(Find<QAction>(w, "mnuClearSelected")->isEnabled());
  EXPECT_FALSE(Find<QAction>(w, "mnuClear")->isEnabled());
  for (QAction* item : {Find<QAction>(w, "mnuAllFiles"), Find<QAction>(w, "mnuFolderName"), Find<QAction>(w, "mnuAllFilesRecursive"), Find<QAction>(w, "mnuClearSelected2"),
                        Find<QAction>(w, "mnuClearAll2"), Find<QAction>(w, "mnuAddFile2")})
    EXPECT_TRUE(item->isEnabled());
  for (const char* name : {"a", "b", "c"}) w.renameList().AddToRenameList(name, "/f");
  EXPECT_FALSE(Find<QAction>(w, "mnuClear")->isEnabled());  // unchanged until the menu opens again
  SelectRows(Find<QTreeView>(w, "lviFiles"), {0, 2});
  Find<QTreeView>(w, "lviFiles")->setFocus();
  QTest::keyClick(Find<QTreeView>(w, "lviFiles"), Qt::Key_Delete);
  EXPECT_EQ(w.renameList().RenameListEntries().size(), 3u);
  QTest::keyClick(Find<QTreeView>(w, "lviFiles"), Qt::Key_Delete, Qt::ShiftModifier);
  EXPECT_EQ(w.renameList().RenameListEntries().size(), 3u);
  Find<QAction>(w, "mnuClearSelected2")->trigger();
  EXPECT_EQ(Names(w.renameList().RenameListEntries()), (std::vector<std::string>{"b", "c"}));

  emit Find<QMenu>(w, "mnuAdd")->aboutToShow();
  EXPECT_TRUE(Find<QAction>(w, "mnuClearSelected")->isEnabled());
  EXPECT_TRUE(Find<QAction>(w, "mnuClear")->isEnabled());
  QTest::keyClick(Find<QTreeView>(w, "lviFiles"), Qt::Key_Delete);
  EXPECT_EQ(Names(w.renameList().RenameListEntries()), (std::vector<std::string>{"b"}));
  QTest::keyClick(Find<QTreeView>(w, "lviFiles"), Qt::Key_Delete, Qt::ShiftModifier);
  EXPECT_TRUE(w.renameList().RenameListEntries().empty());
}

TEST(RenameListMenu, PopupOpensOnTheFirstRightClickOverAnEntry) {
  TestWindow t;
  TfrmMain& w = t.Open();
  w.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  for (const char* name : {"a", "b"}) w.renameList().AddToRenameList(name, "/f");
  QWidget* viewport = Find<QTreeView>(w, "lviFiles")->viewport();
  QMenu* popup = Find<QMenu>(w, "mnuPopUpFiles");
  const QPoint onEntry = Find<QTreeView>(w, "lviFiles")->visualRect(Find<QTreeView>(w, "lviFiles")->model()->index(1, 0)).center();
  const QPoint below(onEntry.x(), viewport->height() - 3);
  ASSERT_FALSE(Find<QTreeView>(w, "lviFiles")->indexAt(below).isValid());

  // Nothing selected: the press selects the entry, and the popup opens.
  QTest::mousePress(viewport, Qt::RightButton, {}, onEntry);
  EXPECT_TRUE(QTest::qWaitFor([&] { return popup->isVisible(); }, 2000));
  EXPECT_EQ(Find<QTreeView>(w, "lviFiles")->selectionModel()->selectedRows().size(), 1);
  popup->close();
  QTest::mouseRelease(viewport, Qt::RightButton, {}, onEntry);

  SelectRows(Find<QTreeView>(w, "lviFiles"), {0});
  QTest::mousePress(viewport, Qt::RightButton, {}, below);  // empty area
  QCoreApplication::processEvents();
  EXPECT_FALSE(popup->isVisible());
  QTest::mouseRelease(viewport, Qt::RightButton, {}, below);

  SelectRows(Find<QTreeView>(w, "lviFiles"), {0});
  QTest::mousePress(viewport, Qt::LeftButton, {}, onEntry);  // other buttons
  QCoreApplication::processEvents();
  EXPECT_FALSE(popup->isVisible());
  QTest::mouseRelease(viewport, Qt::LeftButton, {}, onEntry);
}

// ---------------------------------------------------------------------------
// Adding from the file view

namespace {

// Lists `folder` of t.files in the file view with the pattern "*".
void ShowFolder(TestWindow& t, const std::string& relative) {
  Find<QLineEdit>(t.window(), "txtPattern")->setText(QStringLiteral("*"));
  t->fileView().ListFiles(relative.empty() ? t.files.path() + "/" : t.files / relative + "/");
}

}  // namespace

TEST(RenameListFromFileView, TheSameSelectionAddedTwiceAddsNothingNewButSetsTheFlag) {
  TestWindow t;
  TfrmMain& w = t.Open();
  for (const char* name : {"a.txt", "b.txt", "c.txt", "\xFC.txt"}) t.files.WriteFile(name);
  ShowFolder(t, "");
  const std::vector<std::string> rows = FileViewNames(w);
  ASSERT_EQ(rows.size(), 4u);
  SelectRows(Find<QTreeView>(w, "lstvwLocal"), {3, 0, 2});

  Invoke(Find<QAction>(w, "mnuSelectedFiles"));
  const Entries expected{{rows[0], t.files.path()}, {rows[2], t.files.path()}, {rows[3], t.files.path()}};
  EXPECT_EQ(w.renameList().RenameListEntries(), expected);
  EXPECT_EQ(w.renameList().KeepRenameList(), 1);

  w.renameList().SetKeepRenameList(0);
  Invoke(Find<QAction>(w, "mnuSelectedFiles"));
  EXPECT_EQ(w.renameList().RenameListEntries(), expected);
  EXPECT_EQ(w.renameList().KeepRenameList(), 1);

  // Nothing selected: nothing added and the flag untouched.
  w.renameList().SetKeepRenameList(0);
  Find<QTreeView>(w, "lstvwLocal")->selectionModel()->clearSelection();
  Invoke(Find<QAction>(w, "mnuSelectedFiles"));
  EXPECT_EQ(w.renameList().RenameListEntries(), expected);
  EXPECT_EQ(w.renameList().KeepRenameList(), 0);
}

TEST(RenameListFromFileView, AllFilesTakesEveryRowInViewOrder) {
  TestWindow t;
  TfrmMain& w = t.Open();
  for (const char* name : {"z.txt", "m.txt", "a.md", "sub/inner.txt"}) t.files.WriteFile(name);
  ShowFolder(t, "");
  SelectRows(Find<QTreeView>(w, "lstvwLocal"), {1});
  w.renameList().AddToRenameList("m.txt", t.files.path());  // already listed: stays where it is

  Invoke(Find<QAction>(w, "mnuAllFiles"));
  Entries expected{{"m.txt", t.files.path()}};
  for (const std::string& name : FileViewNames(w))
    if (name != "m.txt") expected.push_back({name, t.files.path()});
  EXPECT_EQ(w.renameList().RenameListEntries(), expected);
  EXPECT_EQ(w.renameList().RenameListEntries().size(), 3u);  // folders are never rows
  EXPECT_EQ(w.renameList().KeepRenameList(), 1);

  // An empty file view: nothing, and the flag untouched.
  w.renameList().mnuClearClick();
  Find<QLineEdit>(w, "txtPattern")->setText(QStringLiteral("nothing*"));
  ASSERT_EQ(w.fileView().FileViewRowCount(), 0);
  Invoke(Find<QAction>(w, "mnuAllFiles"));
  EXPECT_TRUE(w.renameList().RenameListEntries().empty());
  EXPECT_EQ(w.renameList().KeepRenameList(), 0);
}

TEST(RenameListFromFileView, FilesOfTheRootGetAnEmptyPath) {
  TestWindow t;
  TfrmMain& w = t.Open();
  Find<QLineEdit>(w, "txtPattern")->setText(QStringLiteral("*"));
  w.fileView().ListFiles("/");
  if (w.fileView().FileViewRowCount() == 0) GTEST_SKIP() << "the root folder holds no file here";
  SelectRows(Find<QTreeView>(w, "lstvwLocal"), {0});
  Invoke(Find<QAction>(w, "mnuSelectedFiles"));
  EXPECT_EQ(w.renameList().RenameListEntries(), (Entries{{w.fileView().FileViewName(0), ""}}));
  Invoke(Find<QAction>(w, "mnuAllFiles"));
  ASSERT_EQ(int(w.renameList().RenameListEntries().size()), w.fileView().FileViewRowCount());
  for (const RenameListEntry& entry : w.renameList().RenameListEntries()) EXPECT_EQ(entry.path, "");
  EXPECT_EQ(Paths::Join(w.renameList().RenameListEntries()[0].path, w.renameList().RenameListEntries()[0].filename),
            "/" + w.fileView().FileViewName(0));
}

TEST(RenameListFromFileView, DragsThePopupAndTheDoubleClickAddWhateverTheAddMenuShowed) {
  TestWindow t;
  TfrmMain& w = t.Open();
  w.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  for (const char* name : {"a.txt", "b.txt", "c.txt"}) t.files.WriteFile(name);
  ShowFolder(t, "");
  const std::vector<std::string> rows = FileViewNames(w);
  QMimeData mime;  // rows of the program's own file view
  mime.setData(QString::fromLatin1(FileViewModel::kMimeType), QByteArray("x"));
  auto dragOver = [&] {
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(Find<QTreeView>(w, "lviFiles")->viewport(), &enter);
    QDragMoveEvent move(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(Find<QTreeView>(w, "lviFiles")->viewport(), &move);
    // Taken as a copy, so that a drag never moves entries away by itself.
    return enter.isAccepted() && move.isAccepted() && move.dropAction() == Qt::CopyAction;
  };

  emit Find<QMenu>(w, "mnuAdd")->aboutToShow();  // no file selected: "&Selected files" off
  ASSERT_FALSE(Find<QAction>(w, "mnuSelectedFiles")->isEnabled());
  SelectRows(Find<QTreeView>(w, "lstvwLocal"), {1});
  EXPECT_TRUE(dragOver());
  EXPECT_EQ(w.renameList().RenameListEntries(), (Entries{{rows[1], t.files.path()}})) << "a drag adds all the same";

  Find<QAction>(w, "mnuAddFile2")->trigger();  // the file view's popup "&Add": already there
  EXPECT_EQ(w.renameList().RenameListEntries(), (Entries{{rows[1], t.files.path()}}));

  const QRect cell = Find<QTreeView>(w, "lstvwLocal")->visualRect(Find<QTreeView>(w, "lstvwLocal")->model()->index(2, 0));
  // A double-click as the system delivers it: press, release, double-click.
  QTest::mouseClick(Find<QTreeView>(w, "lstvwLocal")->viewport(), Qt::LeftButton, {}, cell.center());
  QTest::mouseDClick(Find<QTreeView>(w, "lstvwLocal")->viewport(), Qt::LeftButton, {}, cell.center());
  EXPECT_EQ(w.renameList().RenameListEntries(), (Entries{{rows[1], t.files.path()}, {rows[2], t.files.path()}}));

  SelectRows(Find<QTreeView>(w, "lstvwLocal"), {0});
  emit Find<QMenu>(w, "mnuAdd")->aboutToShow();  // now with a selection: on
  EXPECT_TRUE(dragOver());
  EXPECT_EQ(w.renameList().RenameListEntries().size(), 3u);
  EXPECT_EQ(w.renameList().RenameListEntries().back(), (RenameListEntry{rows[0], t.files.path()}));
  EXPECT_TRUE(dragOver());  // every further drag-over event adds nothing new
  EXPECT_EQ(w.renameList().RenameListEntries().size(), 3u);
}
