#include "browser/FileView.h"

#include <QAction>
#include <QComboBox>
#include <QDragMoveEvent>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QVBoxLayout>
#include <QLineEdit>
#include <QMenu>
#include <QStyle>
#include <QTimer>
#include <QTreeView>

#include <functional>

#include "app/WindowServices.h"
#include "browser/DirListing.h"
#include "browser/FileViewModel.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "rename/RenameEngine.h"
#include "widgets/Dialogs.h"
#include "widgets/ListColumns.h"
#include "widgets/ListSelection.h"
#include "widgets/OwnDrag.h"
#include "widgets/SearchLock.h"
#include "widgets/WidgetBridge.h"
#include "widgets/WidgetFactory.h"

namespace {

const QString kRenameFailed = QStringLiteral(
    "Renaming failed. Make sure the file is not in use and that you have appropriate permissions.");

}  // namespace

FileView::FileView(QWidget* area, WindowServices& services, QObject* parent)
    : QObject(parent), services_(services) {
  lstvwLocal = MakeList(area, "lstvwLocal", 192, 32, 225, 377, QStringLiteral("Files"),
                        QAbstractItemView::ExtendedSelection);
  // Over the empty view of a folder that cannot be read, the reason.
  lblUnreadable = new QLabel(lstvwLocal->viewport());
  lblUnreadable->setObjectName(QStringLiteral("lblUnreadable"));
  lblUnreadable->setWordWrap(true);
  lblUnreadable->setAlignment(Qt::AlignCenter);
  lblUnreadable->setEnabled(false);  // drawn in grey
  lblUnreadable->setAttribute(Qt::WA_TransparentForMouseEvents);
  (new QVBoxLayout(lstvwLocal->viewport()))->addWidget(lblUnreadable);
  lblUnreadable->hide();

  txtPattern = Make<QLineEdit>(area, "txtPattern", 192, 8, 225, kEditHeight);
  txtPattern->setText(QStringLiteral("*"));
  txtPattern->setAccessibleName(QStringLiteral("File pattern"));

  QWidget* window = area->window();
  mnuPopUpLocal = MakePopup(window, "mnuPopUpLocal");
  mnuAddFile2 = MakeItem(mnuPopUpLocal, "mnuAddFile2", QStringLiteral("&Add"));
  mnuPopUpLocal->addSeparator();
  mnuDeleteFile = MakeItem(mnuPopUpLocal, "mnuDeleteFile", QStringLiteral("&Delete"));
  connect(mnuAddFile2, &QAction::triggered, this, [this] { emit AddSelectedFilesRequested(); });
  connect(mnuDeleteFile, &QAction::triggered, this, [this] { mnuDeleteFileClick(); });

  tmrRefresh = new QTimer(this);
  tmrRefresh->setObjectName(QStringLiteral("tmrRefresh"));
  tmrRefresh->setInterval(100);
  connect(tmrRefresh, &QTimer::timeout, this, &FileView::tmrRefreshTimer);

  lstvwLocalModel = new FileViewModel(
      area->style()->standardIcon(QStyle::SP_FileIcon),
      [this](int row, const std::string& newName) { return lstvwLocalEdited(row, newName); }, this);
  lstvwLocal->setModel(lstvwLocalModel);
  lstvwLocal->setSortingEnabled(false);
  lstvwLocal->setAllColumnsShowFocus(true);
  lstvwLocal->setEditTriggers(QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed);

  lstvwLocal->header()->setSectionResizeMode(QHeaderView::Interactive);
  // Initial widths 150, 50 and 20; each listing sizes them to the names.
  new ColumnAutoSizer(lstvwLocal, {150, 50, 20});

  // A drag source whose own viewport takes drag events, so that its
  // drag-over handler sees every drag that passes.
  lstvwLocal->setDragEnabled(true);
  lstvwLocal->setAcceptDrops(true);
  lstvwLocal->setDragDropMode(QAbstractItemView::DragDrop);
  lstvwLocal->setDefaultDropAction(Qt::CopyAction);
  lstvwLocal->setDropIndicatorShown(false);

  // Nothing is ever dropped here: a drag from the program's own lists over
  // the file view clears the entries selected in the rename list; a drag
  // from another program is refused and does nothing.
  new EventHook(lstvwLocal->viewport(), [this](QEvent* event) {
    switch (event->type()) {
      case QEvent::DragEnter: {
        // Taken, so that the moves that follow arrive here.
        auto* enter = static_cast<QDragEnterEvent*>(event);
        enter->setAccepted(IsOwnDrag(enter->mimeData()));
        return true;
      }
      case QEvent::DragMove: {
        auto* move = static_cast<QDragMoveEvent*>(event);
        move->ignore();
        if (IsOwnDrag(move->mimeData())) emit DraggedOver();
        return true;
      }
      case QEvent::Drop:
        event->ignore();
        return true;
      default:
        return false;
    }
  });

  // The popup opens on the right button press (after the view has moved the
  // selection to the row under the pointer) and on the keyboard's menu key.
  lstvwLocal->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(lstvwLocal, &QWidget::customContextMenuRequested, this, [this](const QPoint& position) {
    if (FileViewSelectedRows().empty()) return;
    mnuPopUpLocal->popup(lstvwLocal->viewport()->mapToGlobal(position));
  });

  connect(lstvwLocal, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex&) { lstvwLocalDblClick(); });
  connect(txtPattern, &QLineEdit::textChanged, this, [this] { txtPatternChange(); });
}

