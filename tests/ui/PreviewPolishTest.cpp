#include <QItemSelectionModel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <gtest/gtest.h>

#include <string>

#include "rename/PreviewListModel.h"
#include "ui/RenameFlowSupport.h"
#include "ui/UiTestSupport.h"
#include "renamelist/RenameList.h"

namespace {

int SelectedRow(TfrmMain& w) {
  const QModelIndexList rows = Find<QTreeView>(w, "lviRename")->selectionModel()->selectedRows();
  return rows.size() == 1 ? rows.front().row() : -1;
}

bool RowInView(TfrmMain& w, int row) {
  const QRect rect = Find<QTreeView>(w, "lviRename")->visualRect(PreviewModel(w)->index(row, 0));
  return Find<QTreeView>(w, "lviRename")->viewport()->rect().contains(rect.center());
}

}  // namespace

TEST(PreviewPolishFailingEntry, TheFirstFailingEntryIsSelectedAndInView) {
  const struct Case {
    const char* message;
    std::string failing;  // gets a new name that fails
    std::string other;    // added right after it
  } cases[] = {
      {"invalid", "f250x.txt", "f251.txt"},
      {"conflict", "f250.txt", "f250x.txt"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    TestWindow t;
    TfrmMain& w = t.Open();
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    for (int i = 0; i < 250; ++i) w.renameList().AddToRenameList("f" + std::to_string(1000 + i) + ".txt", t.files.path());
    w.renameList().AddToRenameList(c.failing, t.files.path());
    w.renameList().AddToRenameList(c.other, t.files.path());
    for (int i = 0; i < 50; ++i) w.renameList().AddToRenameList("g" + std::to_string(1000 + i) + ".txt", t.files.path());
    Find<QLineEdit>(w, "txtReplaceFrom")->setText(QStringLiteral("x"));
    // Invalid: "x" becomes "?"; conflict: "x" is dropped, so f250x.txt
    // becomes f250.txt like the entry before it.
    Find<QLineEdit>(w, "txtReplaceTo")->setText(std::string(c.message) == "invalid" ? QStringLiteral("?") : QString());
    ASSERT_TRUE(renameflow::PressOperation(w, 0));
    ASSERT_EQ(t.dialogs.count(), 1);
    EXPECT_FALSE(Find<QPushButton>(w, "cmdYes")->isEnabled());
    EXPECT_EQ(SelectedRow(w), 250);
    EXPECT_TRUE(RowInView(w, 250));
  }
}

TEST(PreviewPolishFailingEntry, ARecheckAfterAnEditLeavesTheSelectionAlone) {
  TestWindow t;
  TfrmMain& w = t.Open();
  for (const char* name : {"a.txt", "b.txt", "c.txt"}) w.renameList().AddToRenameList(name, t.files.path());
  Find<QLineEdit>(w, "txtReplaceFrom")->setText(QStringLiteral("."));
  Find<QLineEdit>(w, "txtReplaceTo")->setText(QStringLiteral("."));
  ASSERT_TRUE(renameflow::PressOperation(w, 0));
  ASSERT_TRUE(Find<QPushButton>(w, "cmdYes")->isEnabled());
  Find<QTreeView>(w, "lviRename")->setCurrentIndex(PreviewModel(w)->index(0, 0));
  PreviewModel(w)->setData(PreviewModel(w)->index(2, 0), QStringLiteral("c?.txt"));
  ASSERT_TRUE(QTest::qWaitFor([&] { return !Find<QTimer>(w, "tmrCheckFileNames")->isActive(); }));
  EXPECT_FALSE(Find<QPushButton>(w, "cmdYes")->isEnabled());
  EXPECT_EQ(SelectedRow(w), 0);
  EXPECT_EQ(t.dialogs.count(), 0);
}
