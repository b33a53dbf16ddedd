#include <QAction>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTreeView>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include <string>

#include "widgets/ListColumns.h"
#include "browser/FileViewModel.h"
#include "rename/PreviewListModel.h"
#include "ui/RenameFlowSupport.h"
#include "ui/UiTestSupport.h"
#include "browser/FileView.h"
#include "renamelist/RenameList.h"

namespace {

TfrmMain& OpenShownAt(TestWindow& t, const std::string& folder) {
  t.WriteSettings("[Options]\nLastDir=" + folder + "\n");
  TfrmMain& w = t.Open();
  w.show();
  EXPECT_TRUE(QTest::qWaitForWindowExposed(&w));
  return w;
}

int TextWidth(const QTreeView* view, const QString& text) { return view->fontMetrics().horizontalAdvance(text); }

int Column(const QTreeView* view, int column) { return view->header()->sectionSize(column); }

int AllColumns(const QTreeView* view) {
  int sum = 0;
  for (int column = 0; column < view->header()->count(); ++column) sum += Column(view, column);
  return sum;
}

const QString kLongName = QStringLiteral("Café del Mar - Entre dos aguas (live at the Ibiza sunset).mp3");

}  // namespace

TEST(ListColumnsSizing, EveryListShowsItsLongestNamesWhole) {
  TestWindow t;
  t.files.WriteFile(ToBytes(kLongName), "12345678901234567890");
  t.files.WriteFile("b.mp3");
  const std::string folder = t.files.path() + "/A folder with a long name, longer than the tree is wide";
  t.files.MakeFolder("A folder with a long name, longer than the tree is wide");
  TfrmMain& w = OpenShownAt(t, t.files.path());
  w.setWindowState(Qt::WindowNoState);
  w.resize(681, 481);

  // File view: the name, the size and the whole time stamp.
  ASSERT_EQ(w.fileView().FileViewRowCount(), 2);
  EXPECT_GT(Column(Find<QTreeView>(w, "lstvwLocal"), FileViewModel::kFilename), TextWidth(Find<QTreeView>(w, "lstvwLocal"), kLongName));
  const QString stamp = FileModel(w)->data(FileModel(w)->index(0, FileViewModel::kTimestamp)).toString();
  EXPECT_GT(Column(Find<QTreeView>(w, "lstvwLocal"), FileViewModel::kTimestamp), TextWidth(Find<QTreeView>(w, "lstvwLocal"), stamp));
  EXPECT_EQ(Column(Find<QTreeView>(w, "lstvwLocal"), FileViewModel::kSize), 50) << "short sizes keep the design width";

  // Folder tree: the long folder name scrolls sideways instead of being cut.
  const QString folderName = FromBytes(folder.substr(t.files.path().size() + 1));
  EXPECT_GT(Column(Find<QTreeWidget>(w, "trvwLocal"), 0), TextWidth(Find<QTreeWidget>(w, "trvwLocal"), folderName));
  EXPECT_GE(Column(Find<QTreeWidget>(w, "trvwLocal"), 0), Find<QTreeWidget>(w, "trvwLocal")->viewport()->width());

  // Rename list: the whole folder in the Path column.
  Find<QAction>(w, "mnuAllFiles")->trigger();
  ASSERT_EQ(w.renameList().RenameListEntries().size(), 2u);
  EXPECT_GT(Column(Find<QTreeView>(w, "lviFiles"), 0), TextWidth(Find<QTreeView>(w, "lviFiles"), kLongName));
  EXPECT_GT(Column(Find<QTreeView>(w, "lviFiles"), 1), TextWidth(Find<QTreeView>(w, "lviFiles"), FromBytes(t.files.path())));

  // Preview list: built, then a new name edited longer than its column.
  Find<QLineEdit>(w, "txtReplaceFrom")->setText(QStringLiteral("b"));
  ASSERT_TRUE(renameflow::PressOperation(w, 0));
  EXPECT_GT(Column(Find<QTreeView>(w, "lviRename"), PreviewListModel::kOldName), TextWidth(Find<QTreeView>(w, "lviRename"), kLongName));
  const QString edited = kLongName + QStringLiteral(" (remastered 2024 edition)");
  PreviewModel(w)->setData(PreviewModel(w)->index(1, PreviewListModel::kNewName), edited);
  EXPECT_GT(Column(Find<QTreeView>(w, "lviRename"), PreviewListModel::kNewName), TextWidth(Find<QTreeView>(w, "lviRename"), edited));
}

TEST(ListColumnsSizing, ShortRowsKeepTheDesignWidthsAndTheLastColumnFillsTheView) {
  TestWindow t;
  t.files.WriteFile("a");
  TfrmMain& w = OpenShownAt(t, t.files.path());
  w.setWindowState(Qt::WindowNoState);
  w.resize(1400, 700);
  Find<QAction>(w, "mnuAllFiles")->trigger();
  EXPECT_EQ(Column(Find<QTreeView>(w, "lstvwLocal"), FileViewModel::kFilename), 150);
  EXPECT_EQ(Column(Find<QTreeView>(w, "lstvwLocal"), FileViewModel::kSize), 50);
  EXPECT_EQ(Column(Find<QTreeView>(w, "lviFiles"), 0), 150);
  QTreeView* files = Find<QTreeView>(w, "lstvwLocal");
  EXPECT_TRUE(WaitUntil([&] { return AllColumns(files) == files->viewport()->width(); }));
  EXPECT_EQ(AllColumns(files), files->viewport()->width());
  EXPECT_TRUE(WaitUntil([&] { return !files->horizontalScrollBar()->isVisible(); }));
  EXPECT_GE(AllColumns(Find<QTreeView>(w, "lviFiles")), Find<QTreeView>(w, "lviFiles")->viewport()->width());

  // A wider window gives the last column the new room.
  const int before = Find<QTreeView>(w, "lstvwLocal")->viewport()->width();
  w.resize(1700, 700);
  EXPECT_TRUE(WaitUntil([&] { return files->viewport()->width() > before; }));
  EXPECT_TRUE(WaitUntil([&] { return AllColumns(files) == files->viewport()->width(); }));
  EXPECT_EQ(AllColumns(files), files->viewport()->width());
}

TEST(ListColumnsSizing, ColumnsAreMeasuredOnASampleNotOnEveryRow) {
  TestWindow t;
  for (int i = 0; i < 4 * kColumnSampleRows; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "f%05d", i);
    t.files.WriteFile(name);
  }
  // Sorted last, far below the rows in view.
  const std::string farName = "z" + std::string(200, 'w');
  t.files.WriteFile(farName);
  TfrmMain& w = OpenShownAt(t, t.files.path());
  ASSERT_EQ(w.fileView().FileViewRowCount(), 4 * kColumnSampleRows + 1);
  EXPECT_LT(Column(Find<QTreeView>(w, "lstvwLocal"), FileViewModel::kFilename), TextWidth(Find<QTreeView>(w, "lstvwLocal"), FromBytes(farName)));
}
