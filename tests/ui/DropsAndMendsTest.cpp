// Drops from other programs, the confirmation pane's keys, typed relative
// paths, the About box, and a recursive search that is
// cancelled while blocked in a folder read on a stalled FUSE mount.

#include <QComboBox>
#include <QDragMoveEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "browser/FileView.h"
#include "platform/Paths.h"
#include "renamelist/RecursiveSearch.h"
#include "renamelist/RenameList.h"
#include "support/ExfatMount.h"
#include "ui/RenameFlowSupport.h"

namespace {

using Entries = std::vector<RenameListEntry>;

QMimeData* UriList(const QByteArray& bytes) {
  auto* mime = new QMimeData;
  mime->setData(QStringLiteral("text/uri-list"), bytes);
  return mime;
}

}  // namespace

TEST(DropsFromOtherPrograms, AddExactlyTheDroppedItemsAndRefuseAnythingElse) {
  TestWindow t;
  t.files.WriteFile("other.txt");
  t.files.WriteFile("n\xFC x.txt");
  std::filesystem::create_directory(t.files.path() + "/sub");
  TfrmMain& w = t.Open();
  w.fileView().ListFiles(t.files.path() + "/");
  Find<QTreeView>(w, "lstvwLocal")->selectAll();  // the old fault added these
  emit Find<QMenu>(w, "mnuAdd")->aboutToShow();
  w.renameList().SetKeepRenameList(0);
  QWidget* list = Find<QTreeView>(w, "lviFiles")->viewport();
  const QByteArray folder = QByteArray::fromStdString(t.files.path());

  // Text, and local files mixed with a remote one, are refused whole.
  QMimeData text;
  text.setText(QStringLiteral("/etc/passwd"));
  std::unique_ptr<QMimeData> mixed(UriList("file://" + folder + "/other.txt\r\nsftp://host/b\r\n"));
  for (const QMimeData* refused : {&text, mixed.get()}) {
    EXPECT_FALSE(DropOn(list, *refused));
    EXPECT_TRUE(w.renameList().RenameListEntries().empty());
    EXPECT_EQ(w.renameList().KeepRenameList(), 0);
  }

  // A folder (with its trailing slash) and a file whose name is not UTF-8.
  std::unique_ptr<QMimeData> two(UriList("file://" + folder + "/sub/\r\nfile://" + folder + "/n%FC%20x.txt\r\n"));
  EXPECT_TRUE(DropOn(list, *two));
  const Entries expected{{"sub", t.files.path()}, {"n\xFC x.txt", t.files.path()}};
  EXPECT_EQ(w.renameList().RenameListEntries(), expected);
  EXPECT_EQ(w.renameList().KeepRenameList(), 1);
  EXPECT_TRUE(DropOn(list, *two));
  EXPECT_EQ(w.renameList().RenameListEntries(), expected) << "the duplicate test";

  // Over the file view the same drag is refused and removes nothing.
  Find<QTreeView>(w, "lviFiles")->selectAll();
  emit Find<QMenu>(w, "mnuAdd")->aboutToShow();
  ASSERT_TRUE(Find<QAction>(w, "mnuClearSelected")->isEnabled());
  EXPECT_FALSE(DropOn(Find<QTreeView>(w, "lstvwLocal")->viewport(), *two));
  EXPECT_EQ(w.renameList().RenameListEntries(), expected);
}

TEST(ConfirmationKeys, EnterPressesYesEscapePressesNoDeleteRemovesTheEntry) {
  TestWindow t;
  for (const char* name : {"a.txt", "b.txt", "c.txt"}) t.files.WriteFile(name);
  TfrmMain& w = t.Open();
  w.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  w.fileView().ListFiles(t.files.path() + "/");
  w.renameList().InvokeAllFiles();
  ASSERT_TRUE(renameflow::PressOperation(w, 3));
  auto* preview = Find<QTreeView>(w, "lviRename");
  ASSERT_EQ(renameflow::Preview(w).size(), 3u);

  preview->setFocus();
  preview->setCurrentIndex(preview->model()->index(1, 0));
  QTest::keyClick(preview, Qt::Key_Delete);
  EXPECT_EQ(renameflow::Preview(w).size(), 2u);
  EXPECT_EQ(renameflow::Preview(w)[1].oldName, "c.txt");

  QTest::keyClick(preview, Qt::Key_Escape);
  EXPECT_TRUE(Find<QGroupBox>(w, "grpConfirmation")->isHidden()) << "Escape is No";

  ASSERT_TRUE(renameflow::PressOperation(w, 3));
  Find<QPushButton>(w, "cmdYes")->setEnabled(false);
  QTest::keyClick(Find<QTreeView>(w, "lviRename"), Qt::Key_Return);
  EXPECT_TRUE(Find<QGroupBox>(w, "grpConfirmation")->isVisible()) << "Yes is off";
  Find<QPushButton>(w, "cmdYes")->setEnabled(true);
  QTest::keyClick(Find<QTreeView>(w, "lviRename"), Qt::Key_Return);
  EXPECT_TRUE(QTest::qWaitFor([&] { return w.StatusText().startsWith(QLatin1String("Ready, renamed ")); }, 5000));
}

