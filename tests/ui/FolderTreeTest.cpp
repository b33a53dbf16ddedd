#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTreeView>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

#include "browser/FileViewModel.h"
#include "browser/TreeFolderData.h"
#include "ui/UiTestSupport.h"
#include "browser/FileView.h"
#include "browser/FolderTree.h"

// Readable failure messages.
inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

namespace {

// A window whose tree starts at the test's own folder.
TfrmMain& OpenAt(TestWindow& t, const std::string& folder) {
  t.WriteSettings("[Options]\nLastDir=" + folder + "\n");
  return t.Open();
}

QStringList ChildTexts(const QTreeWidgetItem* node) {
  QStringList texts;
  for (int i = 0; i < node->childCount(); ++i) texts << node->child(i)->text(0);
  return texts;
}

QTreeWidgetItem* Child(QTreeWidgetItem* node, const QString& text) {
  for (int i = 0; i < node->childCount(); ++i)
    if (node->child(i)->text(0) == text) return node->child(i);
  return nullptr;
}

QStringList History(TfrmMain& w) {
  QStringList entries;
  for (int i = 0; i < Find<QComboBox>(w, "cboPath")->count(); ++i) entries << Find<QComboBox>(w, "cboPath")->itemText(i);
  return entries;
}

QStringList Rows(TfrmMain& w) {
  QStringList rows;
  for (int row = 0; row < w.fileView().FileViewRowCount(); ++row) rows << FromBytes(w.fileView().FileViewName(row));
  return rows;
}

void TypePath(TfrmMain& w, const std::string& path) { Find<QComboBox>(w, "cboPath")->setCurrentText(FromBytes(path)); }

void PressKey(QWidget* target, int key, Qt::KeyboardModifiers modifiers, const QString& text) {
  QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
  QApplication::sendEvent(target, &press);
  QKeyEvent release(QEvent::KeyRelease, key, modifiers, text);
  QApplication::sendEvent(target, &release);
}

}  // namespace

TEST(FolderTreeFill, TheTopNodeShowsOneLevelOfFoldersSortedWithExpandButtonsWhereNeeded) {
  TestWindow t;
  const std::string root = t.files.path();
  t.files.MakeFolder("beta/inner");
  t.files.MakeFolder("alpha");
  t.files.MakeFolder(".hidden");
  t.files.MakeFolder("Zeta/deep/deeper");
  t.files.WriteFile("file.txt", "x");
  std::filesystem::create_directory_symlink(root + "/Zeta", root + "/link");
  std::filesystem::create_symlink(root + "/file.txt", root + "/filelink");
  std::filesystem::create_symlink(root + "/nowhere", root + "/dangling");

  TfrmMain& w = OpenAt(t, root);
  ASSERT_EQ(Find<QTreeWidget>(w, "trvwLocal")->topLevelItemCount(), 1);
  QTreeWidgetItem* top = Find<QTreeWidget>(w, "trvwLocal")->topLevelItem(0);
  EXPECT_EQ(top->text(0), FromBytes(root));
  ASSERT_NE(FolderData(top), nullptr);
  EXPECT_EQ(FolderData(top)->Path, root);
  EXPECT_TRUE(FolderData(top)->Loaded);
  EXPECT_TRUE(top->isExpanded());
  EXPECT_EQ(NodeImage(top), 1);

  // Files, links to files, dangling links, "." and ".." are no nodes; hidden
  // folders and links to folders are.
  EXPECT_EQ(ChildTexts(top), (QStringList{".hidden", "Zeta", "alpha", "beta", "link"}));

  const struct {
    const char* name;
    bool hasSubfolders;
  } nodes[] = {{".hidden", false}, {"Zeta", true}, {"alpha", false}, {"beta", true}, {"link", true}};
  for (const auto& n : nodes) {
    SCOPED_TRACE(n.name);
    QTreeWidgetItem* node = Child(top, QString::fromLatin1(n.name));
    ASSERT_NE(node, nullptr);
    const TTreeFolderData* data = FolderData(node);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(data->Path, root + "/" + n.name);
    EXPECT_EQ(data->HasSubfolders, n.hasSubfolders);
    EXPECT_FALSE(data->Loaded);
    EXPECT_EQ(NodeImage(node), 0);
    EXPECT_FALSE(node->isExpanded());
    ASSERT_EQ(node->childCount(), n.hasSubfolders ? 1 : 0) << "a placeholder gives the expand button";
    if (n.hasSubfolders) {
      EXPECT_EQ(node->child(0)->text(0), QString());
      EXPECT_EQ(FolderData(node->child(0)), nullptr);
      EXPECT_EQ(node->child(0)->childCount(), 0) << "deeper levels are not read";
    }
  }
}

