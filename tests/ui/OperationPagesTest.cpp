#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <gtest/gtest.h>

#include <functional>

#include "ui/RenameFlowSupport.h"
#include "browser/FileView.h"
#include "rename/PreviewListModel.h"
#include "rename/PreviewPane.h"
#include "renamelist/RenameList.h"

using namespace renameflow;

namespace {

std::string Field(const std::string& text, size_t width) {
  std::string field = text.substr(0, width);
  field.resize(width, '\0');
  return field;
}

// An audio file's body followed by an ID3v1 tag.
std::string TaggedFile(const std::string& title, const std::string& artist) {
  return std::string(200, 'x') + "TAG" + Field(title, 30) + Field(artist, 30) + Field("", 30) + Field("", 4) +
         Field("", 30) + std::string(1, '\xff');
}

void Add(TfrmMain& w, const TempDir& folder, const std::vector<std::string>& names) {
  for (const std::string& name : names) w.renameList().AddToRenameList(name, folder.path());
}

}  // namespace

// Each operation once, from its button to the files renamed on disk.
TEST(OperationPagesEndToEnd, EveryOperationRenamesRealFiles) {
  struct Case {
    int operation;
    std::vector<std::string> before;
    std::function<void(TfrmMain&)> setUp;
    std::vector<std::string> after;  // sorted
  };
  const Case cases[] = {
      {0, {"file1.txt", "file2.txt"},
       [](TfrmMain& w) {
         Find<QLineEdit>(w, "txtReplaceFrom")->setText(QStringLiteral("file"));
         Find<QLineEdit>(w, "txtReplaceTo")->setText(QStringLiteral("item"));
       },
       {"item1.txt", "item2.txt"}},
      {1, {"song.mp3"},
       [](TfrmMain& w) {
         Find<QLineEdit>(w, "txtAddText")->setText(QStringLiteral("_x"));
         Find<QComboBox>(w, "cboAddPosition")->setCurrentText(QStringLiteral("to end"));
       },
       {"song_x.mp3"}},
      {1, {"abcdef.txt"},
       [](TfrmMain& w) {
         Find<QLineEdit>(w, "txtAddText")->setText(QStringLiteral("-"));
         Find<QComboBox>(w, "cboAddPosition")->setCurrentText(QStringLiteral("to this position"));
         Find<QLineEdit>(w, "txtAddPosition")->setText(QStringLiteral("3"));
       },
       {"ab-cdef.txt"}},
      {2, {"a.txt", "b.txt", "c.txt"},
       [](TfrmMain& w) {
         Find<QLineEdit>(w, "txtAutonumberBefore")->setText(QStringLiteral("n"));
         Find<QLineEdit>(w, "txtAutonumberStart")->setText(QStringLiteral("1"));
       },
       {"n1.txt", "n2.txt", "n3.txt"}},
      {3, {"hello world.txt"}, [](TfrmMain& w) { Find<QRadioButton>(w, "optChangeCaseAllUpperCase")->setChecked(true); },
       {"HELLO WORLD.txt"}},
      {3, {"hello world.txt"}, [](TfrmMain&) {}, {"Hello World.txt"}},
      {4, {"abcdef.txt"},
       [](TfrmMain& w) {
         Find<QLineEdit>(w, "txtTrimAmount")->setText(QStringLiteral("2"));
         Find<QComboBox>(w, "cboTrimFrom")->setCurrentText(QStringLiteral("from start"));
       },
       {"cdef.txt"}},
      {5, {"photo.jpeg", "readme"}, [](TfrmMain& w) { Find<QLineEdit>(w, "txtExtension")->setText(QStringLiteral("txt")); },
       {"photo.txt", "readme.txt"}},
      {6, {"HelloWorld.txt"}, [](TfrmMain&) {}, {"Hello_World.txt"}},
      {7, {"x.mp3"}, [](TfrmMain&) {}, {"Artist - Title.mp3"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.operation);
    TestWindow t;
    TfrmMain& w = t.Open();
    for (const std::string& name : c.before)
      t.files.WriteFile(name, c.operation == 7 ? TaggedFile("Title", "Artist") : "content of " + name);
    Add(w, t.files, c.before);
    Find<QAction>(w, QStringLiteral("mnuRename_%1").arg(c.operation))->trigger();
    c.setUp(w);

    ASSERT_TRUE(PressOperation(w, c.operation));
    EXPECT_TRUE(InPreviewLayout(w));
    EXPECT_FALSE(Find<QGroupBox>(w, "grpConfirmation")->isHidden());
    EXPECT_EQ(w.StatusText(), QStringLiteral("Ready."));
    EXPECT_TRUE(Find<QPushButton>(w, "cmdYes")->isEnabled());
    EXPECT_EQ(t.dialogs.count(), 0);

    ASSERT_TRUE(PressYes(w));
    EXPECT_EQ(Listing(t.files.path()), c.after);
    EXPECT_EQ(w.StatusText(), Counts(int(c.before.size()), 0));
    EXPECT_TRUE(InBrowsingLayout(w));
    EXPECT_TRUE(w.renameList().RenameListEntries().empty());
    EXPECT_TRUE(Preview(w).empty());
    if (c.operation != 7) {
      EXPECT_EQ(t.files.ReadFile(c.after[0]), "content of " + c.before[0]);
    }
  }
}

TEST(OperationPagesPreview, TheIncludeExtensionOptionDecidesWhatTheRulesSee) {
  struct Case {
    bool includeExtension;
    int operation;
    std::string name;
    std::string expected;
  };
  const Case cases[] = {
      {false, 1, "song.mp3", "song_x.mp3"},
      {true, 1, "song.mp3", "song.mp3_x"},
      {false, 0, "my.folder", "my.folder"},  // "folder" is the extension here
      {true, 0, "my.folder", "my.dir"},
      {true, 2, "a.txt", "x7"},  // Auto-number replaces the whole name
      {false, 5, "readme", "readme.txt"},
      {true, 5, "photo.jpeg", "photo.txt"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name + (c.includeExtension ? " with extension" : " without extension"));
    TestWindow t;
    TfrmMain& w = t.Open();
    Find<QAction>(w, "mnuIncludeExtension")->setChecked(c.includeExtension);
    w.renameList().AddToRenameList(c.name, t.files.path());
    Find<QLineEdit>(w, "txtAddText")->setText(QStringLiteral("_x"));
    Find<QComboBox>(w, "cboAddPosition")->setCurrentText(QStringLiteral("to end"));
    Find<QLineEdit>(w, "txtReplaceFrom")->setText(QStringLiteral("folder"));
    Find<QLineEdit>(w, "txtReplaceTo")->setText(QStringLiteral("dir"));
    Find<QLineEdit>(w, "txtAutonumberBefore")->setText(QStringLiteral("x"));
    Find<QLineEdit>(w, "txtAutonumberStart")->setText(QStringLiteral("7"));
    Find<QLineEdit>(w, "txtExtension")->setText(QStringLiteral("txt"));
    ASSERT_TRUE(PressOperation(w, c.operation));
    ASSERT_EQ(Preview(w).size(), 1u);
    EXPECT_EQ(Preview(w)[0].newName, c.expected);
    EXPECT_EQ(Preview(w)[0].oldName, c.name);
    EXPECT_EQ(Preview(w)[0].path, t.files.path());
  }
}

TEST(OperationPagesPreview, AutoNumberPadsToTheDigitsOfTheEntryCount) {
  struct Case {
    int entries;
    const char* start;
    bool zeros;
    std::vector<std::string> firstAndLast;
  };
  const Case cases[] = {
      {10, "1", true, {"01", "10"}},
      {12, "95", true, {"95", "106"}},
      {9, "1", true, {"1", "9"}},
      {10, "1", false, {"1", "10"}},
      {3, "abc", true, {"0", "2"}},  // not a number: 0
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.entries) + " entries from " + c.start);
    TestWindow t;
    TfrmMain& w = t.Open();
    Find<QAction>(w, "mnuIncludeExtension")->setChecked(true);
    for (int i = 0; i < c.entries; ++i) w.renameList().AddToRenameList(std::string("f").append(std::to_string(i)), t.files.path());
    Find<QLineEdit>(w, "txtAutonumberStart")->setText(QString::fromLatin1(c.start));
    Find<QCheckBox>(w, "chkAutonumberZero")->setChecked(c.zeros);
    ASSERT_TRUE(PressOperation(w, 2));
    const std::vector<std::string> names = NewNames(w);
    ASSERT_EQ(int(names.size()), c.entries);
    EXPECT_EQ(names.front(), c.firstAndLast[0]);
    EXPECT_EQ(names.back(), c.firstAndLast[1]);
  }
}

