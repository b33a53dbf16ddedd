#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QDateTime>
#include <QDragMoveEvent>
#include <QGroupBox>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <functional>
#include <filesystem>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "browser/FileViewModel.h"
#include "support/ExfatMount.h"
#include "ui/UiTestSupport.h"
#include "browser/FileView.h"
#include "renamelist/RenameList.h"

#include <fstream>
#include <iterator>

// Readable failure messages.
inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

namespace {

TfrmMain& OpenAt(TestWindow& t, const std::string& folder) {
  t.WriteSettings("[Options]\nLastDir=" + folder + "\n");
  return t.Open();
}

QStringList Rows(TfrmMain& w) {
  QStringList rows;
  for (int row = 0; row < w.fileView().FileViewRowCount(); ++row)
    rows << FileModel(w)->data(FileModel(w)->index(row, 0)).toString();
  return rows;
}

QString Cell(TfrmMain& w, int row, int column, int role = Qt::DisplayRole) {
  return FileModel(w)->data(FileModel(w)->index(row, column), role).toString();
}

void Select(TfrmMain& w, std::initializer_list<int> rows) {
  Find<QTreeView>(w, "lstvwLocal")->clearSelection();
  for (int row : rows)
    Find<QTreeView>(w, "lstvwLocal")->selectionModel()->select(FileModel(w)->index(row, 0),
                                           QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

void SetModified(const std::string& path, const QDateTime& when) {
  const timespec times[2] = {{when.toSecsSinceEpoch(), 0}, {when.toSecsSinceEpoch(), 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0);
}

void Show(TfrmMain& w) {
  w.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
}

// Renames a row the way a user does: F2 on the current row, type, Enter.
void EditName(TfrmMain& w, int row, const QString& text) {
  const QModelIndex index = FileModel(w)->index(row, 0);
  Find<QTreeView>(w, "lstvwLocal")->setFocus();
  Find<QTreeView>(w, "lstvwLocal")->setCurrentIndex(index);
  QTest::keyClick(Find<QTreeView>(w, "lstvwLocal"), Qt::Key_F2);
  auto* editor = Find<QTreeView>(w, "lstvwLocal")->viewport()->findChild<QLineEdit*>();
  ASSERT_NE(editor, nullptr) << "F2 opens the name's editor";
  EXPECT_EQ(editor->text(), Cell(w, row, 0));
  editor->setText(text);
  QTest::keyClick(editor, Qt::Key_Return);
  // The delegate commits by a queued call; deliver it (and the editor's
  // deletion) without running any timer.
  QCoreApplication::sendPostedEvents();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(Find<QTreeView>(w, "lstvwLocal")->viewport()->findChild<QLineEdit*>(), nullptr) << "the editor has closed";
}

// Lets the event loop run until the condition holds (at most a few seconds).
const QString kRenameFailed = QStringLiteral(
    "Renaming failed. Make sure the file is not in use and that you have appropriate permissions.");

// A file even root cannot delete while the flag is set.
class ImmutableFile {
 public:
  explicit ImmutableFile(std::string path) : path_(std::move(path)) { set_ = Flag(true); }
  ~ImmutableFile() {
    if (set_) Flag(false);
  }
  bool set() const { return set_; }

 private:
  bool Flag(bool on) {
    const int fd = ::open(path_.c_str(), O_RDONLY | O_NONBLOCK);
    if (fd < 0) return false;
    int flags = 0;
    bool ok = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    if (ok) {
      flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
      ok = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    }
    ::close(fd);
    return ok;
  }
  std::string path_;
  bool set_ = false;
};

}  // namespace

TEST(FileViewList, FilesOfEveryKindAreRowsAndFoldersNever) {
  TestWindow t;
  const std::string root = t.files.path();
  t.files.WriteFile("b.txt", "abc");
  t.files.WriteFile("A.txt", "");
  t.files.WriteFile(".hidden", "12345");
  t.files.MakeFolder("sub");
  t.files.MakeFolder(".git");
  std::filesystem::create_directory_symlink(root + "/sub", root + "/link");
  std::filesystem::create_symlink("b.txt", root + "/flink");
  std::filesystem::create_symlink(root + "/nowhere", root + "/dangling");
  ASSERT_EQ(::mkfifo((root + "/fifo").c_str(), 0600), 0);

  TfrmMain& w = OpenAt(t, root);
  EXPECT_EQ(w.fileView().CurrentFolder(), root + "/");
  EXPECT_EQ(Rows(w), (QStringList{".hidden", "A.txt", "b.txt", "dangling", "fifo", "flink"}));
  EXPECT_EQ(Cell(w, 0, FileViewModel::kSize), QStringLiteral("5"));
  EXPECT_EQ(Cell(w, 2, FileViewModel::kSize), QStringLiteral("3"));
  EXPECT_EQ(Cell(w, 5, FileViewModel::kSize), QStringLiteral("5")) << "a link's own size";

  const QAbstractItemModel* model = Find<QTreeView>(w, "lstvwLocal")->model();
  EXPECT_EQ(model->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Filename"));
  EXPECT_EQ(model->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Size"));
  EXPECT_EQ(model->headerData(2, Qt::Horizontal).toString(), QStringLiteral("Timestamp"));
  EXPECT_FALSE(model->data(model->index(0, 0), Qt::DecorationRole).value<QIcon>().isNull());
  EXPECT_FALSE(model->data(model->index(0, 1), Qt::DecorationRole).isValid());
  EXPECT_FALSE(model->data(model->index(0, 2), Qt::DecorationRole).isValid());
  EXPECT_EQ(Find<QTreeView>(w, "lstvwLocal")->header()->sectionSize(0), 150);
  EXPECT_EQ(w.StatusText(), QStringLiteral("Ready."));
}

TEST(FileViewList, AListingIsOneModelResetWithNoRowInsertions) {
  TestWindow t;
  for (int i = 0; i < 50; ++i) t.files.WriteFile("f" + std::to_string(i));
  TfrmMain& w = OpenAt(t, t.files.path());
  Select(w, {1, 2});
  QSignalSpy resets(FileModel(w), &QAbstractItemModel::modelReset);
  QSignalSpy inserted(FileModel(w), &QAbstractItemModel::rowsInserted);
  QSignalSpy layouts(FileModel(w), &QAbstractItemModel::layoutChanged);
  Find<QAction>(w, "mnuRefresh")->trigger();
  EXPECT_EQ(resets.count(), 1);
  EXPECT_EQ(inserted.count(), 0);
  EXPECT_EQ(layouts.count(), 0);
  EXPECT_EQ(w.fileView().FileViewRowCount(), 50);
  EXPECT_TRUE(w.fileView().FileViewSelectedRows().empty()) << "a listing drops the selection";
}

TEST(FileViewList, TheTimestampOmitsTheTimeOnlyAtMidnight) {
  TestWindow t;
  t.files.WriteFile("midnight");
  t.files.WriteFile("noon");
  t.files.WriteFile("second");
  const QDate day(2021, 3, 14);
  SetModified(t.files / "midnight", QDateTime(day, QTime(0, 0, 0)));
  SetModified(t.files / "noon", QDateTime(day, QTime(13, 14, 15)));
  SetModified(t.files / "second", QDateTime(day, QTime(0, 0, 1)));
  TfrmMain& w = OpenAt(t, t.files.path());
  const QLocale locale;
  const QString date = locale.toString(day, QLocale::ShortFormat);
  EXPECT_EQ(Cell(w, 0, FileViewModel::kTimestamp), date);
  EXPECT_EQ(Cell(w, 1, FileViewModel::kTimestamp),
            date + QLatin1Char(' ') + locale.toString(QTime(13, 14, 15), QLocale::LongFormat));
  EXPECT_EQ(Cell(w, 2, FileViewModel::kTimestamp),
            date + QLatin1Char(' ') + locale.toString(QTime(0, 0, 1), QLocale::LongFormat));
}

TEST(FileViewPattern, EveryChangeOfThePatternListsTheFolderAgain) {
  TestWindow t;
  const std::string root = t.files.path();
  for (const char* name : {"a.txt", "b.txt", "C.TXT", "a.txt;b.txt", "my file.txt", "x.log"}) t.files.WriteFile(name);
  t.files.WriteFile("sub/inner.txt");
  TfrmMain& w = OpenAt(t, root);

  const struct {
    const char* pattern;
    QStringList rows;
  } cases[] = {
      {"*.txt", {"a.txt", "a.txt;b.txt", "b.txt", "my file.txt"}},
      {"*.TXT", {"C.TXT"}},
      {"[ab].txt", {"a.txt", "b.txt"}},
      {"a.txt;b.txt", {"a.txt;b.txt"}},
      {"my file.txt", {"my file.txt"}},
      {"", {}},
      {"sub", {}},
      {"sub/*", {}},
      {"../*", {}},
      {"*", {"C.TXT", "a.txt", "a.txt;b.txt", "b.txt", "my file.txt", "x.log"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.pattern);
    Find<QLineEdit>(w, "txtPattern")->setText(QString::fromUtf8(c.pattern));
    EXPECT_EQ(Rows(w), c.rows);
    EXPECT_EQ(w.fileView().CurrentFolder(), root + "/");
  }

  // Each keystroke lists again, and sees what changed on disk meanwhile.
  Find<QLineEdit>(w, "txtPattern")->clear();
  EXPECT_EQ(w.fileView().FileViewRowCount(), 0);
  t.files.WriteFile("new.log");
  QSignalSpy resets(FileModel(w), &QAbstractItemModel::modelReset);
  QTest::keyClicks(Find<QLineEdit>(w, "txtPattern"), QStringLiteral("*.log"));
  EXPECT_EQ(resets.count(), 5);
  EXPECT_EQ(Rows(w), (QStringList{"new.log", "x.log"}));
}

TEST(FileViewRename, ANewNameIsGivenAtOnceAndTheViewIsListedAndSortedAfterwards) {
  TestWindow t;
  t.files.WriteFile("a.txt", "A");
  t.files.WriteFile("m.txt", "M");
  TfrmMain& w = OpenAt(t, t.files.path());
  Show(w);
  EditName(w, 0, QStringLiteral("z.txt"));
  EXPECT_EQ(t.dialogs.count(), 0);
  EXPECT_FALSE(t.files.Exists("a.txt"));
  EXPECT_EQ(t.files.ReadFile("z.txt"), "A");
  EXPECT_EQ(Rows(w), (QStringList{"z.txt", "m.txt"})) << "the row keeps its place until the refresh";
  EXPECT_EQ(w.fileView().FileViewName(0), "z.txt");
  EXPECT_TRUE(Find<QTimer>(w, "tmrRefresh")->isActive());
  EXPECT_TRUE(WaitUntil([&] { return !Find<QTimer>(w, "tmrRefresh")->isActive(); }));
  EXPECT_EQ(Rows(w), (QStringList{"m.txt", "z.txt"}));
  EXPECT_TRUE(w.fileView().FileViewSelectedRows().empty());
  EXPECT_EQ(w.StatusText(), QStringLiteral("Ready."));
}

TEST(FileViewRename, AnUnchangedNameRenamesNothing) {
  TestWindow t;
  t.files.WriteFile("same.txt", "S");
  TfrmMain& w = OpenAt(t, t.files.path());
  Show(w);
  EditName(w, 0, QStringLiteral("same.txt"));
  EXPECT_EQ(t.dialogs.count(), 0);
  EXPECT_FALSE(Find<QTimer>(w, "tmrRefresh")->isActive());
  EXPECT_EQ(t.files.ReadFile("same.txt"), "S");
}

TEST(FileViewRename, ARefusedNameLeavesEveryFileAndTheRowShowsTheRealName) {
  TestWindow t;
  t.files.WriteFile("a.txt", "A");
  t.files.WriteFile("b.txt", "B");
  t.files.MakeFolder("sub");
  TfrmMain& w = OpenAt(t, t.files.path());
  Show(w);
  for (const char* typed : {"b.txt", "", "sub/a.txt", "../a.txt", "sub", ".."}) {
    SCOPED_TRACE(typed);
    t.dialogs.clear();
    EditName(w, 0, QString::fromUtf8(typed));
    ASSERT_EQ(t.dialogs.count(), 1);
    EXPECT_EQ(t.dialogs.last().title, QStringLiteral("Error"));
    EXPECT_EQ(t.dialogs.last().text, kRenameFailed);
    EXPECT_EQ(t.dialogs.last().icon, DialogIcon::Error);
    EXPECT_EQ(t.dialogs.last().buttons, DialogButtons::Ok);
    EXPECT_EQ(Rows(w), (QStringList{"a.txt", "b.txt"}));
    EXPECT_EQ(w.fileView().FileViewName(0), "a.txt");
    EXPECT_FALSE(Find<QTimer>(w, "tmrRefresh")->isActive());
    EXPECT_EQ(t.files.ReadFile("a.txt"), "A");
    EXPECT_EQ(t.files.ReadFile("b.txt"), "B");
    EXPECT_TRUE(std::filesystem::is_empty(t.files / "sub"));
  }
}

TEST(FileViewRename, ANameThatIsNotUtf8IsListedRenamedAndDeleted) {
  TestWindow t;
  const std::string latin1 = "caf\xFC.txt";
  t.files.WriteFile(latin1, "L");
  t.files.WriteFile("x.txt", "X");
  TfrmMain& w = OpenAt(t, t.files.path());
  Show(w);
  ASSERT_EQ(w.fileView().FileViewRowCount(), 2);
  EXPECT_EQ(w.fileView().FileViewName(0), latin1);
  EXPECT_TRUE(Cell(w, 0, 0).contains(QChar::ReplacementCharacter));

  // Confirming the name as shown, replacement mark and all, renames nothing.
  EditName(w, 0, Cell(w, 0, 0));
  EXPECT_EQ(t.dialogs.count(), 0);
  EXPECT_EQ(t.files.ReadFile(latin1), "L");

  EditName(w, 0, QStringLiteral("café.txt"));
  EXPECT_EQ(t.dialogs.count(), 0);
  EXPECT_FALSE(t.files.Exists(latin1));
  EXPECT_EQ(t.files.ReadFile("caf\xC3\xA9.txt"), "L");

  const std::string odd = "\xFC\xFE.bin";
  t.files.WriteFile(odd, "O");
  w.fileView().mnuRefreshClick();
  ASSERT_EQ(w.fileView().FileViewName(2), odd);
  Select(w, {2});
  t.dialogs.QueueAnswer(DialogAnswer::Yes);
  w.fileView().mnuDeleteFileClick();
  EXPECT_FALSE(t.files.Exists(odd));
  EXPECT_EQ(w.StatusText(), QStringLiteral("Ready."));
  EXPECT_EQ(Rows(w), (QStringList{QStringLiteral("café.txt"), "x.txt"}));
}

TEST(FileViewDelete, OnlySelectedFilesGoAndFailuresAreCounted) {
  TestWindow t;
  for (const char* name : {"one", "two", "three", "four"}) t.files.WriteFile(name, name);
  TfrmMain& w = OpenAt(t, t.files.path());
  ASSERT_EQ(Rows(w), (QStringList{"four", "one", "three", "two"}));
  Select(w, {3, 0, 1});
  EXPECT_EQ(w.fileView().FileViewSelectedRows(), (std::vector<int>{0, 1, 3}));
  // "two" disappears between the listing and the delete.
  std::filesystem::remove(t.files / "two");
  t.dialogs.QueueAnswer(DialogAnswer::Yes);
  w.fileView().mnuDeleteFileClick();

  ASSERT_EQ(t.dialogs.count(), 1);
  EXPECT_EQ(t.dialogs.last().title, QStringLiteral("Delete file"));
  EXPECT_EQ(t.dialogs.last().text, QStringLiteral("Are you sure you want to delete the selected files?"));
  EXPECT_EQ(t.dialogs.last().icon, DialogIcon::Question);
  EXPECT_EQ(t.dialogs.last().buttons, DialogButtons::YesNo);
  EXPECT_EQ(w.StatusText(), QStringLiteral("Ready, failed to delete 1 of the selected files."));
  EXPECT_TRUE(Find<QGroupBox>(w, "grpLoading")->isHidden());
  EXPECT_FALSE(t.files.Exists("four"));
  EXPECT_FALSE(t.files.Exists("one"));
  EXPECT_EQ(t.files.ReadFile("three"), "three");
  EXPECT_EQ(Rows(w), QStringList{"three"});
}

TEST(FileViewDelete, AFileThatCannotBeDeletedStaysListed) {
  TestWindow t;
  for (const char* name : {"a", "b", "c"}) t.files.WriteFile(name, name);
  ImmutableFile locked(t.files / "b");
  if (!locked.set()) GTEST_SKIP() << "this file system or user cannot make a file immutable";
  TfrmMain& w = OpenAt(t, t.files.path());
  Select(w, {0, 1, 2});
  t.dialogs.QueueAnswer(DialogAnswer::Yes);
  w.fileView().mnuDeleteFileClick();
  EXPECT_EQ(w.StatusText(), QStringLiteral("Ready, failed to delete 1 of the selected files."));
  EXPECT_EQ(Rows(w), QStringList{"b"});
  EXPECT_FALSE(t.files.Exists("a"));
  EXPECT_FALSE(t.files.Exists("c"));
}

TEST(FileViewDelete, AnsweringNoDeletesNothingButStillRefreshes) {
  TestWindow t;
  t.files.WriteFile("keep1");
  t.files.WriteFile("keep2");
  TfrmMain& w = OpenAt(t, t.files.path());
  Select(w, {0, 1});
  w.ShowStatus(QStringLiteral("Ready, something else."));
  t.files.WriteFile("later");
  t.dialogs.QueueAnswer(DialogAnswer::No);
  w.fileView().mnuDeleteFileClick();
  EXPECT_EQ(t.dialogs.count(), 1);
  EXPECT_TRUE(t.files.Exists("keep1"));
  EXPECT_TRUE(t.files.Exists("keep2"));
  EXPECT_EQ(w.StatusText(), QStringLiteral("Ready."));
  EXPECT_EQ(Rows(w), (QStringList{"keep1", "keep2", "later"}));
}

TEST(FileViewMouse, ThePopupOpensOnlyOverASelection) {
  TestWindow t;
  t.files.WriteFile("a");
  t.files.WriteFile("b");
  TfrmMain& w = OpenAt(t, t.files.path());
  Show(w);
  QWidget* viewport = Find<QTreeView>(w, "lstvwLocal")->viewport();
  const QPoint below(5, viewport->height() - 5);  // under the last row
  auto rightClick = [&](const QPoint& at) {
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, viewport->mapToGlobal(at));
    QApplication::sendEvent(viewport, &event);
  };

  rightClick(below);
  EXPECT_FALSE(Find<QMenu>(w, "mnuPopUpLocal")->isVisible());

  Select(w, {1});
  rightClick(below);
  EXPECT_TRUE(Find<QMenu>(w, "mnuPopUpLocal")->isVisible());
  Find<QMenu>(w, "mnuPopUpLocal")->hide();
  EXPECT_EQ(Find<QAction>(w, "mnuAddFile2")->text(), QStringLiteral("&Add"));
  EXPECT_EQ(Find<QAction>(w, "mnuDeleteFile")->text(), QStringLiteral("&Delete"));
}

TEST(FileViewDrag, RowsLeaveAsDragDataWithTheirExactBytes) {
  TestWindow t;
  const std::string odd = "n\xFC";
  t.files.WriteFile("a");
  t.files.WriteFile(odd);
  TfrmMain& w = OpenAt(t, t.files.path());
  EXPECT_TRUE(Find<QTreeView>(w, "lstvwLocal")->dragEnabled());
  const QModelIndexList indexes{FileModel(w)->index(1, 0), FileModel(w)->index(1, 1),
                                FileModel(w)->index(0, 2)};
  std::unique_ptr<QMimeData> data(FileModel(w)->mimeData(indexes));
  ASSERT_NE(data, nullptr);
  const QByteArray bytes = data->data(QString::fromLatin1(FileViewModel::kMimeType));
  // The folder, then each dragged row's name, each ended by a zero byte.
  std::string expected = t.files.path() + "/";
  expected += '\0';
  expected += "a";
  expected += '\0';
  expected += odd;
  expected += '\0';
  EXPECT_EQ(bytes.toStdString(), expected);
}

TEST(FileViewDrag, ADragOverTheViewIsRefusedAndClearsTheRenameListSelection) {
  TestWindow t;
  t.files.WriteFile("a");
  TfrmMain& w = OpenAt(t, t.files.path());
  QWidget* viewport = Find<QTreeView>(w, "lstvwLocal")->viewport();
  auto* list = Find<QTreeView>(w, "lviFiles");
  for (const char* name : {"x", "y", "z"}) w.renameList().AddToRenameList(name, "/f");
  const auto select = [&](std::initializer_list<int> rows) {
    list->clearSelection();
    for (int row : rows) list->selectionModel()->select(list->model()->index(row, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
  };
  select({0, 1});
  QMimeData payload;
  payload.setData(QString::fromLatin1(FileViewModel::kMimeType), QByteArray("x"));
  const QPoint at(5, 5);

  QDragEnterEvent enter(at, Qt::CopyAction | Qt::MoveAction, &payload, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(viewport, &enter);
  for (int step = 0; step < 2; ++step) {
    QDragMoveEvent move(at, Qt::CopyAction | Qt::MoveAction, &payload, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &move);
    EXPECT_FALSE(move.isAccepted());
  }
  EXPECT_EQ(w.renameList().RenameListEntries().size(), 1u) << "one selected entry leaves per move over the view";

  QDropEvent drop(QPointF(at), Qt::CopyAction, &payload, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(viewport, &drop);
  EXPECT_FALSE(drop.isAccepted());
  EXPECT_EQ(w.fileView().FileViewRowCount(), 1);

  // Whatever state the Add menu last left its item in; without a selection
  // nothing goes.
  Find<QAction>(w, "mnuClearSelected")->setEnabled(false);
  QDragEnterEvent again(at, Qt::CopyAction, &payload, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(viewport, &again);  // a new drag: the drop ended the last
  QDragMoveEvent move(at, Qt::CopyAction, &payload, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(viewport, &move);
  EXPECT_EQ(w.renameList().RenameListEntries().size(), 1u);
  select({0});
  QApplication::sendEvent(viewport, &move);
  EXPECT_TRUE(w.renameList().RenameListEntries().empty());
}

TEST(FileViewRefresh, F5ListsWhatChangedOnDisk) {
  TestWindow t;
  t.files.WriteFile("old");
  TfrmMain& w = OpenAt(t, t.files.path());
  Show(w);
  t.files.WriteFile("new");
  std::filesystem::remove(t.files / "old");
  QTest::keyClick(&w, Qt::Key_F5);
  EXPECT_EQ(Rows(w), QStringList{"new"});
}

// A change of letter case in place whose second step and every move back
// fail leaves the file under a hidden temporary name: after "Renaming
// failed" a second box says where it stands. The window runs in a child of
// the test under strace, on an exFAT volume through FUSE (each step there is
// a refused renameat2, then renameat; the second renameat is the second
// step), and writes down the boxes it showed.
TEST(FileViewFaultTest, ACaseChangeStrandedInPlaceIsNamed) {
  if (const char* folder = std::getenv("QUILLON_STRANDED_FOLDER")) {
    TestWindow t;
    TfrmMain& w = OpenAt(t, folder);
    w.fileView().lstvwLocalEdited(int(Rows(w).indexOf("PHOTO.JPG")), "photo.jpg");
    std::ofstream report(std::getenv("QUILLON_STRANDED_REPORT"));
    for (const DialogRequest& box : t.dialogs.boxes()) report << box.text.toStdString() << '\n';
    report.close();
    ::_exit(report ? 0 : 1);  // nothing more to do under strace
  }
  ExfatMount volume;
  if (!volume.ok()) GTEST_SKIP() << volume.whyNot();
  if (std::system("strace -V >/dev/null 2>&1") != 0) GTEST_SKIP() << "strace is not installed";
  ASSERT_EQ(std::system(("touch '" + volume.path() + "/PHOTO.JPG'").c_str()), 0);
  TempDir scratch;
  const std::string report = scratch.path() + "/boxes";
  const std::string command = "QUILLON_STRANDED_FOLDER='" + volume.path() + "/' QUILLON_STRANDED_REPORT='" + report +
                              "' strace -f -qq -o /dev/null -e trace=renameat -e inject=renameat:error=EIO:when=2+ " +
                              "/proc/" + std::to_string(::getpid()) + "/exe " +
                              "--gtest_filter=FileViewFaultTest.ACaseChangeStrandedInPlaceIsNamed";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;

  std::string temporary;
  for (const auto& entry : std::filesystem::directory_iterator(volume.path()))
    if (entry.path().filename().string().rfind(".quillon-", 0) == 0) temporary = entry.path().string();
  ASSERT_FALSE(temporary.empty()) << "the file was not stranded";
  std::ifstream in(report);
  const std::string boxes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  EXPECT_EQ(boxes, "Renaming failed. Make sure the file is not in use and that you have appropriate permissions.\n"
                   "These files or folders could not be given their new or old name and stand under a temporary "
                   "name:\r\n" + temporary + "\n");
  std::filesystem::rename(temporary, volume.path() + "/PHOTO.JPG");
}
