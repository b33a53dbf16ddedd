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
