#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <gtest/gtest.h>

#include <functional>

#include "ui/RenameFlowSupport.h"
#include "ui/UiTestSupport.h"
#include "rename/PreviewListModel.h"
#include "renamelist/RenameList.h"

using renameflow::InBrowsingLayout;
using renameflow::InPreviewLayout;
using renameflow::StatusIsReady;

namespace {

void ShowActive(TfrmMain& w) {
  w.show();
  QApplication::setActiveWindow(&w);
  ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
}

QString FocusName() {
  QWidget* focus = QApplication::focusWidget();
  return focus ? focus->objectName() : QStringLiteral("(none)");
}

bool WaitForPreview(TfrmMain& w) {
  return QTest::qWaitFor([&] { return !Find<QTimer>(w, "tmrMakeLists")->isActive() && StatusIsReady(w) && InPreviewLayout(w); },
                         10000);
}

}  // namespace

TEST(KeyboardDefaultButton, EnterInAPageStartsThatPagesOperation) {
  const struct Case {
    int page;
    std::function<QWidget*(TfrmMain&)> box;
  } cases[] = {
      {0, [](TfrmMain& w) { return Find<QLineEdit>(w, "txtReplaceTo"); }},
      {1, [](TfrmMain& w) { return Find<QComboBox>(w, "cboAddPosition"); }},
      {2, [](TfrmMain& w) { return Find<QCheckBox>(w, "chkAutonumberZero"); }},
      {3, [](TfrmMain& w) { return Find<QRadioButton>(w, "optChangeCaseOpposite"); }},
      {4, [](TfrmMain& w) { return Find<QLineEdit>(w, "txtTrimAmount"); }},
      {5, [](TfrmMain& w) { return Find<QLineEdit>(w, "txtExtension"); }},
      {6, [](TfrmMain& w) { return Find<QComboBox>(w, "cboAdvancedAddPosition"); }},
      {7, [](TfrmMain& w) { return Find<QLineEdit>(w, "txtID3Format"); }},
  };
  for (const Case& c : cases) {
    TestWindow t;
    t.files.WriteFile("abc.txt", "x");
    TfrmMain& w = t.Open();
    ShowActive(w);
    QWidget* box = c.box(w);
    SCOPED_TRACE(box->objectName().toStdString());
    w.renameList().AddToRenameList("abc.txt", t.files.path());
    Find<QLineEdit>(w, "txtReplaceFrom")->setText(QStringLiteral("a"));
    Find<QLineEdit>(w, "txtAddText")->setText(QStringLiteral("x"));
    Find<QAction>(w, QStringLiteral("mnuRename_%1").arg(c.page))->trigger();
    box->setFocus();
    QTest::keyClick(box, Qt::Key_Return);
    ASSERT_TRUE(WaitForPreview(w));
    EXPECT_EQ(PreviewModel(w)->rowCount(), 1);
  }
}

TEST(KeyboardDefaultButton, EnterStartsNothingOutsideThePagesOrWhileARequiredBoxIsEmpty) {
  TestWindow t;
  TfrmMain& w = t.Open();
  ShowActive(w);
  w.renameList().AddToRenameList("abc.txt", t.files.path());
  Find<QLineEdit>(w, "txtReplaceFrom")->setText(QStringLiteral("a"));
  for (QWidget* box : {static_cast<QWidget*>(Find<QLineEdit>(w, "txtPattern")), static_cast<QWidget*>(Find<QTreeView>(w, "lviFiles"))}) {
    box->setFocus();
    QTest::keyClick(box, Qt::Key_Return);
    EXPECT_FALSE(Find<QTimer>(w, "tmrMakeLists")->isActive()) << box->objectName().toStdString();
  }
  // Shift+Enter is no plain Enter; an empty required box stops the button itself.
  Find<QLineEdit>(w, "txtReplaceTo")->setFocus();
  QTest::keyClick(Find<QLineEdit>(w, "txtReplaceTo"), Qt::Key_Return, Qt::ShiftModifier);
  EXPECT_FALSE(Find<QTimer>(w, "tmrMakeLists")->isActive());
  Find<QLineEdit>(w, "txtReplaceFrom")->clear();
  QTest::keyClick(Find<QLineEdit>(w, "txtReplaceTo"), Qt::Key_Return);
  EXPECT_FALSE(Find<QTimer>(w, "tmrMakeLists")->isActive());
  EXPECT_TRUE(InBrowsingLayout(w));
}

