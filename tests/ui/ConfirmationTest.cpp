#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QRadioButton>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <utility>

#include "support/ExfatMount.h"
#include "ui/RenameFlowSupport.h"
#include "browser/FileView.h"
#include "rename/PreviewListModel.h"
#include "rename/PreviewPane.h"
#include "renamelist/RenameList.h"

using namespace renameflow;

namespace {

// A preview over the given files of `folder` (added after any entries already
// in the rename list) whose new names are then typed in place, as the user
// would: old name -> new name.
void PreviewOf(TestWindow& t, const std::string& folder, const std::vector<std::pair<std::string, std::string>>& renames) {
  TfrmMain& w = t.window();
  Find<QAction>(w, "mnuIncludeExtension")->setChecked(true);
  for (const auto& rename : renames) w.renameList().AddToRenameList(rename.first, folder);
  Find<QLineEdit>(w, "txtReplaceFrom")->setText(QStringLiteral("\x01"));  // changes nothing
  ASSERT_TRUE(PressOperation(w, 0));
  ASSERT_GE(Preview(w).size(), renames.size());
  for (size_t row = 0; row < Preview(w).size(); ++row) {
    for (const auto& [oldName, newName] : renames)
      if (Preview(w)[row].oldName == oldName && Preview(w)[row].path == folder)
        PreviewModel(w)->setData(PreviewModel(w)->index(int(row), 0), FromBytes(newName));
  }
  ASSERT_TRUE(QTest::qWaitFor([&] { return !Find<QTimer>(w, "tmrCheckFileNames")->isActive(); }));
}

std::string UndoPath(TestWindow& t) { return t.programFolder.path() + "/UNDO"; }

std::string ReadWhole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void SelectRow(TfrmMain& w, int row) {
  Find<QTreeView>(w, "lviRename")->selectionModel()->select(PreviewModel(w)->index(row, 0),
                                        QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

}  // namespace

TEST(ConfirmationRun, YesEmptiesBothListsReloadsTheFileViewAndReportsTheCounts) {
  TestWindow t;
  TfrmMain& w = t.Open();
  t.files.WriteFile("old1.txt", "1");
  t.files.WriteFile("old2.txt", "2");
  w.fileView().ListFiles(t.files.path() + "/");
  w.renameList().AddToRenameList("old1.txt", t.files.path());
  w.renameList().AddToRenameList("old2.txt", t.files.path());
  w.renameList().SetKeepRenameList(1);
  Find<QLineEdit>(w, "txtReplaceFrom")->setText(QStringLiteral("old"));
  Find<QLineEdit>(w, "txtReplaceTo")->setText(QStringLiteral("new"));
  ASSERT_TRUE(PressOperation(w, 0));

  QTest::mouseClick(Find<QPushButton>(w, "cmdYes"), Qt::LeftButton);
  EXPECT_FALSE(Find<QPushButton>(w, "cmdYes")->isEnabled()) << "a second press cannot start a second run";
  EXPECT_TRUE(Find<QGroupBox>(w, "grpConfirmation")->isHidden());
  EXPECT_EQ(w.StatusText(), QStringLiteral("Performing rename..."));
  EXPECT_FALSE(Find<QGroupBox>(w, "grpLoading")->isHidden());
  ASSERT_TRUE(QTest::qWaitFor([&] { return StatusIsReady(w); }));

  EXPECT_EQ(w.StatusText(), Counts(2, 0));
  EXPECT_TRUE(Find<QGroupBox>(w, "grpLoading")->isHidden());
  EXPECT_TRUE(InBrowsingLayout(w));
  EXPECT_TRUE(w.renameList().RenameListEntries().empty()) << "emptied whatever KeepRenameList says";
  EXPECT_TRUE(Preview(w).empty());
  EXPECT_EQ(Listing(t.files.path()), (std::vector<std::string>{"new1.txt", "new2.txt"}));
  EXPECT_EQ(t.files.ReadFile("new2.txt"), "2");
  EXPECT_EQ(FileViewNames(w), (std::vector<std::string>{"new1.txt", "new2.txt"}));
  EXPECT_EQ(ReadWhole(UndoPath(t)), "mv -n -T -- \"" + t.files.path() + "/new2.txt\" \"" + t.files.path() +
                                        "/old2.txt\"\n" + "mv -n -T -- \"" + t.files.path() + "/new1.txt\" \"" +
                                        t.files.path() + "/old1.txt\"\n");
  EXPECT_EQ(t.dialogs.count(), 0);
}

// Records every text ShowStatus shows: each call sets or clears the wait
// cursor of the busy pane, after the status line has its new text.
class StatusRecorder : public QObject {
 public:
  explicit StatusRecorder(TfrmMain& w) : window_(w) { Find<QGroupBox>(w, "grpLoading")->installEventFilter(this); }
  QStringList texts;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::CursorChange) texts.push_back(window_.StatusText());
    return QObject::eventFilter(watched, event);
  }

