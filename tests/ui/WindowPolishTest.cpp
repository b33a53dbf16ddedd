#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLineEdit>
#include <QTest>
#include <QTreeView>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include "ui/UiTestSupport.h"

TEST(WindowPolishIcon, TheWindowHasItsIconAtEverySizeWithoutAnImagePlugin) {
  TestWindow t;
  TfrmMain& w = t.Open();
  for (int size : {16, 32, 48, 128}) {
    const QPixmap pixmap = w.windowIcon().pixmap(size, size);
    ASSERT_FALSE(pixmap.isNull()) << size;
    EXPECT_EQ(pixmap.width(), size);
  }
  EXPECT_FALSE(QApplication::windowIcon().isNull()) << "message boxes show it too";
}

TEST(WindowPolishPages, EveryChoiceOfAPageComboShowsWhole) {
  TestWindow t;
  TfrmMain& w = t.Open();
  w.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  for (QComboBox* combo : {w.cboAddPosition, w.cboTrimFrom, w.cboTrimAmount, w.cboAdvancedAddPosition}) {
    SCOPED_TRACE(combo->objectName().toStdString());
    QWidget* page = combo->parentWidget();
    for (int n = 0; n < 8; ++n) w.mnuRename_[n]->setChecked(false);
    TfrmMain::Invoke(w.findChild<QAction*>(QStringLiteral("mnuRename_%1").arg(page->objectName().back())));
    ASSERT_TRUE(combo->isVisible());
    const QFontMetrics metrics(combo->font());
    for (int i = 0; i < combo->count(); ++i)
      EXPECT_LE(metrics.horizontalAdvance(combo->itemText(i)) + 4, combo->lineEdit()->width())
          << combo->itemText(i).toStdString();
  }
}

TEST(WindowPolishMenus, TheRenameItemsAreOneSetOfChoices) {
  TestWindow t;
  TfrmMain& w = t.Open();
  ASSERT_NE(w.mnuRename_[0]->actionGroup(), nullptr);
  for (int n = 0; n < 8; ++n) EXPECT_EQ(w.mnuRename_[n]->actionGroup(), w.mnuRename_[0]->actionGroup());
  EXPECT_TRUE(w.mnuRename_[0]->actionGroup()->isExclusive());
  // Choosing the page already shown keeps it shown and ticked.
  w.mnuRename_[4]->trigger();
  w.mnuRename_[4]->trigger();
  EXPECT_TRUE(w.mnuRename_[4]->isChecked());
  EXPECT_FALSE(w.grpRename_4->isHidden());
  int ticked = 0;
  for (int n = 0; n < 8; ++n) ticked += w.mnuRename_[n]->isChecked() ? 1 : 0;
  EXPECT_EQ(ticked, 1);
}

TEST(WindowPolishLayout, TheWindowCannotBeMadeTooSmallForItsPanes) {
  TestWindow t;
  TfrmMain& w = t.Open();
  w.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  w.setWindowState(Qt::WindowNoState);
  w.resize(200, 150);
  QTest::qWait(20);
  w.FormResize();
  for (QWidget* pane : {static_cast<QWidget*>(w.trvwLocal), static_cast<QWidget*>(w.lstvwLocal),
                        static_cast<QWidget*>(w.lviFiles), static_cast<QWidget*>(w.cboPath)}) {
    EXPECT_GE(pane->width(), 100) << pane->objectName().toStdString();
    EXPECT_GE(pane->height(), 20) << pane->objectName().toStdString();
  }
  // The right column stays inside the window.
  EXPECT_LE(w.grpRename_0->geometry().right(), w.centralArea->width());
}