TEST(OperationPagesPreview, AnEmptyStartNumberIsSetToZeroAndTheBuildGoesOn) {
  TestWindow t;
  TfrmMain& w = t.Open();
  Find<QAction>(w, "mnuIncludeExtension")->setChecked(true);
  w.renameList().AddToRenameList("a", t.files.path());
  w.renameList().AddToRenameList("b", t.files.path());
  Find<QLineEdit>(w, "txtAutonumberStart")->clear();
  ASSERT_TRUE(PressOperation(w, 2));
  EXPECT_EQ(Find<QLineEdit>(w, "txtAutonumberStart")->text(), QStringLiteral("0"));
  EXPECT_EQ(NewNames(w), (std::vector<std::string>{"0", "1"}));
}

TEST(OperationPagesPreview, AnEmptyRequiredBoxMakesTheButtonDoNothing) {
  struct Case {
    int operation;
    std::function<QLineEdit*(TfrmMain&)> box;
  };
  const Case cases[] = {
      {0, [](TfrmMain& w) { return Find<QLineEdit>(w, "txtReplaceFrom"); }},
      {1, [](TfrmMain& w) { return Find<QLineEdit>(w, "txtAddText"); }},
      {1, [](TfrmMain& w) { return Find<QLineEdit>(w, "txtAddPosition"); }},  // also while "to start"
      {4, [](TfrmMain& w) { return Find<QLineEdit>(w, "txtTrimAmount"); }},
      {6, [](TfrmMain& w) { return Find<QLineEdit>(w, "txtAdvancedAddASCII1"); }},
      {6, [](TfrmMain& w) { return Find<QLineEdit>(w, "txtAdvancedAddASCII2"); }},
      {6, [](TfrmMain& w) { return Find<QLineEdit>(w, "txtAdvancedAddNew"); }},
      {7, [](TfrmMain& w) { return Find<QLineEdit>(w, "txtID3Format"); }},
  };
  for (const Case& c : cases) {
    TestWindow t;
    TfrmMain& w = t.Open();
    SCOPED_TRACE(c.box(w)->objectName().toStdString());
    w.renameList().AddToRenameList("a.txt", t.files.path());
    Find<QLineEdit>(w, "txtReplaceFrom")->setText(QStringLiteral("a"));
    Find<QLineEdit>(w, "txtAddText")->setText(QStringLiteral("a"));
    c.box(w)->clear();
    Find<QAction>(w, QStringLiteral("mnuRename_%1").arg(c.operation))->trigger();
    QTest::mouseClick(Find<QPushButton>(w, QStringLiteral("cmdRename_%1").arg(c.operation)), Qt::LeftButton);
    EXPECT_FALSE(Find<QTimer>(w, "tmrMakeLists")->isActive());
    EXPECT_TRUE(Find<QGroupBox>(w, "grpConfirmation")->isHidden());
    EXPECT_TRUE(InBrowsingLayout(w));
    EXPECT_EQ(w.StatusText(), QStringLiteral("Ready."));
    EXPECT_EQ(t.dialogs.count(), 0);
  }
}