TEST(FolderTreeFill, ExpandingReadsOnceInOneInsertionAndCollapsingOnlySwapsTheImage) {
  TestWindow t;
  const std::string root = t.files.path();
  t.files.MakeFolder("music/rock/live");
  t.files.MakeFolder("music/jazz");
  t.files.MakeFolder("music/blues");
  TfrmMain& w = OpenAt(t, root);
  QTreeWidgetItem* music = Child(Find<QTreeWidget>(w, "trvwLocal")->topLevelItem(0), QStringLiteral("music"));
  ASSERT_NE(music, nullptr);

  QSignalSpy inserted(Find<QTreeWidget>(w, "trvwLocal")->model(), &QAbstractItemModel::rowsInserted);
  music->setExpanded(true);
  EXPECT_EQ(ChildTexts(music), (QStringList{"blues", "jazz", "rock"}));
  EXPECT_EQ(inserted.count(), 1) << "the subfolders arrive in one insertion";
  EXPECT_TRUE(FolderData(music)->Loaded);
  EXPECT_EQ(NodeImage(music), 1);
  QTreeWidgetItem* rock = Child(music, QStringLiteral("rock"));
  ASSERT_NE(rock, nullptr);
  EXPECT_EQ(rock->childCount(), 1);
  EXPECT_EQ(FolderData(rock)->Path, root + "/music/rock");

  // A folder made after the first expansion stays unseen until a rebuild.
  t.files.MakeFolder("music/ambient");
  music->setExpanded(false);
  EXPECT_EQ(NodeImage(music), 0);
  EXPECT_EQ(music->childCount(), 3);
  music->setExpanded(true);
  EXPECT_EQ(NodeImage(music), 1);
  EXPECT_EQ(ChildTexts(music), (QStringList{"blues", "jazz", "rock"}));
  EXPECT_EQ(w.StatusText(), QStringLiteral("Ready."));

  // Going to the root again rebuilds the tree, which then reads it.
  Find<QTreeWidget>(w, "trvwLocal")->setCurrentItem(music);
  EXPECT_EQ(w.fileView().CurrentFolder(), root + "/music/");
  TypePath(w, root + "/");
  w.folderTree().cmdUpClick();
  music = Child(Find<QTreeWidget>(w, "trvwLocal")->topLevelItem(0), QStringLiteral("music"));
  ASSERT_NE(music, nullptr);
  music->setExpanded(true);
  EXPECT_EQ(ChildTexts(music), (QStringList{"ambient", "blues", "jazz", "rock"}));
}

TEST(FolderTreeFill, AVanishedFolderExpandsToNothingAndListsNothing) {
  TestWindow t;
  const std::string root = t.files.path();
  t.files.MakeFolder("gone/sub");
  t.files.WriteFile("gone/file.txt");
  TfrmMain& w = OpenAt(t, root);
  QTreeWidgetItem* gone = Child(Find<QTreeWidget>(w, "trvwLocal")->topLevelItem(0), QStringLiteral("gone"));
  ASSERT_NE(gone, nullptr);
  ASSERT_EQ(gone->childCount(), 1);
  std::filesystem::remove_all(root + "/gone");

  gone->setExpanded(true);
  EXPECT_EQ(gone->childCount(), 0);
  Find<QTreeWidget>(w, "trvwLocal")->setCurrentItem(gone);
  EXPECT_EQ(w.fileView().CurrentFolder(), root + "/gone/");
  EXPECT_EQ(Find<QComboBox>(w, "cboPath")->currentText(), FromBytes(root + "/gone/"));
  EXPECT_EQ(w.fileView().FileViewRowCount(), 0);
  EXPECT_EQ(t.dialogs.count(), 0);
}