void FileView::ListFiles(const std::string& folderPath) {
  services_.ShowStatus(QStringLiteral("Loading files..."));
  currentFolder_ = Paths::WithTrailingDelimiter(folderPath);
  emit FolderListed(currentFolder_);

  // Only the rows on screen need their size and time, so a large folder is
  // read by name and kind alone and each row is examined when it is shown.
  ShowRows(DirListing::ReadFolderRows(currentFolder_, ToBytes(txtPattern->text())).rows);
}

std::function<DirListing::FolderRows()> FileView::RefreshReader() const {
  return [folder = currentFolder_, pattern = ToBytes(txtPattern->text())] {
    return DirListing::ReadFolderRows(folder, pattern);
  };
}

void FileView::ShowRefreshed(DirListing::FolderRows listing) {
  if (listing.folder != currentFolder_ || listing.pattern != ToBytes(txtPattern->text())) {
    mnuRefreshClick();
    return;
  }
  services_.ShowStatus(QStringLiteral("Loading files..."));
  emit FolderListed(currentFolder_);
  ShowRows(std::move(listing.rows));
}

void FileView::ShowRows(std::vector<FileSystem::Entry> rows) {
  const bool empty = rows.empty();
  lstvwLocalModel->SetFolder(currentFolder_);
  lstvwLocalModel->SetRows(std::move(rows));

  // An empty view of a folder that cannot be read must not look like an
  // empty folder.
  const std::string unreadable = empty ? DirListing::UnreadableFolderText(currentFolder_) : std::string();
  lblUnreadable->setText(FromBytes(unreadable));
  lblUnreadable->setVisible(!unreadable.empty());
  if (unreadable.empty()) {
    services_.ShowStatus(QStringLiteral("Ready."));
    return;
  }
  services_.ShowStatus(QStringLiteral("Ready. ") + FromBytes(unreadable));
  emit FolderUnreadable(currentFolder_, FromBytes(unreadable));
}

void FileView::mnuRefreshClick() {
  // ListFiles leaves the rows sorted: that is the Refresh command's one sort.
  ListFiles(currentFolder_);
}

void FileView::tmrRefreshTimer() {
  tmrRefresh->stop();
  mnuRefreshClick();
}

void FileView::txtPatternChange() {
  // Start-up sets the pattern before there is a folder to list; it lists
  // the folder itself right after.
  if (currentFolder_.empty()) return;
  ListFiles(currentFolder_);
}

bool FileView::lstvwLocalEdited(int row, const std::string& newName) {
  if (row < 0 || row >= lstvwLocalModel->RowCount()) return false;
  const std::string oldName = lstvwLocalModel->Name(row);
  if (newName == oldName) return true;

  // Every row must name a file of CurrentFolder: the rename never leaves the
  // folder, so a name that would (or an empty one) fails like any other.
  FileSystem::RenameSession session;
  if (session.Rename(currentFolder_, oldName, newName) == FileSystem::RenameResult::Renamed) {
    lstvwLocalModel->SetName(row, newName);
    tmrRefresh->start();
    return true;
  }
  ShowErrorMessage(services_.DialogParent(), kRenameFailed);
  // A failed change of letter case can leave the entry under a hidden name.
  if (!session.StrandedName().empty()) {
    const std::string stranded = Paths::Join(currentFolder_, session.StrandedName());
    ShowErrorMessage(services_.DialogParent(), FromBytes(RenameEngine::StrandedText({stranded})));
    tmrRefresh->start();
  }
  return false;
}

void FileView::mnuDeleteFileClick() {
  const DialogAnswer answer =
      ShowMessage(services_.DialogParent(), {QStringLiteral("Delete file"),
                                             QStringLiteral("Are you sure you want to delete the selected files?"),
                                             DialogIcon::Question, DialogButtons::YesNo});
  std::size_t failures = 0;
  if (answer == DialogAnswer::Yes) {
    for (int row : FileViewSelectedRows())
      if (!FileSystem::DeleteFile(Paths::Join(currentFolder_, lstvwLocalModel->Name(row)))) ++failures;
  }
  // The refresh ends with "Ready." itself, so the result line comes after it;
  // the other way round the failure count would never be seen.
  mnuRefreshClick();
  services_.ShowStatus(FromBytes(RenameEngine::DeleteResultText(failures)));
}

void FileView::lstvwLocalDblClick() { emit AddSelectedFilesRequested(); }

int FileView::FileViewRowCount() const { return lstvwLocalModel->RowCount(); }

const std::string& FileView::FileViewName(int row) const { return lstvwLocalModel->Name(row); }

std::vector<int> FileView::FileViewSelectedRows() const { return SelectedRows(lstvwLocal); }

QString FileView::Pattern() const { return txtPattern->text(); }

void FileView::SetPattern(const QString& pattern) { txtPattern->setText(pattern); }

void FileView::LayOut(int left, int width, int height) {
  lstvwLocal->setGeometry(left, lstvwLocal->y(), width, height);
  txtPattern->setGeometry(left, txtPattern->y(), lstvwLocal->width(), txtPattern->height());
}

QRect FileView::ListGeometry() const { return lstvwLocal->geometry(); }

void FileView::SetShown(bool shown) {
  lstvwLocal->setVisible(shown);
  txtPattern->setVisible(shown);
}

void FileView::SetSearchLocked(bool lock) {
  HoldForSearch(txtPattern, lock);
  HoldForSearch(lstvwLocal, lock);
}

std::vector<QWidget*> FileView::TabStops() const { return {txtPattern, lstvwLocal}; }

void FileView::FocusPattern() { txtPattern->setFocus(); }