TEST(OperationPagesPreview, AFailingEntryEndsTheBuildQuietlyKeepingTheEntriesBeforeIt) {
  TestWindow t;
  TfrmMain& w = t.Open();
  t.files.WriteFile("one.mp3", TaggedFile("One", "Band"));
  t.files.WriteFile("three.mp3", TaggedFile("Three", "Band"));
  Add(w, t.files, {"one.mp3", "gone.mp3", "three.mp3"});
  ASSERT_TRUE(PressOperation(w, 7));
  EXPECT_EQ(NewNames(w), std::vector<std::string>{"Band - One.mp3"});
  EXPECT_EQ(t.dialogs.count(), 0);
  EXPECT_TRUE(Find<QPushButton>(w, "cmdYes")->isEnabled());
  EXPECT_EQ(w.StatusText(), QStringLiteral("Ready."));
}

TEST(OperationPagesPreview, AnEmptyListIsFilledFromTheFileViewAndEmptiedAgainByNo) {
  TestWindow t;
  TfrmMain& w = t.Open();
  t.files.WriteFile("b.txt");
  t.files.WriteFile("a.txt");
  w.fileView().ListFiles(t.files.path() + "/");
  Find<QLineEdit>(w, "txtReplaceFrom")->setText(QStringLiteral(".txt"));  // the extension is not seen: names stay
  ASSERT_TRUE(PressOperation(w, 0));
  ASSERT_EQ(Preview(w).size(), 2u);
  EXPECT_EQ(w.renameList().RenameListEntries().size(), 2u);
  EXPECT_EQ(w.renameList().KeepRenameList(), 0);
  EXPECT_EQ(Preview(w)[0].path, t.files.path());

  QTest::mouseClick(Find<QPushButton>(w, "cmdNo"), Qt::LeftButton);
  EXPECT_TRUE(InBrowsingLayout(w));
  EXPECT_TRUE(Preview(w).empty());
  EXPECT_TRUE(w.renameList().RenameListEntries().empty());
  EXPECT_EQ(w.StatusText(), QStringLiteral("Ready."));
}