 private:
  TfrmMain& window_;
};

namespace {

// The preview of "a.txt" in `folder`, shown in the file view, given an "x"
// in front by the Add page.
bool PreviewOfAddingXToA(TfrmMain& w, TempDir& folder) {
  folder.WriteFile("a.txt");
  w.fileView().ListFiles(folder.path() + "/");
  w.renameList().AddToRenameList("a.txt", folder.path());
  Find<QLineEdit>(w, "txtAddText")->setText(QStringLiteral("x"));
  return PressOperation(w, 1);
}

}  // namespace

TEST(ConfirmationRun, TheStatusTextsOfOneExecutionComeInTheirOrder) {
  TestWindow t;
  TfrmMain& w = t.Open();
  ASSERT_TRUE(PreviewOfAddingXToA(w, t.files));
  StatusRecorder status(w);
  ASSERT_TRUE(PressYes(w));
  EXPECT_EQ(status.texts, (QStringList{"Performing rename...", "Loading files...", "Ready.", "Clearing lists...",
                                       "Ready.", Counts(1, 0)}));
}

// The folder on show may be the one the undo file goes to: the view is read
// after the file is written there, in the background like the rest.
TEST(ConfirmationRun, AViewOfTheUndoFilesFolderShowsIt) {
  TestWindow t;
  TfrmMain& w = t.Open();
  ASSERT_TRUE(PreviewOfAddingXToA(w, t.programFolder));
  ASSERT_TRUE(PressYes(w));
  EXPECT_EQ(FileViewNames(w), (std::vector<std::string>{"UNDO", "xa.txt"}));
}

// The cases of one execution: which renames happen, how they are counted,
// and that no file is ever lost or replaced.
TEST(ConfirmationRun, EntriesAreCountedAndNoFileIsEverReplaced) {
  struct Case {
    const char* title;
    std::vector<std::string> files;  // each holds its own name as content
    std::vector<std::pair<std::string, std::string>> renames;
    int successes, failures;
    std::vector<std::pair<std::string, std::string>> afterwards;  // name -> content
  };
  const Case cases[] = {
      {"unchanged entry", {"a.txt", "same.txt"}, {{"a.txt", "b.txt"}, {"same.txt", "same.txt"}}, 1, 0,
       {{"b.txt", "a.txt"}, {"same.txt", "same.txt"}}},
      {"target outside the preview", {"a.txt", "b.txt"}, {{"a.txt", "b.txt"}}, 0, 1,
       {{"a.txt", "a.txt"}, {"b.txt", "b.txt"}}},
      {"chain", {"a.txt", "b.txt"}, {{"a.txt", "b.txt"}, {"b.txt", "c.txt"}}, 2, 0,
       {{"b.txt", "a.txt"}, {"c.txt", "b.txt"}}},
      {"swap", {"a.txt", "b.txt"}, {{"a.txt", "b.txt"}, {"b.txt", "a.txt"}}, 2, 0,
       {{"a.txt", "b.txt"}, {"b.txt", "a.txt"}}},
      {"case only", {"abc.txt"}, {{"abc.txt", "ABC.txt"}}, 1, 0, {{"ABC.txt", "abc.txt"}}},
      {"entry gone", {}, {{"gone.txt", "new.txt"}}, 0, 1, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.title);
    TestWindow t;
    TfrmMain& w = t.Open();
    for (const std::string& name : c.files) t.files.WriteFile(name, name);
    PreviewOf(t, t.files.path(), c.renames);
    ASSERT_TRUE(Find<QPushButton>(w, "cmdYes")->isEnabled());
    ASSERT_TRUE(PressYes(w));
    EXPECT_EQ(w.StatusText(), Counts(c.successes, c.failures));
    std::vector<std::string> names;
    for (const auto& [name, content] : c.afterwards) {
      names.push_back(name);
      EXPECT_EQ(t.files.ReadFile(name), content) << name;
    }
    EXPECT_EQ(Listing(t.files.path()), names);
    EXPECT_EQ(t.dialogs.count(), 0);
  }
}

