#include <QDialog>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "rename/PreviewPane.h"
#include "rename/UndoManager.h"
#include "renamelist/RenameList.h"
#include "ui/RenameFlowSupport.h"

using namespace renameflow;

// A new name another file already holds is marked before Yes (icon, tooltip,
// accessible text, the outlook line, the detail box); after Yes, and after an
// undo that meets a missing file, a list names each failed entry and why.
TEST(DestinationPreview, ATakenNameIsMarkedBeforeYesAndNamedAfterTheRun) {
  TestWindow t;
  TfrmMain& w = t.Open();
  for (const char* name : {"old1.txt", "old2.txt", "new2.txt"}) t.files.WriteFile(name, name);
  for (const char* name : {"old1.txt", "old2.txt"}) w.renameList().AddToRenameList(name, t.files.path());
  Find<QLineEdit>(w, "txtReplaceFrom")->setText(QStringLiteral("old"));
  Find<QLineEdit>(w, "txtReplaceTo")->setText(QStringLiteral("new"));
  ASSERT_TRUE(PressOperation(w, 0));
  w.resize(900, 500);
  if (const char* shot = std::getenv("QUILLON_SCREENSHOT")) w.grab().save(QString::fromLocal8Bit(shot));

  EXPECT_TRUE(Find<QPushButton>(w, "cmdYes")->isEnabled()) << "a name taken on disk does not block the run";
  EXPECT_EQ(Find<QLabel>(w, "lblOutlook")->text(),
            QStringLiteral("1 name will change; 1 will fail: 1 name is taken on disk."));
  PreviewListModel* model = PreviewModel(w);
  EXPECT_EQ(model->index(1, 0).data(PreviewListModel::kOutcomeRole).toInt(), int(Destination::NameTaken));
  EXPECT_EQ(model->index(0, 0).data(PreviewListModel::kOutcomeRole).toInt(), int(Destination::Renames));
  EXPECT_TRUE(model->index(1, 0).data(Qt::ToolTipRole).toString().contains(QStringLiteral("already exists")));
  EXPECT_EQ(model->index(1, 2).data(Qt::AccessibleDescriptionRole), model->index(1, 0).data(Qt::ToolTipRole));
  EXPECT_FALSE(model->index(1, 0).data(Qt::DecorationRole).isNull());
  // The other row gets a blank mark, which keeps the new names in one column.
  EXPECT_NE(qvariant_cast<QIcon>(model->index(0, 0).data(Qt::DecorationRole)).cacheKey(),
            qvariant_cast<QIcon>(model->index(1, 0).data(Qt::DecorationRole)).cacheKey());
  Find<QTreeView>(w, "lviRename")->setCurrentIndex(model->index(1, 0));
  w.previewPane().lviRenameDblClick();
  ASSERT_EQ(t.dialogs.count(), 1);
  EXPECT_TRUE(t.dialogs.last().text.endsWith(model->index(1, 0).data(Qt::ToolTipRole).toString()));

  ASSERT_TRUE(PressYes(w));
  EXPECT_EQ(w.StatusText(), Counts(1, 1));
  auto* failures = Find<QDialog>(w, "frmFailedRenames");
  ASSERT_TRUE(failures && failures->isVisible());
  const auto listed = [&] { return Find<QPlainTextEdit>(*failures, "txtFailedRenames")->toPlainText(); };
  EXPECT_EQ(listed(), FromBytes(t.files / "old2.txt") + QStringLiteral(" -> new2.txt: name taken"));
  EXPECT_EQ(t.files.ReadFile("new2.txt"), "new2.txt");

  std::filesystem::remove(t.files / "new1.txt");
  w.undoManager().UndoLastRename();
  EXPECT_TRUE(WaitUntil([&] { return w.StatusText() == QStringLiteral("Ready, undone 0 file(s)/folder(s), 1 error(s)."); }));
  EXPECT_EQ(failures->windowTitle(), QStringLiteral("Undo last rename"));
  EXPECT_EQ(listed(), FromBytes(t.files / "new1.txt") + QStringLiteral(" -> old1.txt: no longer exists"));
  EXPECT_EQ(t.dialogs.count(), 1) << "the lists block nothing";
}
