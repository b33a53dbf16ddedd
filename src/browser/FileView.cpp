// File view: listing, pattern, refresh, in-place rename, delete, popup, drags.
#include "app/Main.h"
#include "app/WidgetBridge.h"

#include <QAction>
#include <QComboBox>
#include <QDragMoveEvent>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QMenu>
#include <QStyle>
#include <QTimer>
#include <QTreeView>

#include <algorithm>
#include <functional>

#include "app/Dialogs.h"
#include "app/ListColumns.h"
#include "browser/DirListing.h"
#include "browser/FileViewModel.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"

namespace {



const QString kRenameFailed = QStringLiteral(
    "Renaming failed. Make sure the file is not in use and that you have appropriate permissions.");

}  // namespace

void TfrmMain::SetupFileView() {
  lstvwLocalModel = new FileViewModel(
      style()->standardIcon(QStyle::SP_FileIcon),
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

  // Nothing is ever dropped here: a drag over the file view clears the
  // entries selected in the rename list.
  new EventHook(lstvwLocal->viewport(), [this](QEvent* event) {
    switch (event->type()) {
      case QEvent::DragEnter:
        // Taken, so that the moves that follow arrive here.
        static_cast<QDragEnterEvent*>(event)->accept();
        return true;
      case QEvent::DragMove: {
        auto* move = static_cast<QDragMoveEvent*>(event);
        move->ignore();
        Invoke(mnuClearSelected);
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

void TfrmMain::ListFiles(const std::string& folderPath) {
  ShowStatus(QStringLiteral("Loading files..."));
  CurrentFolder = Paths::WithTrailingDelimiter(folderPath);
  cboPath->setCurrentText(FromBytes(CurrentFolder));
  AddHistoryEntry(CurrentFolder);

  // Only the rows on screen need their size and time, so a large folder is
  // read by name and kind alone and each row is examined when it is shown.
  std::vector<FileSystem::Entry> rows = DirListing::ListMatchingFiles(
      CurrentFolder, ToBytes(txtPattern->text()), kThisBuild, DirListing::Detail::KindsOnly);
  FileViewModel::SortByName(rows);
  lstvwLocalModel->SetFolder(CurrentFolder);
  lstvwLocalModel->SetRows(std::move(rows));

  ShowStatus(QStringLiteral("Ready."));
}

void TfrmMain::mnuRefreshClick() {
  // ListFiles leaves the rows sorted: that is the Refresh command's one sort.
  ListFiles(CurrentFolder);
}

void TfrmMain::tmrRefreshTimer() {
  tmrRefresh->stop();
  mnuRefreshClick();
}

void TfrmMain::txtPatternChange() {
  // Start-up sets the pattern before there is a folder to list; it lists
  // the folder itself right after.
  if (CurrentFolder.empty()) return;
  ListFiles(CurrentFolder);
}

bool TfrmMain::lstvwLocalEdited(int row, const std::string& newName) {
  if (row < 0 || row >= lstvwLocalModel->RowCount()) return false;
  const std::string oldName = lstvwLocalModel->Name(row);
  if (newName == oldName) return true;

  // Every row must name a file of CurrentFolder, so a name that would leave
  // the folder (or is empty) is refused like any failed rename.
  const bool plain = Paths::IsPlainName(newName) && newName.find('\0') == std::string::npos;
  if (plain && FileSystem::RenameNoReplace(CurrentFolder, oldName, newName) == FileSystem::RenameResult::Renamed) {
    lstvwLocalModel->SetName(row, newName);
    tmrRefresh->start();
    return true;
  }
  ShowMessage(this, {QStringLiteral("Error"), kRenameFailed, DialogIcon::Error, DialogButtons::Ok});
  return false;
}

void TfrmMain::mnuDeleteFileClick() {
  const DialogAnswer answer =
      ShowMessage(this, {QStringLiteral("Delete file"),
                         QStringLiteral("Are you sure you want to delete the selected files?"),
                         DialogIcon::Question, DialogButtons::YesNo});
  int failures = 0;
  if (answer == DialogAnswer::Yes) {
    for (int row : FileViewSelectedRows())
      if (!FileSystem::DeleteFile(Paths::Join(CurrentFolder, lstvwLocalModel->Name(row)))) ++failures;
  }
  // The refresh ends with "Ready." itself, so the result line comes after it;
  // the other way round the failure count would never be seen.
  mnuRefreshClick();
  if (failures > 0)
    ShowStatus(QStringLiteral("Ready, failed to delete %1 of the selected files.").arg(failures));
  else
    ShowStatus(QStringLiteral("Ready."));
}

void TfrmMain::lstvwLocalDblClick() { mnuSelectedFilesClick(); }

int TfrmMain::FileViewRowCount() const { return lstvwLocalModel->RowCount(); }

const std::string& TfrmMain::FileViewName(int row) const { return lstvwLocalModel->Name(row); }

std::vector<int> TfrmMain::FileViewSelectedRows() const {
  std::vector<int> rows;
  const QItemSelectionModel* selection = lstvwLocal->selectionModel();
  if (!selection) return rows;
  for (const QItemSelectionRange& range : selection->selection()) {
    if (range.parent().isValid()) continue;
    for (int row = range.top(); row <= range.bottom(); ++row) rows.push_back(row);
  }
  std::sort(rows.begin(), rows.end());
  rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
  return rows;
}