TEST(ConfirmationRun, ACaseOnlyRenameWorksOnACaseFoldingVolume) {
  ExfatMount volume;
  if (!volume.ok()) GTEST_SKIP() << volume.whyNot();
  TestWindow t;
  TfrmMain& w = t.Open();
  std::ofstream(volume.path() + "/song one.mp3") << "music";
  w.renameList().AddToRenameList("song one.mp3", volume.path());
  Find<QRadioButton>(w, "optChangeCaseAllUpperCase")->setChecked(true);
  ASSERT_TRUE(PressOperation(w, 3));
  ASSERT_TRUE(PressYes(w));
  EXPECT_EQ(w.StatusText(), Counts(1, 0));
  EXPECT_EQ(Listing(volume.path()), std::vector<std::string>{"SONG ONE.mp3"});
  EXPECT_EQ(ReadWhole(volume.path() + "/SONG ONE.mp3"), "music");
}

// The undo file: exact bytes, and running it with sh puts every name back and
// does nothing else, whatever characters the names hold.
TEST(ConfirmationUndo, RunningTheUndoFileRestoresEveryNameAndNothingElse) {
  TestWindow t;
  TfrmMain& w = t.Open();
  // Old names with the characters sh acts on inside double quotes, and new
  // names ($ and ` are valid in a name; \ and " are not).
  const std::vector<std::pair<std::string, std::string>> renames = {
      {"a$HOME.txt", "x$HOME`id`.txt"},        {"b`touch pwned`.txt", "b.txt"},
      {"c\\d.txt", "c-d.txt"},                {"e\"f.txt", "e-f.txt"},
      {"g$(touch pwned2).txt", "g.txt"},       {"plain.txt", "new plain.txt"},
  };
  for (const auto& rename : renames) t.files.WriteFile(rename.first, rename.first);
  t.files.MakeFolder("sub dir");
  w.renameList().AddToRenameList("sub dir", t.files.path() + "/");  // a path that ends in a delimiter
  PreviewOf(t, t.files.path(), renames);
  PreviewModel(w)->setData(PreviewModel(w)->index(0, 0), QStringLiteral("sub-dir"));
  ASSERT_TRUE(QTest::qWaitFor([&] { return Find<QPushButton>(w, "cmdYes")->isEnabled(); }));
  ASSERT_TRUE(PressYes(w));
  ASSERT_EQ(w.StatusText(), Counts(7, 0));
  EXPECT_EQ(Listing(t.files.path()), (std::vector<std::string>{"b.txt", "c-d.txt", "e-f.txt", "g.txt",
                                                                "new plain.txt", "sub-dir", "x$HOME`id`.txt"}));

  // Lines last to first, so that a chain of renames comes back in order.
  const std::string d = t.files.path() + "/";
  EXPECT_EQ(ReadWhole(UndoPath(t)),
            "mv -n -T -- \"" + d + "new plain.txt\" \"" + d + "plain.txt\"\n" +
            "mv -n -T -- \"" + d + "g.txt\" \"" + d + "g\\$(touch pwned2).txt\"\n" +
            "mv -n -T -- \"" + d + "e-f.txt\" \"" + d + "e\\\"f.txt\"\n" +
            "mv -n -T -- \"" + d + "c-d.txt\" \"" + d + "c\\\\d.txt\"\n" +
            "mv -n -T -- \"" + d + "b.txt\" \"" + d + "b\\`touch pwned\\`.txt\"\n" +
            "mv -n -T -- \"" + d + "x\\$HOME\\`id\\`.txt\" \"" + d + "a\\$HOME.txt\"\n" +
            "mv -n -T -- \"" + d + "sub-dir\" \"" + d + "sub dir\"\n");

  TempDir elsewhere;
  const std::string command = "cd '" + elsewhere.path() + "' && sh '" + UndoPath(t) + "'";
  ASSERT_EQ(std::system(command.c_str()), 0);
  std::vector<std::string> expected = {"sub dir"};
  for (const auto& rename : renames) expected.push_back(rename.first);
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(Listing(t.files.path()), expected);
  for (const auto& rename : renames) EXPECT_EQ(t.files.ReadFile(rename.first), rename.first);
  EXPECT_TRUE(Listing(elsewhere.path()).empty()) << "the undo file ran a command";
}