TEST(OperationPagesPreview, ARenameListPutTogetherByTheUserSurvivesNo) {
  TestWindow t;
  TfrmMain& w = t.Open();
  w.renameList().AddToRenameList("a.txt", t.files.path());
  w.renameList().SetKeepRenameList(1);
  Find<QLineEdit>(w, "txtReplaceFrom")->setText(QStringLiteral("a"));
  ASSERT_TRUE(PressOperation(w, 0));
  QTest::mouseClick(Find<QPushButton>(w, "cmdNo"), Qt::LeftButton);
  EXPECT_EQ(w.renameList().RenameListEntries().size(), 1u);
  EXPECT_TRUE(Find<QGroupBox>(w, "grpConfirmation")->isHidden());
  EXPECT_FALSE(Find<QGroupBox>(w, "grpRename_0")->isHidden()) << "the page shown before the preview is back";
}

TEST(OperationPagesPreview, NoFilesAnywhereShowsNoFilesSelected) {
  TestWindow t;
  TfrmMain& w = t.Open();
  w.fileView().ListFiles(t.files.path() + "/");
  Find<QLineEdit>(w, "txtReplaceFrom")->setText(QStringLiteral("a"));
  ASSERT_TRUE(PressOperation(w, 0));
  ASSERT_EQ(t.dialogs.count(), 1);
  EXPECT_EQ(t.dialogs.last().title, QStringLiteral("No files selected"));
  EXPECT_EQ(t.dialogs.last().text,
            QStringLiteral("Please select the files and folders you wish to rename by adding them to the list."));
  EXPECT_EQ(t.dialogs.last().icon, DialogIcon::Information);
  EXPECT_EQ(w.StatusText(), QStringLiteral("Ready."));
  EXPECT_TRUE(InBrowsingLayout(w)) << "nothing to confirm";
  EXPECT_TRUE(Find<QGroupBox>(w, "grpConfirmation")->isHidden());
  EXPECT_TRUE(Find<QGroupBox>(w, "grpLoading")->isHidden());
  EXPECT_TRUE(Preview(w).empty());
}

