#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QPushButton>
#include <QRadioButton>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <QTreeWidget>
#include <gtest/gtest.h>
#include <unistd.h>

#include "ui/UiTestSupport.h"
#include "browser/FileView.h"
#include "browser/FolderTree.h"

namespace {

QGroupBox* Page(TfrmMain& w, int n) {
  return Find<QWidget>(w, "centralArea")->findChild<QGroupBox*>(QStringLiteral("grpRename_%1").arg(n));
}

std::vector<int> VisiblePages(TfrmMain& w) {
  std::vector<int> visible;
  for (int n = 0; n < 8; ++n)
    if (!Page(w, n)->isHidden()) visible.push_back(n);
  return visible;
}

std::vector<int> TickedItems(TfrmMain& w) {
  std::vector<int> ticked;
  for (int n = 0; n < 8; ++n)
    if (Find<QAction>(w, QStringLiteral("mnuRename_%1").arg(n))->isChecked()) ticked.push_back(n);
  return ticked;
}

void ResizeTo(TfrmMain& w, int width, int height) {
  w.setWindowState(Qt::WindowNoState);
  w.resize(width, height);
  w.FormResize();
}

}  // namespace

TEST(MainWindowStartup, FirstStartShowsTheDefaultsAndCreatesTheSettingsFile) {
  TestWindow t;
  // What a write killed half-way left (no process has that number) goes; what
  // a running copy (the test's parent) is writing stays.
  const std::string killed = "..Quillon.ini.tmp-2147483647-abcd1234";
  const std::string running = "..Quillon.ini.tmp-" + std::to_string(::getppid()) + "-abcd1234";
  for (const std::string& name : {killed, running, std::string("..Quillon.ini.tmp-x")}) t.home.WriteFile(name);
  TfrmMain& w = t.Open();
  EXPECT_FALSE(t.home.Exists(killed));
  EXPECT_TRUE(t.home.Exists(running) && t.home.Exists("..Quillon.ini.tmp-x"));
  EXPECT_EQ(w.windowTitle(), QStringLiteral("Quillon! v7.2"));
  EXPECT_EQ(w.folderTree().RootFolder(), "/");
  EXPECT_EQ(w.fileView().CurrentFolder(), "/");
  EXPECT_EQ(Find<QLineEdit>(w, "txtPattern")->text(), QStringLiteral("*"));
  EXPECT_FALSE(Find<QAction>(w, "mnuCaseSensitive")->isChecked());
  EXPECT_FALSE(Find<QAction>(w, "mnuIncludeExtension")->isChecked());
  EXPECT_TRUE(Find<QAction>(w, "mnuUndo")->isChecked());
  EXPECT_EQ(VisiblePages(w), std::vector<int>{0});
  EXPECT_EQ(TickedItems(w), std::vector<int>{0});
  EXPECT_EQ(w.StatusText(), QStringLiteral("Ready."));
  EXPECT_TRUE(Find<QGroupBox>(w, "grpLoading")->isHidden());
  EXPECT_TRUE(w.windowState() & Qt::WindowMaximized);
  EXPECT_EQ(w.ProgramFolder(), t.programFolder.path() + "/");
  EXPECT_EQ(w.SettingsFileName(), t.SettingsPath());
  // Reading the settings writes the file back, so it exists before any close.
  EXPECT_TRUE(t.home.Exists(".Quillon.ini"));
  EXPECT_EQ(t.dialogs.count(), 0);
}