TEST(FolderTreeSelect, SelectingANodeListsItsFolderButKeepsTheRoot) {
  TestWindow t;
  const std::string root = t.files.path();
  t.files.WriteFile("docs/a.txt");
  t.files.WriteFile("docs/b.txt");
  t.files.MakeFolder("docs/old");
  TfrmMain& w = OpenAt(t, root);
  QTreeWidgetItem* docs = Child(Find<QTreeWidget>(w, "trvwLocal")->topLevelItem(0), QStringLiteral("docs"));
  Find<QTreeWidget>(w, "trvwLocal")->setCurrentItem(docs);
  EXPECT_EQ(w.fileView().CurrentFolder(), root + "/docs/");
  EXPECT_EQ(w.folderTree().RootFolder(), root);
  EXPECT_EQ(Find<QComboBox>(w, "cboPath")->currentText(), FromBytes(root + "/docs/"));
  EXPECT_EQ(Rows(w), (QStringList{"a.txt", "b.txt"}));
  EXPECT_EQ(Find<QTreeWidget>(w, "trvwLocal")->topLevelItem(0)->text(0), FromBytes(root));
  EXPECT_EQ(History(w).last(), FromBytes(root + "/docs"));

  // "..." with the box unchanged now goes to the parent of the selected folder.
  w.folderTree().cmdUpClick();
  EXPECT_EQ(w.fileView().CurrentFolder(), root + "/");
  EXPECT_EQ(w.folderTree().RootFolder(), root + "/");
  EXPECT_EQ(Find<QTreeWidget>(w, "trvwLocal")->topLevelItem(0)->text(0), FromBytes(root + "/"));
}

TEST(PathBoxUp, EachPressGoesOneLevelUpAndTheRootStays) {
  TestWindow t;
  const std::string root = t.files.path();
  t.files.MakeFolder("a/b");
  TfrmMain& w = OpenAt(t, root + "/a/b/");
  EXPECT_EQ(w.fileView().CurrentFolder(), root + "/a/b/");

  Find<QPushButton>(w, "cmdUp")->click();
  EXPECT_EQ(w.fileView().CurrentFolder(), root + "/a/");
  EXPECT_EQ(w.folderTree().RootFolder(), root + "/a/");
  EXPECT_EQ(Find<QComboBox>(w, "cboPath")->currentText(), FromBytes(root + "/a/"));
  EXPECT_EQ(Find<QTreeWidget>(w, "trvwLocal")->topLevelItem(0)->text(0), FromBytes(root + "/a/"));
  EXPECT_EQ(ChildTexts(Find<QTreeWidget>(w, "trvwLocal")->topLevelItem(0)), QStringList{"b"});
  EXPECT_FALSE(w.folderTree().TreeRebuilding());

  Find<QPushButton>(w, "cmdUp")->click();
  EXPECT_EQ(w.fileView().CurrentFolder(), root + "/");

  TypePath(w, "/");
  Find<QPushButton>(w, "cmdUp")->click();
  EXPECT_EQ(w.fileView().CurrentFolder(), "/");
  for (int press = 0; press < 2; ++press) {
    Find<QPushButton>(w, "cmdUp")->click();
    EXPECT_EQ(w.fileView().CurrentFolder(), "/");
    EXPECT_EQ(w.folderTree().RootFolder(), "/");
    EXPECT_EQ(Find<QComboBox>(w, "cboPath")->currentText(), QStringLiteral("/"));
    EXPECT_EQ(Find<QTreeWidget>(w, "trvwLocal")->topLevelItem(0)->text(0), QStringLiteral("/"));
  }
  EXPECT_EQ(t.dialogs.count(), 0);
}