TEST(ConfirmationUndo, TheOptionDecidesWhetherAnUndoFileIsWritten) {
  for (bool undo : {false, true}) {
    SCOPED_TRACE(undo);
    TestWindow t;
    TfrmMain& w = t.Open();
    t.programFolder.WriteFile("UNDO", "earlier\n");
    t.files.WriteFile("same.txt");
    Find<QAction>(w, "mnuUndo")->setChecked(undo);
    PreviewOf(t, t.files.path(), {{"same.txt", "same.txt"}});
    ASSERT_TRUE(PressYes(w));
    EXPECT_EQ(w.StatusText(), Counts(0, 0));
    // With the option on a run without changes leaves an empty file.
    EXPECT_EQ(ReadWhole(UndoPath(t)), undo ? "" : "earlier\n");
  }
}

TEST(ConfirmationUndo, AnUndoFileThatCannotBeWrittenIsReportedAfterTheRenames) {
  TestWindow t;
  // Neither the program folder nor the state folder can take the file.
  std::filesystem::create_directories(t.StatePath() + "/UNDO");
  TfrmMain& w = t.OpenWithProgramFolder(t.programFolder.path() + "/missing/");
  t.files.WriteFile("a.txt", "A");
  PreviewOf(t, t.files.path(), {{"a.txt", "b.txt"}});
  ASSERT_TRUE(PressYes(w));
  EXPECT_EQ(Listing(t.files.path()), std::vector<std::string>{"b.txt"});
  EXPECT_EQ(t.files.ReadFile("b.txt"), "A");
  EXPECT_EQ(w.StatusText(), Counts(1, 0));
  ASSERT_EQ(t.dialogs.count(), 1);
  EXPECT_EQ(t.dialogs.last().title, QStringLiteral("Error"));
  EXPECT_EQ(t.dialogs.last().icon, DialogIcon::Error);
  const QString prefix = QStringLiteral("Cannot create file \"%1\". ").arg(FromBytes(w.ProgramFolder() + "UNDO"));
  EXPECT_TRUE(t.dialogs.last().text.startsWith(prefix)) << t.dialogs.last().text.toStdString();
  EXPECT_GT(t.dialogs.last().text.size(), prefix.size()) << "the system's reason follows";
  EXPECT_TRUE(InBrowsingLayout(w));
}