TEST(MainWindowStartup, SavedValuesAreReadByTheirRules) {
  struct Case {
    const char* settings;
    bool caseSensitive, includeExtension, undo;
    const char* pattern;
  } cases[] = {
      {"[Options]\nCaseSensitive=2\n", false, false, true, "*"},
      {"[options]\ncasesensitive=0x1\nUNDOFILE=abc\nPATTERN=\n", true, false, true, ""},
      {"[Options]\nIncludeExtension=1\nUndoFile=0\nPattern=*.mp3\n", false, true, false, "*.mp3"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.settings);
    TestWindow t;
    t.WriteSettings(c.settings);
    TfrmMain& w = t.Open();
    EXPECT_EQ(Find<QAction>(w, "mnuCaseSensitive")->isChecked(), c.caseSensitive);
    EXPECT_EQ(Find<QAction>(w, "mnuIncludeExtension")->isChecked(), c.includeExtension);
    EXPECT_EQ(Find<QAction>(w, "mnuUndo")->isChecked(), c.undo);
    EXPECT_EQ(Find<QLineEdit>(w, "txtPattern")->text(), QString::fromLatin1(c.pattern));
  }
}

TEST(MainWindowStartup, LastDirIsUsedWhenItExistsAndFallsBackToRootOtherwise) {
  {
    TestWindow t;
    t.WriteSettings("[Options]\nlastdir=" + t.files.path() + "/\n");
    TfrmMain& w = t.Open();
    EXPECT_EQ(w.folderTree().RootFolder(), t.files.path() + "/");
    EXPECT_EQ(w.fileView().CurrentFolder(), t.files.path() + "/");
  }
  {
    TestWindow t;
    t.WriteSettings("[Options]\nLastDir=" + t.files.path() + "/gone/\n");
    TfrmMain& w = t.Open();
    EXPECT_EQ(w.folderTree().RootFolder(), "/");
    EXPECT_EQ(t.dialogs.count(), 0);
  }
}

TEST(MainWindowClose, ExitWritesTheFiveSettingsInOrder) {
  TestWindow t;
  TfrmMain& w = t.Open();
  Find<QAction>(w, "mnuCaseSensitive")->trigger();
  Find<QLineEdit>(w, "txtPattern")->setText(QStringLiteral("*.txt"));
  Find<QComboBox>(w, "cboPath")->setCurrentText(QStringLiteral("/typed/never/confirmed/"));
  Find<QAction>(w, "mnuExit")->trigger();
  EXPECT_EQ(t.ReadSettings(),
            "[Options]\nLastDir=/typed/never/confirmed/\nPattern=*.txt\nCaseSensitive=1\n"
            "IncludeExtension=0\nUndoFile=1\n\n");
}

TEST(MainWindowClose, TheCloseButtonSavesTooAndUnknownKeysSurvive) {
  TestWindow t;
  t.WriteSettings("[Other]\nKeep=me\n[Options]\nWindowSize=big\n");
  TfrmMain& w = t.Open();
  Find<QAction>(w, "mnuUndo")->trigger();
  EXPECT_TRUE(w.close());
  const std::string saved = t.ReadSettings();
  EXPECT_NE(saved.find("[Other]\nKeep=me\n"), std::string::npos) << saved;
  EXPECT_NE(saved.find("WindowSize=big\n"), std::string::npos) << saved;
  EXPECT_NE(saved.find("UndoFile=0\n"), std::string::npos) << saved;
}

TEST(MainWindowClose, AnUnwritableSettingsFileIsReportedAndTheWindowStillCloses) {
  TestWindow t;
  AppEnvironment environment;
  environment.programFolder = t.programFolder.path() + "/";
  environment.home = t.home.path() + "/no/such/home";
  TfrmMain w(environment);
  EXPECT_EQ(t.dialogs.count(), 0) << "start-up goes on silently";
  EXPECT_EQ(w.StatusText(), QStringLiteral("Ready."));
  w.show();
  EXPECT_TRUE(w.close());
  EXPECT_FALSE(w.isVisible());
  ASSERT_EQ(t.dialogs.count(), 1);
  EXPECT_EQ(t.dialogs.last().title, QStringLiteral("Error"));
  EXPECT_EQ(t.dialogs.last().icon, DialogIcon::Error);
  EXPECT_TRUE(t.dialogs.last().text.contains(FromBytes(w.SettingsFileName())));
}