TEST(AuditMends, ATypedRelativePathGetsItsRealFolderAndTheAboutBoxNoIcon) {
  TestWindow t;
  t.files.WriteFile("sub/a.txt");
  TfrmMain& w = t.Open();
  w.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));

  // A folder typed relative to the working folder gets its real path.
  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(t.files.path());
  auto* box = Find<QComboBox>(w, "cboPath");
  box->setCurrentText(QStringLiteral("./sub/../sub"));
  QTest::keyClick(box, Qt::Key_Return);
  std::filesystem::current_path(before);
  EXPECT_EQ(w.fileView().CurrentFolder(), t.files.path() + "/sub/");
  Invoke(Find<QAction>(w, "mnuFolderName"));
  EXPECT_EQ(w.renameList().RenameListEntries(), (Entries{{"sub", t.files.path() + "/"}}));

  // The About box as shown, without a handler answering it.
  SetDialogHandler({});
  bool plain = false;
  QTimer::singleShot(0, &w, [&] {
    auto* shown = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    plain = shown && shown->iconPixmap().isNull();
    if (shown) shown->accept();
  });
  w.About2Click();
  EXPECT_TRUE(plain);
}

TEST(RecursiveSearchBlocked, CancelGivesTheWindowBackWhileAFolderReadHangs) {
  ExfatMount volume;
  if (!volume.ok()) GTEST_SKIP() << volume.whyNot();
  const std::string start = Paths::WithoutTrailingDelimiter(Paths::ParentPart(volume.path()));
  { std::ofstream(start + "/found.txt") << "x"; }
  // The FUSE server of this mount, stopped: every request to it waits.
  pid_t server = 0;
  for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
    std::ifstream cmdline(entry.path() / "cmdline");
    const std::string text((std::istreambuf_iterator<char>(cmdline)), {});
    if (text.find("exfat") != std::string::npos && text.find(volume.path()) != std::string::npos)
      server = pid_t(std::atoi(entry.path().filename().c_str()));
  }
  ASSERT_GT(server, 0);
  ASSERT_EQ(::kill(server, SIGSTOP), 0);
  struct Resume {
    pid_t pid;
    ~Resume() { ::kill(pid, SIGCONT); }
  } resume{server};

  TestWindow t;
  TfrmMain& w = t.Open();
  w.fileView().ListFiles(start + "/");
  Find<QLineEdit>(w, "txtPattern")->setText(QStringLiteral("*.txt"));
  Invoke(Find<QAction>(w, "mnuAllFilesRecursive"));
  EXPECT_TRUE(QTest::qWaitFor([&] { return !w.renameList().RenameListEntries().empty(); }, 5000));
  QTest::qWait(300);  // by now the worker waits for the stopped server
  EXPECT_TRUE(Find<RecursiveSearch>(w, "recursiveSearch")->IsRunning());
  EXPECT_EQ(w.StatusText(), QString::fromStdString("Searching " + start + "/..."));
  Find<QPushButton>(w, "cmdCancel")->click();
  EXPECT_TRUE(QTest::qWaitFor([&] { return w.StatusText() == QStringLiteral("Ready."); }, 500));
  EXPECT_EQ(w.renameList().RenameListEntries(), (Entries{{"found.txt", start}}));
}

TEST(AuditMends, TheSearchStatusNamesTheFolderOfTheFileFound) {
  TestWindow t;
  t.files.WriteFile("a.txt");
  t.files.WriteFile("sub/b.dat");  // passed over by the pattern
  TfrmMain& w = t.Open();
  w.fileView().ListFiles(t.files.path() + "/");
  Find<QLineEdit>(w, "txtPattern")->setText(QStringLiteral("*.txt"));
  Invoke(Find<QAction>(w, "mnuAllFilesRecursive"));
  EXPECT_TRUE(QTest::qWaitFor([&] { return w.StatusText() == QStringLiteral("Ready."); }, 5000));
  const QString shown = Find<QLabel>(w, "lblLoading")->text();
  EXPECT_TRUE(shown.startsWith(QStringLiteral("Searching ")) && !shown.contains(QStringLiteral("sub/"))) << shown.toStdString();
}