TEST(PathBoxUp, ATypedFolderIsVisitedEvenWhenItsPathIsAsLongAsTheCurrentOne) {
  TestWindow t;
  const std::string root = t.files.path();
  t.files.MakeFolder("aaa");
  t.files.MakeFolder("bbb");
  t.files.WriteFile("bbb/in-bbb.txt");
  TfrmMain& w = OpenAt(t, root + "/aaa/");
  const struct {
    std::string typed;
    std::string expected;
  } cases[] = {
      {root + "/bbb", root + "/bbb/"},   // same length as the current folder
      {root + "/aaa/", root + "/aaa/"},  // with the delimiter
      {root + "/aaa/", root + "/"},      // the current folder itself: its parent
      {root + "/bbb/", root + "/bbb/"},
      {"", "/"},                         // empty box: the root
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.typed);
    TypePath(w, c.typed);
    w.folderTree().cmdUpClick();
    EXPECT_EQ(w.fileView().CurrentFolder(), c.expected);
    EXPECT_EQ(w.folderTree().RootFolder(), c.expected);
    EXPECT_EQ(Find<QComboBox>(w, "cboPath")->currentText(), FromBytes(c.expected));
  }
  EXPECT_EQ(t.dialogs.count(), 0);
}

TEST(PathBoxUp, APathThatDoesNotExistIsReportedAndChangesNothing) {
  TestWindow t;
  const std::string root = t.files.path();
  t.files.WriteFile("a.txt");
  t.files.MakeFolder("sub");
  TfrmMain& w = OpenAt(t, root + "/");
  const QStringList historyBefore = History(w);
  for (const std::string& typed : {root + "/missing", root + "/a.txt", std::string("~")}) {
    SCOPED_TRACE(typed);
    t.dialogs.clear();
    TypePath(w, typed);
    w.folderTree().cmdUpClick();
    ASSERT_EQ(t.dialogs.count(), 1);
    EXPECT_EQ(t.dialogs.last().title, QStringLiteral("Error"));
    EXPECT_EQ(t.dialogs.last().text, QStringLiteral("The specified path does not exist!"));
    EXPECT_EQ(t.dialogs.last().icon, DialogIcon::Error);
    EXPECT_EQ(t.dialogs.last().buttons, DialogButtons::Ok);
    EXPECT_EQ(Find<QComboBox>(w, "cboPath")->currentText(), FromBytes(root + "/"));
    EXPECT_EQ(w.fileView().CurrentFolder(), root + "/");
    EXPECT_EQ(w.folderTree().RootFolder(), root + "/");
    EXPECT_EQ(ChildTexts(Find<QTreeWidget>(w, "trvwLocal")->topLevelItem(0)), QStringList{"sub"});
    EXPECT_EQ(Rows(w), QStringList{"a.txt"});
    EXPECT_EQ(History(w), historyBefore);
  }
}

TEST(PathBoxKeys, EnterAndLineFeedGoToTheTypedPathOncePerPress) {
  TestWindow t;
  const std::string root = t.files.path();
  t.files.MakeFolder("one/two");
  TfrmMain& w = OpenAt(t, root + "/");
  // A second run per press would go on to the parent of the typed folder.
  TypePath(w, root + "/one");
  QTest::keyClick(Find<QComboBox>(w, "cboPath"), Qt::Key_Return);
  EXPECT_EQ(w.fileView().CurrentFolder(), root + "/one/");

  TypePath(w, root + "/one/two");
  QTest::keyClick(Find<QComboBox>(w, "cboPath"), Qt::Key_Enter);
  EXPECT_EQ(w.fileView().CurrentFolder(), root + "/one/two/");

  TypePath(w, root);
  PressKey(Find<QComboBox>(w, "cboPath"), Qt::Key_J, Qt::ControlModifier, QStringLiteral("\n"));
  EXPECT_EQ(w.fileView().CurrentFolder(), root + "/");

  // Other keys edit the text as usual.
  TypePath(w, root);
  QTest::keyClicks(Find<QComboBox>(w, "cboPath"), QStringLiteral("/one"));
  EXPECT_EQ(Find<QComboBox>(w, "cboPath")->currentText(), FromBytes(root + "/one"));
  EXPECT_EQ(w.fileView().CurrentFolder(), root + "/");
  EXPECT_EQ(t.dialogs.count(), 0);
}