// Validation: one message when the preview is built, silent re-checks after.
TEST(OperationPagesValidation, InvalidAndConflictingNamesBlockYesUntilEdited) {
  struct Case {
    std::vector<std::string> names;
    const char* replaceFrom;
    const char* replaceTo;
    const char* message;
    size_t editRow;
    const char* fixedName;
  };
  const Case cases[] = {
      {{"a1.txt", "b1.txt"}, "b", "b:", "There are invalid filenames. This rename cannot be completed until you change them.",
       1, "b2.txt"},
      {{"xa.txt", "ya.txt"}, "y", "x", "There are conflicting filenames. This rename cannot be completed until you change them.",
       1, "za.txt"},
      {{"name"}, "name", "name ", "There are invalid filenames. This rename cannot be completed until you change them.",
       0, "name2"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    TestWindow t;
    TfrmMain& w = t.Open();
    Find<QAction>(w, "mnuIncludeExtension")->setChecked(true);
    for (const std::string& name : c.names) w.renameList().AddToRenameList(name, t.files.path());
    Find<QLineEdit>(w, "txtReplaceFrom")->setText(QString::fromUtf8(c.replaceFrom));
    Find<QLineEdit>(w, "txtReplaceTo")->setText(QString::fromUtf8(c.replaceTo));
    ASSERT_TRUE(PressOperation(w, 0));
    ASSERT_EQ(t.dialogs.count(), 1);
    EXPECT_EQ(t.dialogs.last().title, QStringLiteral("Error"));
    EXPECT_EQ(t.dialogs.last().text, QString::fromLatin1(c.message));
    EXPECT_EQ(t.dialogs.last().icon, DialogIcon::Error);
    EXPECT_FALSE(Find<QPushButton>(w, "cmdYes")->isEnabled());

    // An edit that does not mend it: still disabled, still no message.
    const QModelIndex cell = PreviewModel(w)->index(int(c.editRow), 0);
    PreviewModel(w)->setData(cell, QStringLiteral("a?b"));
    EXPECT_TRUE(Find<QTimer>(w, "tmrCheckFileNames")->isActive());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !Find<QTimer>(w, "tmrCheckFileNames")->isActive(); }));
    EXPECT_FALSE(Find<QPushButton>(w, "cmdYes")->isEnabled());

    PreviewModel(w)->setData(cell, QString::fromUtf8(c.fixedName));
    ASSERT_TRUE(QTest::qWaitFor([&] { return Find<QPushButton>(w, "cmdYes")->isEnabled(); }));
    EXPECT_EQ(t.dialogs.count(), 1);
    EXPECT_EQ(Preview(w)[c.editRow].newName, c.fixedName);
  }
}

TEST(OperationPagesValidation, AnEmptyPreviewPassesTheCheck) {
  TestWindow t;
  TfrmMain& w = t.Open();
  EXPECT_TRUE(w.previewPane().CheckFileNames(true));
  EXPECT_TRUE(Find<QPushButton>(w, "cmdYes")->isEnabled());
  EXPECT_EQ(t.dialogs.count(), 0);
}

TEST(OperationPagesValidation, AnInPlaceEditThroughTheEditorReValidates) {
  TestWindow t;
  TfrmMain& w = t.Open();
  w.show();
  Find<QAction>(w, "mnuIncludeExtension")->setChecked(true);
  w.renameList().AddToRenameList("a", t.files.path());
  Find<QLineEdit>(w, "txtReplaceFrom")->setText(QStringLiteral("a"));
  Find<QLineEdit>(w, "txtReplaceTo")->setText(QStringLiteral("a/"));
  ASSERT_TRUE(PressOperation(w, 0));
  ASSERT_FALSE(Find<QPushButton>(w, "cmdYes")->isEnabled());

  const QModelIndex cell = PreviewModel(w)->index(0, 0);
  Find<QTreeView>(w, "lviRename")->setCurrentIndex(cell);
  Find<QTreeView>(w, "lviRename")->edit(cell);
  auto* editor = Find<QTreeView>(w, "lviRename")->viewport()->findChild<QLineEdit*>();
  ASSERT_NE(editor, nullptr);
  editor->setText(QStringLiteral("b"));
  QTest::keyClick(editor, Qt::Key_Return);  // the view commits the edit from its event loop
  ASSERT_TRUE(QTest::qWaitFor([&] { return Preview(w)[0].newName == "b"; }));
  ASSERT_TRUE(QTest::qWaitFor([&] { return Find<QPushButton>(w, "cmdYes")->isEnabled(); }));
  EXPECT_FALSE(PreviewModel(w)->flags(PreviewModel(w)->index(0, 1)) & Qt::ItemIsEditable);
  EXPECT_FALSE(PreviewModel(w)->flags(PreviewModel(w)->index(0, 2)) & Qt::ItemIsEditable);
}