TEST(MainWindowLayout, A681PixelWindowIsLaidOutByTheResizeArithmetic) {
  TestWindow t;
  TfrmMain& w = t.Open();
  ResizeTo(w, 681, 481);
  EXPECT_EQ(Find<QTreeWidget>(w, "trvwLocal")->geometry(), QRect(8, 32, 210, 481 - 80));
  EXPECT_EQ(Find<QTreeView>(w, "lstvwLocal")->geometry(), QRect(218, 32, 210, 481 - 80));
  EXPECT_EQ(Find<QLineEdit>(w, "txtPattern")->x(), 218);
  EXPECT_EQ(Find<QLineEdit>(w, "txtPattern")->width(), 210);
  EXPECT_EQ(Find<QComboBox>(w, "cboPath")->width(), 210 - 25);
  EXPECT_EQ(Find<QTreeView>(w, "lviFiles")->geometry(), QRect(433, 184, 241, 481 - 177 - 55));
  for (int n = 0; n < 8; ++n) EXPECT_EQ(Page(w, n)->x(), 433) << n;
  EXPECT_EQ(Find<QGroupBox>(w, "grpConfirmation")->x(), 433);
  EXPECT_EQ(Find<QGroupBox>(w, "grpLoading")->x(), 433);
  // The tree and the rename list end on the same line.
  EXPECT_EQ(Find<QTreeWidget>(w, "trvwLocal")->geometry().bottom(), Find<QTreeView>(w, "lviFiles")->geometry().bottom());

  ResizeTo(w, 1000, 700);
  EXPECT_EQ(Find<QTreeWidget>(w, "trvwLocal")->width(), 1000 / 2 - 241 / 2 - 10);
  EXPECT_EQ(Find<QTreeView>(w, "lviFiles")->height(), 700 - 177 - 55);
  EXPECT_EQ(Find<QGroupBox>(w, "grpRename_0")->size(), QSize(241, 177));
}

TEST(MainWindowLayout, ThePreviewLayoutCoversTheBrowserAndKeepsItsPlaceOnResize) {
  TestWindow t;
  TfrmMain& w = t.Open();
  ResizeTo(w, 681, 481);
  w.HideViewControls(false);
  for (QWidget* hidden : {static_cast<QWidget*>(Find<QPushButton>(w, "cmdUp")), static_cast<QWidget*>(Find<QTreeWidget>(w, "trvwLocal")),
                          static_cast<QWidget*>(Find<QTreeView>(w, "lstvwLocal")), static_cast<QWidget*>(Find<QComboBox>(w, "cboPath")),
                          static_cast<QWidget*>(Find<QLineEdit>(w, "txtPattern")), static_cast<QWidget*>(Find<QTreeView>(w, "lviFiles"))})
    EXPECT_TRUE(hidden->isHidden()) << hidden->objectName().toStdString();
  EXPECT_FALSE(Find<QTreeView>(w, "lviRename")->isHidden());
  EXPECT_EQ(Find<QTreeView>(w, "lviRename")->geometry(), QRect(8, Find<QComboBox>(w, "cboPath")->y(), 420, 481 - 80));
  EXPECT_FALSE(Find<QMenu>(w, "mnuRename")->menuAction()->isEnabled());
  EXPECT_FALSE(Find<QMenu>(w, "mnuAdd")->menuAction()->isEnabled());
  EXPECT_FALSE(Find<QMenu>(w, "mnuOptions")->menuAction()->isEnabled());
  EXPECT_TRUE(Find<QMenu>(w, "mnuFile")->menuAction()->isEnabled());

  const QRect placed = Find<QTreeView>(w, "lviRename")->geometry();
  ResizeTo(w, 900, 600);
  EXPECT_EQ(Find<QTreeView>(w, "lviRename")->geometry(), placed);
  EXPECT_EQ(Find<QGroupBox>(w, "grpRename_0")->x(), 900 / 2 - 120 - 10 + 8 + 900 / 2 - 120 - 10 + 5);

  w.HideViewControls(true);
  EXPECT_TRUE(Find<QTreeView>(w, "lviRename")->isHidden());
  EXPECT_FALSE(Find<QTreeView>(w, "lviFiles")->isHidden());
  EXPECT_TRUE(Find<QMenu>(w, "mnuAdd")->menuAction()->isEnabled());
}

