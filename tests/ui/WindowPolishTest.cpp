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
  for (QComboBox* combo : {Find<QComboBox>(w, "cboAddPosition"), Find<QComboBox>(w, "cboTrimFrom"), Find<QComboBox>(w, "cboTrimAmount"), Find<QComboBox>(w, "cboAdvancedAddPosition")}) {
    SCOPED_TRACE(combo->objectName().toStdString());
    QWidget* page = combo->parentWidget();
    for (int n = 0; n < 8; ++n) Find<QAction>(w, QStringLiteral("mnuRename_%1").arg(n))->setChecked(false);
    Invoke(w.findChild<QAction*>(QStringLiteral("mnuRename_%1").arg(page->objectName().back())));
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
  ASSERT_NE(Find<QAction>(w, "mnuRename_0")->actionGroup(), nullptr);
  for (int n = 0; n < 8; ++n) EXPECT_EQ(Find<QAction>(w, QStringLiteral("mnuRename_%1").arg(n))->actionGroup(), Find<QAction>(w, "mnuRename_0")->actionGroup());
  EXPECT_TRUE(Find<QAction>(w, "mnuRename_0")->actionGroup()->isExclusive());
  // Choosing the page already shown keeps it shown and ticked.
  Find<QAction>(w, "mnuRename_4")->trigger();
  Find<QAction>(w, "mnuRename_4")->trigger();
  EXPECT_TRUE(Find<QAction>(w, "mnuRename_4")->isChecked());
  EXPECT_FALSE(Find<QGroupBox>(w, "grpRename_4")->isHidden());
  int ticked = 0;
  for (int n = 0; n < 8; ++n) ticked += Find<QAction>(w, QStringLiteral("mnuRename_%1").arg(n))->isChecked() ? 1 : 0;
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
  for (QWidget* pane : {static_cast<QWidget*>(Find<QTreeWidget>(w, "trvwLocal")), static_cast<QWidget*>(Find<QTreeView>(w, "lstvwLocal")),
                        static_cast<QWidget*>(Find<QTreeView>(w, "lviFiles")), static_cast<QWidget*>(Find<QComboBox>(w, "cboPath"))}) {
    EXPECT_GE(pane->width(), 100) << pane->objectName().toStdString();
    EXPECT_GE(pane->height(), 20) << pane->objectName().toStdString();
  }
  // The right column stays inside the window.
  EXPECT_LE(Find<QGroupBox>(w, "grpRename_0")->geometry().right(), Find<QWidget>(w, "centralArea")->width());
}