TEST(ConfirmationDetails, ADoubleClickShowsTheEntryInOneOfThreeForms) {
  TestWindow t;
  TfrmMain& w = t.Open();
  w.show();
  const std::string d = t.files.path();
  w.renameList().AddToRenameList("old.txt", d);
  w.renameList().AddToRenameList("same.txt", d);
  w.renameList().AddToRenameList("folder", d + "/");
  w.renameList().AddToRenameList("bad.txt", d);
  Find<QAction>(w, "mnuIncludeExtension")->setChecked(true);
  Find<QLineEdit>(w, "txtReplaceFrom")->setText(QStringLiteral("\x01"));
  ASSERT_TRUE(PressOperation(w, 0));
  PreviewListModel& model = *PreviewModel(w);
  model.setData(model.index(0, 0), QStringLiteral("new.txt"));
  model.setData(model.index(3, 0), QStringLiteral("bad.txt "));
  t.dialogs.clear();

  struct Case {
    int row;
    DialogIcon icon;
    QString text;
  };
  const Case cases[] = {
      {0, DialogIcon::Information, FromBytes(d) + "\r\n\r\nold.txt\r\nnew.txt"},
      {1, DialogIcon::Information, FromBytes(d) + "/same.txt\r\n\r\nNo changes."},
      {2, DialogIcon::Information, FromBytes(d) + "/folder\r\n\r\nNo changes."},
      {3, DialogIcon::Error, QStringLiteral("bad.txt \r\n\r\nInvalid filename!")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.row);
    const QRect cell = Find<QTreeView>(w, "lviRename")->visualRect(model.index(c.row, 1));
    QTest::mouseClick(Find<QTreeView>(w, "lviRename")->viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseDClick(Find<QTreeView>(w, "lviRename")->viewport(), Qt::LeftButton, {}, cell.center());
    ASSERT_EQ(t.dialogs.count(), 1);
    EXPECT_EQ(t.dialogs.last().title, QStringLiteral("Rename to be done"));
    EXPECT_EQ(t.dialogs.last().icon, c.icon);
    EXPECT_EQ(t.dialogs.last().text, c.text);
    t.dialogs.clear();
  }
  EXPECT_EQ(Preview(w).size(), 4u) << "nothing in the lists changes";

  Find<QTreeView>(w, "lviRename")->clearSelection();
  w.previewPane().lviRenameDblClick();
  EXPECT_EQ(t.dialogs.count(), 0) << "no box without a selected entry";
}

TEST(ConfirmationRemove, RemovingAnEntryReChecksSilentlyAndTheLastOneActsAsNo) {
  TestWindow t;
  TfrmMain& w = t.Open();
  t.files.WriteFile("xa.txt");
  t.files.WriteFile("ya.txt");
  w.renameList().AddToRenameList("xa.txt", t.files.path());
  w.renameList().AddToRenameList("ya.txt", t.files.path());
  w.renameList().SetKeepRenameList(1);
  Find<QLineEdit>(w, "txtTrimAmount")->setText(QStringLiteral("1"));
  Find<QComboBox>(w, "cboTrimFrom")->setCurrentText(QStringLiteral("from start"));
  ASSERT_TRUE(PressOperation(w, 4));  // both become "a.txt"
  ASSERT_EQ(t.dialogs.count(), 1);
  ASSERT_FALSE(Find<QPushButton>(w, "cmdYes")->isEnabled());

  SelectRow(w, 1);
  Find<QAction>(w, "mnuRemoveFromList")->trigger();
  EXPECT_EQ(NewNames(w), std::vector<std::string>{"a.txt"});
  EXPECT_EQ(Preview(w)[0].oldName, "xa.txt");
  EXPECT_TRUE(Find<QPushButton>(w, "cmdYes")->isEnabled());
  EXPECT_EQ(t.dialogs.count(), 1);
  EXPECT_TRUE(InPreviewLayout(w));

  SelectRow(w, 0);
  Find<QAction>(w, "mnuRemoveFromList")->trigger();
  EXPECT_TRUE(Preview(w).empty());
  EXPECT_TRUE(InBrowsingLayout(w));
  EXPECT_TRUE(Find<QGroupBox>(w, "grpConfirmation")->isHidden());
  EXPECT_EQ(w.StatusText(), QStringLiteral("Ready."));
  EXPECT_EQ(w.renameList().RenameListEntries().size(), 2u) << "the removal touches the preview only";
  EXPECT_EQ(Listing(t.files.path()), (std::vector<std::string>{"xa.txt", "ya.txt"}));
}

TEST(ConfirmationRemove, TheRightButtonOpensThePopupOnlyOverASelection) {
  TestWindow t;
  TfrmMain& w = t.Open();
  w.show();
  w.renameList().AddToRenameList("a.txt", t.files.path());
  w.renameList().AddToRenameList("b.txt", t.files.path());
  Find<QLineEdit>(w, "txtReplaceFrom")->setText(QStringLiteral("a"));
  ASSERT_TRUE(PressOperation(w, 0));
  Find<QTreeView>(w, "lviRename")->clearSelection();
  QWidget* viewport = Find<QTreeView>(w, "lviRename")->viewport();
  const QPoint below(10, viewport->height() - 5);  // the empty area under the rows

  QTest::mousePress(viewport, Qt::RightButton, {}, below);
  QTest::mouseRelease(viewport, Qt::RightButton, {}, below);
  QTest::qWait(20);
  EXPECT_FALSE(Find<QMenu>(w, "mnuPopUpRename")->isVisible());

  const QPoint secondRow = Find<QTreeView>(w, "lviRename")->visualRect(PreviewModel(w)->index(1, 0)).center();
  QTest::mousePress(viewport, Qt::LeftButton, {}, secondRow);
  QTest::mouseRelease(viewport, Qt::LeftButton, {}, secondRow);
  QTest::qWait(20);
  EXPECT_FALSE(Find<QMenu>(w, "mnuPopUpRename")->isVisible()) << "the left button opens nothing";

  QTest::mousePress(viewport, Qt::RightButton, {}, secondRow);
  ASSERT_TRUE(QTest::qWaitFor([&] { return Find<QMenu>(w, "mnuPopUpRename")->isVisible(); }, 2000));
  Find<QMenu>(w, "mnuPopUpRename")->hide();
  Find<QAction>(w, "mnuRemoveFromList")->trigger();
  EXPECT_EQ(Preview(w).size(), 1u);
  EXPECT_EQ(Preview(w)[0].oldName, "a.txt");
}