TEST(MainWindowStatus, OnlyTextsBeginningWithReadyEndABusyPeriod) {
  TestWindow t;
  TfrmMain& w = t.Open();
  const struct {
    const char* text;
    bool busy;
  } cases[] = {
      {"Searching /home/...", true}, {"ready.", true},  {"Read", true},
      {"Ready, renamed 3 file(s)/folder(s), 0 error(s).", false},
      {"Loading files...", true},    {"Ready.", false}, {"", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    w.ShowStatus(QString::fromLatin1(c.text));
    EXPECT_EQ(w.StatusText(), QString::fromLatin1(c.text));
    EXPECT_EQ(!Find<QGroupBox>(w, "grpLoading")->isHidden(), c.busy);
    EXPECT_EQ(w.cursor().shape(), c.busy ? Qt::WaitCursor : Qt::ArrowCursor);
    if (c.busy) {
      EXPECT_EQ(Find<QLabel>(w, "lblLoading")->text(), QString::fromLatin1(c.text));
    }
  }
}

TEST(MainWindowStatus, ABusyTextClearsAPendingCancel) {
  TestWindow t;
  TfrmMain& w = t.Open();
  EXPECT_TRUE(Find<QPushButton>(w, "cmdCancel")->isHidden());
  w.cmdCancelClick();
  EXPECT_TRUE(w.CancelRequested());
  w.ShowStatus(QStringLiteral("Working..."));
  EXPECT_FALSE(w.CancelRequested());
}

TEST(MainWindowPages, TheRenameMenuShowsExactlyOnePageAndTicksOneItem) {
  TestWindow t;
  TfrmMain& w = t.Open();
  const int order[] = {7, 3, 0, 5, 1, 6, 2, 4, 7};
  for (int n : order) {
    Find<QAction>(w, QStringLiteral("mnuRename_%1").arg(n))->trigger();
    EXPECT_EQ(VisiblePages(w), std::vector<int>{n});
    EXPECT_EQ(TickedItems(w), std::vector<int>{n});
  }
  // The ID3 page, hidden at start, appears where the others are.
  EXPECT_EQ(Page(w, 7)->x(), Page(w, 0)->x());

  Find<QAction>(w, "mnuRename_3")->setEnabled(false);
  Invoke(Find<QAction>(w, "mnuRename_3"));
  EXPECT_EQ(VisiblePages(w), std::vector<int>{7}) << "a disabled item does nothing when invoked";
}

TEST(MainWindowPages, EveryPageHoldsItsControlsWithTheirDefaults) {
  TestWindow t;
  TfrmMain& w = t.Open();
  const QStringList captions = {"Replace", "Add", "Auto-number", "Change case",
                                "Trim", "Extension", "Advanced add", "ID3-tag"};
  for (int n = 0; n < 8; ++n) {
    EXPECT_EQ(Page(w, n)->title(), captions[n]);
    EXPECT_EQ(Page(w, n)->size(), QSize(241, 177));
    EXPECT_EQ(Find<QPushButton>(w, QStringLiteral("cmdRename_%1").arg(n))->parentWidget(), Page(w, n));
    EXPECT_EQ(Find<QPushButton>(w, QStringLiteral("cmdRename_%1").arg(n))->geometry(), QRect(8, 144, 225, 25));
    EXPECT_EQ(Find<QPushButton>(w, QStringLiteral("cmdRename_%1").arg(n))->text(), QStringLiteral("&Quillon!"));
    EXPECT_EQ(Tag(Find<QPushButton>(w, QStringLiteral("cmdRename_%1").arg(n))), n);
    EXPECT_EQ(Tag(Find<QAction>(w, QStringLiteral("mnuRename_%1").arg(n))), n);
  }
  EXPECT_TRUE(Find<QLineEdit>(w, "txtReplaceFrom")->text().isEmpty());
  EXPECT_EQ(Find<QComboBox>(w, "cboAddPosition")->currentText(), QStringLiteral("to start"));
  EXPECT_EQ(Find<QLineEdit>(w, "txtAddPosition")->text(), QStringLiteral("5"));
  EXPECT_FALSE(Find<QLineEdit>(w, "txtAddPosition")->isEnabled());
  EXPECT_EQ(Find<QLineEdit>(w, "txtAutonumberStart")->text(), QStringLiteral("0"));
  EXPECT_TRUE(Find<QCheckBox>(w, "chkAutonumberZero")->isChecked());
  EXPECT_TRUE(Find<QRadioButton>(w, "optChangeCaseFirstUpperCase")->isChecked());
  EXPECT_EQ(Find<QLineEdit>(w, "txtTrimAmount")->text(), QStringLiteral("3"));
  EXPECT_EQ(Find<QComboBox>(w, "cboTrimFrom")->currentText(), QStringLiteral("from end"));
  EXPECT_EQ(Find<QComboBox>(w, "cboTrimAmount")->currentText(), QStringLiteral("trim the selected amount"));
  EXPECT_EQ(Find<QLineEdit>(w, "txtAdvancedAddASCII1")->text(), QStringLiteral("65"));
  EXPECT_EQ(Find<QLineEdit>(w, "txtAdvancedAddASCII2")->text(), QStringLiteral("91"));
  EXPECT_EQ(Find<QLineEdit>(w, "txtAdvancedAddNew")->text(), QStringLiteral("_"));
  EXPECT_EQ(Find<QComboBox>(w, "cboAdvancedAddPosition")->currentText(), QStringLiteral("before char"));
  EXPECT_EQ(Find<QLineEdit>(w, "txtID3Format")->text(), QStringLiteral("%artist% - %title%"));
  EXPECT_FALSE(Find<QPushButton>(w, "cmdYes")->isEnabled());
  EXPECT_TRUE(Find<QPushButton>(w, "cmdNo")->isEnabled());
}

TEST(MainWindowMenus, CaptionsShortcutsAndTimersAreAsDesigned) {
  TestWindow t;
  TfrmMain& w = t.Open();
  EXPECT_EQ(Find<QAction>(w, "mnuRefresh")->shortcut(), QKeySequence(Qt::Key_F5));
  EXPECT_EQ(Find<QAction>(w, "mnuAllFiles")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_A));
  EXPECT_EQ(Find<QAction>(w, "mnuClearSelected")->shortcut(), QKeySequence(Qt::Key_Delete));
  EXPECT_EQ(Find<QAction>(w, "mnuClear")->shortcut(), QKeySequence(Qt::SHIFT | Qt::Key_Delete));
  EXPECT_EQ(Find<QAction>(w, "About2")->shortcut(), QKeySequence(Qt::Key_F1));
  EXPECT_EQ(Find<QAction>(w, "mnuRename_2")->text(), QStringLiteral("Auto-&number"));
  EXPECT_EQ(Find<QAction>(w, "mnuRename_6")->text(), QStringLiteral("A&dvanced"));
  const struct {
    QTimer* timer;
    int interval;
  } timers[] = {{Find<QTimer>(w, "tmrCheckFileNames"), 50}, {Find<QTimer>(w, "tmrMakeLists"), 50}, {Find<QTimer>(w, "tmrDoRename"), 50},
                {Find<QTimer>(w, "tmrRecursive"), 50}, {Find<QTimer>(w, "tmrRefresh"), 100}};
  for (const auto& entry : timers) {
    EXPECT_EQ(entry.timer->interval(), entry.interval) << entry.timer->objectName().toStdString();
    EXPECT_FALSE(entry.timer->isActive());
  }
}