TEST(OperationPagesValidation, AnEditThatChangesNothingKeepsTheBytesOfANameThatIsNotUtf8) {
  TestWindow t;
  TfrmMain& w = t.Open();
  const std::string latin1 = "caf\xE9.txt";
  PreviewModel(w)->SetEntries({{latin1, latin1, t.files.path()}});
  const QModelIndex cell = PreviewModel(w)->index(0, 0);
  PreviewModel(w)->setData(cell, PreviewModel(w)->data(cell, Qt::EditRole));
  EXPECT_EQ(Preview(w)[0].newName, latin1);
  PreviewModel(w)->setData(cell, QStringLiteral("café.txt"));
  EXPECT_EQ(Preview(w)[0].newName, "caf\xC3\xA9.txt");
}

TEST(OperationPagesPreview, ThePreviewListShowsItsThreeColumns) {
  TestWindow t;
  TfrmMain& w = t.Open();
  w.renameList().AddToRenameList("old.txt", t.files.path());
  Find<QLineEdit>(w, "txtReplaceFrom")->setText(QStringLiteral("old"));
  Find<QLineEdit>(w, "txtReplaceTo")->setText(QStringLiteral("new"));
  ASSERT_TRUE(PressOperation(w, 0));
  PreviewListModel& model = *PreviewModel(w);
  ASSERT_EQ(model.columnCount(), 3);
  EXPECT_EQ(model.headerData(0, Qt::Horizontal).toString(), QStringLiteral("New filename"));
  EXPECT_EQ(model.headerData(1, Qt::Horizontal).toString(), QStringLiteral("Old Filename"));
  EXPECT_EQ(model.headerData(2, Qt::Horizontal).toString(), QStringLiteral("Path"));
  EXPECT_EQ(model.data(model.index(0, 0)).toString(), QStringLiteral("new.txt"));
  EXPECT_EQ(model.data(model.index(0, 1)).toString(), QStringLiteral("old.txt"));
  EXPECT_EQ(model.data(model.index(0, 2)).toString(), FromBytes(t.files.path()));
  EXPECT_EQ(Find<QTreeView>(w, "lviRename")->model(), &model);
}