TEST(KeyboardPreview, ThePageUnderTheConfirmationPaneIsOutOfReachAndFocusComesBack) {
  TestWindow t;
  t.files.WriteFile("abc.txt", "x");
  TfrmMain& w = t.Open();
  ShowActive(w);
  w.renameList().AddToRenameList("abc.txt", t.files.path());
  Find<QAction>(w, "mnuRename_1")->trigger();
  Find<QLineEdit>(w, "txtAddText")->setText(QStringLiteral("x"));
  Find<QLineEdit>(w, "txtAddText")->setFocus();
  QTest::keyClick(Find<QLineEdit>(w, "txtAddText"), Qt::Key_Return);
  ASSERT_TRUE(WaitForPreview(w));
  EXPECT_FALSE(Find<QGroupBox>(w, "grpRename_1")->isHidden()) << "the page stays where it was, under the pane";

  // Tab goes round the preview list and the pane's buttons only.
  EXPECT_EQ(FocusName(), QStringLiteral("lviRename"));
  QStringList visited;
  for (int i = 0; i < 6; ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    visited << FocusName();
  }
  EXPECT_EQ(visited, (QStringList{"cmdYes", "cmdNo", "lviRename", "cmdYes", "cmdNo", "lviRename"}));
  // The hidden page's access key does not start a second preview.
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Q, Qt::AltModifier);
  EXPECT_FALSE(Find<QTimer>(w, "tmrMakeLists")->isActive());

  QTest::mouseClick(Find<QPushButton>(w, "cmdNo"), Qt::LeftButton);
  ASSERT_TRUE(InBrowsingLayout(w));
  EXPECT_TRUE(Find<QGroupBox>(w, "grpRename_1")->isEnabled());
  EXPECT_FALSE(Find<QLineEdit>(w, "txtAddPosition")->isEnabled()) << "its own state survives";
  EXPECT_EQ(FocusName(), QStringLiteral("txtAddText"));
}

TEST(KeyboardPreview, FocusComesBackAfterTheRenamesToo) {
  TestWindow t;
  t.files.WriteFile("abc.txt", "x");
  TfrmMain& w = t.Open();
  ShowActive(w);
  w.renameList().AddToRenameList("abc.txt", t.files.path());
  Find<QLineEdit>(w, "txtReplaceFrom")->setText(QStringLiteral("a"));
  Find<QPushButton>(w, "cmdRename_0")->setFocus();
  QTest::keyClick(Find<QPushButton>(w, "cmdRename_0"), Qt::Key_Space);
  ASSERT_TRUE(WaitForPreview(w));
  ASSERT_TRUE(renameflow::PressYes(w));
  EXPECT_TRUE(t.files.Exists("bc.txt"));
  EXPECT_EQ(FocusName(), QStringLiteral("cmdRename_0"));
}

TEST(KeyboardTabOrder, TabEntersTheCaseOptionsAtTheCheckedOne) {
  TestWindow t;
  TfrmMain& w = t.Open();
  ShowActive(w);
  Find<QAction>(w, "mnuRename_3")->trigger();
  Find<QTreeView>(w, "lstvwLocal")->setFocus();
  QTest::keyClick(Find<QTreeView>(w, "lstvwLocal"), Qt::Key_Tab);
  EXPECT_EQ(FocusName(), QStringLiteral("optChangeCaseFirstUpperCase"));
  // The arrow keys move the check and the Tab stop with it.
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
  EXPECT_TRUE(Find<QRadioButton>(w, "optChangeCaseFirstLowerCase")->isChecked());
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  EXPECT_EQ(FocusName(), QStringLiteral("cmdRename_3"));
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
  EXPECT_EQ(FocusName(), QStringLiteral("optChangeCaseFirstLowerCase"));
}

TEST(KeyboardSearch, CancelTakesTheFocusEscapePressesItAndTheFocusComesBack) {
  TestWindow t;
  for (const char* name : {"a.txt", "b.txt", "c.txt"}) t.files.WriteFile(name);
  t.files.MakeFolder("sub");
  t.files.WriteFile("sub/d.txt");
  t.WriteSettings("[Options]\nLastDir=" + t.files.path() + "\n");
  TfrmMain& w = t.Open();
  ShowActive(w);
  Find<QTreeView>(w, "lstvwLocal")->setFocus();

  Invoke(Find<QAction>(w, "mnuAllFilesRecursive"));
  EXPECT_EQ(FocusName(), QStringLiteral("cmdCancel"));
  // Pressed before the search reaches its first file: it stops there.
  QTest::keyClick(Find<QPushButton>(w, "cmdCancel"), Qt::Key_Escape);
  ASSERT_TRUE(QTest::qWaitFor(
      [&] { return !Find<QTimer>(w, "tmrRecursive")->isActive() && Find<QPushButton>(w, "cmdCancel")->isHidden() && StatusIsReady(w); }, 10000));
  EXPECT_EQ(w.renameList().RenameListEntries().size(), 1u);
  EXPECT_EQ(FocusName(), QStringLiteral("lstvwLocal"));

  // Outside a search Escape is no shortcut: it still closes an editor.
  const QModelIndex cell = Find<QTreeView>(w, "lstvwLocal")->model()->index(0, 0);
  Find<QTreeView>(w, "lstvwLocal")->setCurrentIndex(cell);
  Find<QTreeView>(w, "lstvwLocal")->edit(cell);
  QWidget* editor = QApplication::focusWidget();
  ASSERT_NE(editor, Find<QTreeView>(w, "lstvwLocal"));
  QTest::keyClicks(editor, QStringLiteral("zzz"));
  QTest::keyClick(editor, Qt::Key_Escape);
  EXPECT_TRUE(WaitUntil([&] { return FocusName() == QStringLiteral("lstvwLocal"); }));
  EXPECT_EQ(FocusName(), QStringLiteral("lstvwLocal"));
  EXPECT_TRUE(t.files.Exists("a.txt"));
}