TEST(MainWindowMenus, OptionsToggleAndAboutShowsTheProgram) {
  TestWindow t;
  TfrmMain& w = t.Open();
  Find<QAction>(w, "mnuIncludeExtension")->trigger();
  EXPECT_TRUE(Find<QAction>(w, "mnuIncludeExtension")->isChecked());
  w.mnuIncludeExtensionClick();
  EXPECT_FALSE(Find<QAction>(w, "mnuIncludeExtension")->isChecked());
  Find<QAction>(w, "mnuUndo")->trigger();
  EXPECT_FALSE(Find<QAction>(w, "mnuUndo")->isChecked());

  Find<QAction>(w, "About2")->trigger();
  ASSERT_EQ(t.dialogs.count(), 1);
  const DialogRequest& about = t.dialogs.last();
  EXPECT_EQ(about.title, QStringLiteral("Quillon!"));
  EXPECT_EQ(about.icon, DialogIcon::None);
  const QStringList lines = about.text.split(QStringLiteral("\r\n"));
  ASSERT_EQ(lines.size(), 5);
  EXPECT_EQ(lines[0], QStringLiteral("Quillon v7.2"));
  EXPECT_EQ(lines[1], QStringLiteral("by the Quillon developers"));
  EXPECT_TRUE(lines[2].isEmpty());
  EXPECT_TRUE(lines[3].contains('@'));
  EXPECT_TRUE(lines[4].startsWith(QStringLiteral("https://")));
}