// The key filters act on typed keys only.
TEST(OperationPagesInput, NumberBoxesTakeDigitsAndBackspaceOnly) {
  TestWindow t;
  TfrmMain& w = t.Open();
  for (QLineEdit* box : {Find<QLineEdit>(w, "txtAddPosition"), Find<QLineEdit>(w, "txtAutonumberStart"), Find<QLineEdit>(w, "txtTrimAmount"), Find<QLineEdit>(w, "txtAdvancedAddASCII1"),
                         Find<QLineEdit>(w, "txtAdvancedAddASCII2")}) {
    SCOPED_TRACE(box->objectName().toStdString());
    box->setEnabled(true);
    box->setText(QStringLiteral("3"));
    box->setCursorPosition(1);
    QTest::keyClicks(box, QStringLiteral("a.- x"));
    EXPECT_EQ(box->text(), QStringLiteral("3"));
    QTest::keyClick(box, Qt::Key_Backspace);
    EXPECT_EQ(box->text(), QString());
    QTest::keyClicks(box, QStringLiteral("1z2"));
    EXPECT_EQ(box->text(), QStringLiteral("12"));
    QTest::keyClick(box, Qt::Key_Left);
    QTest::keyClick(box, Qt::Key_Delete);
    EXPECT_EQ(box->text(), QStringLiteral("1"));
  }
  // Pasting is no typed key: it still works.
  QApplication::clipboard()->setText(QStringLiteral("x9"));
  Find<QLineEdit>(w, "txtTrimAmount")->clear();
  QTest::keyClick(Find<QLineEdit>(w, "txtTrimAmount"), Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(Find<QLineEdit>(w, "txtTrimAmount")->text(), QStringLiteral("x9"));
}

TEST(OperationPagesInput, AFullStopIsSwallowedInTheExtensionAndAdvancedAddBoxes) {
  TestWindow t;
  TfrmMain& w = t.Open();
  for (QLineEdit* box : {Find<QLineEdit>(w, "txtExtension"), Find<QLineEdit>(w, "txtAdvancedAddNew")}) {
    SCOPED_TRACE(box->objectName().toStdString());
    box->clear();
    QTest::keyClicks(box, QStringLiteral(".t.x1 t"));
    EXPECT_EQ(box->text(), QStringLiteral("tx1 t"));
  }
  QTest::keyClicks(Find<QLineEdit>(w, "txtReplaceFrom"), QStringLiteral("a.b"));
  EXPECT_EQ(Find<QLineEdit>(w, "txtReplaceFrom")->text(), QStringLiteral("a.b")) << "other boxes take every key";
}

TEST(OperationPagesInput, ComboTextsThatAreNoItemGoBackToTheFirstItem) {
  TestWindow t;
  TfrmMain& w = t.Open();
  struct Case {
    QComboBox* combo;
    const char* typed;
    const char* shown;
  };
  const Case cases[] = {
      {Find<QComboBox>(w, "cboTrimFrom"), "from end", "from end"},
      {Find<QComboBox>(w, "cboTrimFrom"), "From End", "from start"},
      {Find<QComboBox>(w, "cboTrimFrom"), "x", "from start"},
      {Find<QComboBox>(w, "cboTrimAmount"), "make filenames this long", "make filenames this long"},
      {Find<QComboBox>(w, "cboTrimAmount"), "make", "trim the selected amount"},
      {Find<QComboBox>(w, "cboAddPosition"), "to the end", "to start"},
      {Find<QComboBox>(w, "cboAdvancedAddPosition"), "after char", "after char"},
      {Find<QComboBox>(w, "cboAdvancedAddPosition"), "", "before char"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    c.combo->setEditText(QString::fromLatin1(c.typed));
    EXPECT_EQ(c.combo->currentText(), QString::fromLatin1(c.shown));
  }
  // Typing into the box character by character.
  Find<QComboBox>(w, "cboTrimFrom")->setCurrentIndex(1);
  Find<QComboBox>(w, "cboTrimFrom")->lineEdit()->selectAll();
  QTest::keyClicks(Find<QComboBox>(w, "cboTrimFrom")->lineEdit(), QStringLiteral("q"));
  EXPECT_EQ(Find<QComboBox>(w, "cboTrimFrom")->currentText(), QStringLiteral("from start"));
}

TEST(OperationPagesInput, ChoosingToThisPositionEnablesThePositionBox) {
  TestWindow t;
  TfrmMain& w = t.Open();
  Find<QAction>(w, "mnuRename_1")->trigger();
  w.show();
  Find<QComboBox>(w, "cboAddPosition")->setFocus();
  EXPECT_FALSE(Find<QLineEdit>(w, "txtAddPosition")->isEnabled());
  QTest::keyClick(Find<QComboBox>(w, "cboAddPosition"), Qt::Key_Down);  // "to end"
  EXPECT_EQ(Find<QComboBox>(w, "cboAddPosition")->currentText(), QStringLiteral("to end"));
  EXPECT_FALSE(Find<QLineEdit>(w, "txtAddPosition")->isEnabled());
  QTest::keyClick(Find<QComboBox>(w, "cboAddPosition"), Qt::Key_Down);  // "to this position"
  EXPECT_TRUE(Find<QLineEdit>(w, "txtAddPosition")->isEnabled());
  QTest::keyClick(Find<QComboBox>(w, "cboAddPosition"), Qt::Key_Up);
  EXPECT_FALSE(Find<QLineEdit>(w, "txtAddPosition")->isEnabled());
}