TEST(PathBoxHistory, EntriesAreAddedOnceWithoutTheDelimiterAndCaseIsIgnored) {
  TestWindow t;
  const std::string root = t.files.path();
  t.files.MakeFolder("Music");
  t.files.MakeFolder("music");
  t.files.MakeFolder("other");
  TfrmMain& w = OpenAt(t, root + "/");
  EXPECT_EQ(History(w), (QStringList{"/", FromBytes(root)}));

  for (const char* folder : {"/Music", "/other", "/Music", "/music"}) {
    TypePath(w, root + folder);
    w.folderTree().cmdUpClick();
  }
  EXPECT_EQ(w.fileView().CurrentFolder(), root + "/music/");
  EXPECT_EQ(History(w), (QStringList{"/", FromBytes(root), FromBytes(root + "/Music"), FromBytes(root + "/other")}));

  TypePath(w, "/");
  w.folderTree().cmdUpClick();
  EXPECT_EQ(History(w).count(QStringLiteral("/")), 1);
}

TEST(PathBoxHistory, ChoosingAnEntryGoesThereAndTheCurrentFoldersOwnEntryGoesUp) {
  TestWindow t;
  const std::string root = t.files.path();
  t.files.MakeFolder("x/y");
  TfrmMain& w = OpenAt(t, root + "/x/y/");
  TypePath(w, root + "/");
  w.folderTree().cmdUpClick();
  EXPECT_EQ(w.fileView().CurrentFolder(), root + "/");

  const int yEntry = Find<QComboBox>(w, "cboPath")->findText(FromBytes(root + "/x/y"));
  ASSERT_GE(yEntry, 0);
  Find<QComboBox>(w, "cboPath")->setCurrentIndex(yEntry);
  emit Find<QComboBox>(w, "cboPath")->activated(yEntry);
  EXPECT_EQ(w.fileView().CurrentFolder(), root + "/x/y/");

  // The current folder's own entry: one level up.
  TypePath(w, root + "/x/y");
  emit Find<QComboBox>(w, "cboPath")->activated(yEntry);
  EXPECT_EQ(w.fileView().CurrentFolder(), root + "/x/");
}

TEST(PathBoxHistory, AFolderWhoseNameIsNotUtf8KeepsItsBytesInTheBoxAndTheHistory) {
  TestWindow t;
  const std::string root = t.files.path();
  const std::string odd = root + "/d\xFC" "r";
  std::filesystem::create_directories(odd + "/inner");
  TfrmMain& w = OpenAt(t, root + "/");
  QTreeWidgetItem* node = Find<QTreeWidget>(w, "trvwLocal")->topLevelItem(0)->child(0);
  ASSERT_NE(node, nullptr);
  EXPECT_EQ(FolderData(node)->Path, odd);
  Find<QTreeWidget>(w, "trvwLocal")->setCurrentItem(node);
  EXPECT_EQ(w.fileView().CurrentFolder(), odd + "/");

  // The box shows replacement marks, yet "..." acts on the real folder.
  TypePath(w, root + "/");
  w.folderTree().cmdUpClick();
  const int entry = Find<QComboBox>(w, "cboPath")->findText(FromBytes(odd));
  ASSERT_GE(entry, 0);
  Find<QComboBox>(w, "cboPath")->setCurrentIndex(entry);
  emit Find<QComboBox>(w, "cboPath")->activated(entry);
  EXPECT_EQ(t.dialogs.count(), 0);
  EXPECT_EQ(w.fileView().CurrentFolder(), odd + "/");
  EXPECT_EQ(ChildTexts(Find<QTreeWidget>(w, "trvwLocal")->topLevelItem(0)), QStringList{"inner"});
}