TEST(MainWindowKeyboard, EditingKeysEditTextBoxesAndMenuShortcutsActElsewhere) {
  TestWindow t;
  TfrmMain& w = t.Open();
  w.show();
  QApplication::setActiveWindow(&w);
  ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
  QSignalSpy clearSelected(Find<QAction>(w, "mnuClearSelected"), &QAction::triggered);
  QSignalSpy allFiles(Find<QAction>(w, "mnuAllFiles"), &QAction::triggered);

  Find<QLineEdit>(w, "txtReplaceFrom")->setFocus();
  Find<QLineEdit>(w, "txtReplaceFrom")->setText(QStringLiteral("abc"));
  Find<QLineEdit>(w, "txtReplaceFrom")->setCursorPosition(0);
  QTest::keyClick(Find<QLineEdit>(w, "txtReplaceFrom"), Qt::Key_Delete);
  EXPECT_EQ(Find<QLineEdit>(w, "txtReplaceFrom")->text(), QStringLiteral("bc"));
  QTest::keyClick(Find<QLineEdit>(w, "txtReplaceFrom"), Qt::Key_A, Qt::ControlModifier);
  EXPECT_EQ(Find<QLineEdit>(w, "txtReplaceFrom")->selectedText(), QStringLiteral("bc"));
  EXPECT_EQ(clearSelected.count(), 0);
  EXPECT_EQ(allFiles.count(), 0);

  Find<QTreeView>(w, "lviFiles")->setFocus();
  QTest::keyClick(Find<QTreeView>(w, "lviFiles"), Qt::Key_Delete);
  EXPECT_EQ(clearSelected.count(), 1);

  // While a preview is shown the Add menu is disabled, and so are its shortcuts.
  w.HideViewControls(false);
  Find<QTreeView>(w, "lviRename")->setFocus();
  QTest::keyClick(Find<QTreeView>(w, "lviRename"), Qt::Key_A, Qt::ControlModifier);
  QTest::keyClick(Find<QTreeView>(w, "lviRename"), Qt::Key_Delete);
  EXPECT_EQ(allFiles.count(), 0);
  EXPECT_EQ(clearSelected.count(), 1);
  w.HideViewControls(true);
  Find<QTreeView>(w, "lviFiles")->setFocus();
  QTest::keyClick(Find<QTreeView>(w, "lviFiles"), Qt::Key_A, Qt::ControlModifier);
  EXPECT_EQ(allFiles.count(), 1);
}
