#include "renamelist/RenameList.h"

#include <QAction>
#include <QDragMoveEvent>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QMouseEvent>
#include <QTimer>
#include <QTreeView>

#include <optional>

#include "app/WindowServices.h"
#include "browser/FileView.h"
#include "platform/Paths.h"
#include "rename/RenameEngine.h"
#include "renamelist/DroppedItems.h"
#include "renamelist/RecursiveSearch.h"
#include "renamelist/RenameListModel.h"
#include "widgets/ListColumns.h"
#include "widgets/ListSelection.h"
#include "widgets/OwnDrag.h"
#include "widgets/SearchLock.h"
#include "widgets/WidgetBridge.h"
#include "widgets/WidgetFactory.h"

namespace {

// The files and folders of a drag from another program; nullopt for anything
// but a list of local files.
std::optional<std::vector<RenameListEntry>> DroppedFromOutside(const QMimeData* mime) {
  const QString uriList = QStringLiteral("text/uri-list");
  if (!mime || !mime->hasFormat(uriList)) return std::nullopt;
  const QByteArray bytes = mime->data(uriList);
  return DroppedItems::FromUriList(std::string_view(bytes.constData(), std::size_t(bytes.size())));
}

QString SearchingText(const std::string& folder) {
  return QStringLiteral("Searching ") + FromBytes(folder) + QStringLiteral("...");
}

}  // namespace

// ---------------------------------------------------------------------------
// Set-up

RenameList::RenameList(QWidget* area, WindowServices& services, QObject* parent)
    : QObject(parent), services_(services) {
  lviFiles = MakeList(area, "lviFiles", 424, 184, 241, 225, QStringLiteral("Rename list"),
                      QAbstractItemView::ExtendedSelection);
  lviFiles->setEditTriggers(QAbstractItemView::NoEditTriggers);
  SetTag(lviFiles, 0);

  mnuPopUpFiles = MakePopup(area->window(), "mnuPopUpFiles");
  mnuClearSelected2 = MakeItem(mnuPopUpFiles, "mnuClearSelected2", QStringLiteral("&Clear"));
  mnuPopUpFiles->addSeparator();
  mnuClearAll2 = MakeItem(mnuPopUpFiles, "mnuClearAll2", QStringLiteral("Clear &all"));
  connect(mnuClearSelected2, &QAction::triggered, this, [this] { mnuClearSelectedClick(); });
  connect(mnuClearAll2, &QAction::triggered, this, [this] { mnuClearClick(); });

  tmrRecursive = new QTimer(this);
  tmrRecursive->setObjectName(QStringLiteral("tmrRecursive"));
  tmrRecursive->setInterval(50);
  connect(tmrRecursive, &QTimer::timeout, this, &RenameList::tmrRecursiveTimer);

  lviFilesModel = new RenameListModel(this);
  lviFiles->setModel(lviFilesModel);
  lviFiles->setSortingEnabled(false);
  lviFiles->header()->setSectionsMovable(false);
  new ColumnAutoSizer(lviFiles, {150, 85});

  // A drag starts by itself. Rows dragged from the program's own lists are
  // added as the drag moves over the list (lviFilesDragOver) and dropping
  // adds nothing further; files dragged from another program are added when
  // they are dropped (lviFilesDropFromOutside).
  lviFiles->setDragEnabled(true);
  lviFiles->setAcceptDrops(true);
  lviFiles->viewport()->setAcceptDrops(true);
  lviFiles->setDragDropMode(QAbstractItemView::DragDrop);
  lviFiles->setDefaultDropAction(Qt::CopyAction);

  new EventHook(lviFiles->viewport(), [this](QEvent* event) {
    switch (event->type()) {
      case QEvent::DragEnter:
      case QEvent::DragMove: {
        auto* drag = static_cast<QDragMoveEvent*>(event);
        const bool own = IsOwnDrag(drag->mimeData());
        if (!own && !DroppedFromOutside(drag->mimeData())) {
          drag->ignore();
          return true;
        }
        drag->setDropAction(Qt::CopyAction);
        drag->accept();
        if (own) lviFilesDragOver();
        return true;
      }
      case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        if (!IsOwnDrag(drop->mimeData()) && !lviFilesDropFromOutside(drop->mimeData())) {
          drop->ignore();
          return true;
        }
        drop->setDropAction(Qt::CopyAction);
        drop->accept();
        return true;
      }
      case QEvent::MouseButtonPress: {
        // Decided once the view has handled the press, so that a right-click
        // on an entry selects it first and opens the popup at once.
        auto* mouse = static_cast<QMouseEvent*>(event);
        const Qt::MouseButton button = mouse->button();
        const QPoint position = mouse->position().toPoint();
        QMetaObject::invokeMethod(
            this, [this, button, position] { lviFilesItemMouseDown(button, position); }, Qt::QueuedConnection);
        return false;
      }
      default:
        return false;
    }
  });

  recursiveSearch = new RecursiveSearch(this);
  recursiveSearch->SetHandlers(
      [this](std::vector<RenameListEntry>& batch, const RecursiveSearch::Progress& progress) {
        RecursiveSearchBatch(batch, progress.folder, progress.found);
      },
      [this](bool) { RecursiveSearchFinished(); });
}

void RenameList::CreateAddMenu(QMenuBar* bar) {
  mnuAdd = MakeMenu(bar, "mnuAdd", QStringLiteral("&Add"));
  mnuSelectedFiles = MakeItem(mnuAdd, "mnuSelectedFiles", QStringLiteral("&Selected files"));
  mnuAllFiles = MakeItem(mnuAdd, "mnuAllFiles", QStringLiteral("&All files"), QKeySequence(Qt::CTRL | Qt::Key_A));
  mnuAdd->addSeparator()->setObjectName(QStringLiteral("N3"));
  mnuFolderName = MakeItem(mnuAdd, "mnuFolderName", QStringLiteral("Add current &folder name"));
  mnuAllFilesRecursive = MakeItem(mnuAdd, "mnuAllFilesRecursive", QStringLiteral("All files &with subfolders"));
  mnuAdd->addSeparator()->setObjectName(QStringLiteral("N4"));
  mnuClearSelected = MakeItem(mnuAdd, "mnuClearSelected", QStringLiteral("C&lear selected"), QKeySequence(Qt::Key_Delete));
  mnuClear = MakeItem(mnuAdd, "mnuClear", QStringLiteral("&Clear all"), QKeySequence(Qt::SHIFT | Qt::Key_Delete));
  connect(mnuAdd, &QMenu::aboutToShow, this, [this] { mnuAddClick(); });
  connect(mnuSelectedFiles, &QAction::triggered, this, [this] { mnuSelectedFilesClick(); });
  connect(mnuAllFiles, &QAction::triggered, this, [this] { mnuAllFilesClick(); });
  connect(mnuFolderName, &QAction::triggered, this, [this] { mnuFolderNameClick(); });
  connect(mnuAllFilesRecursive, &QAction::triggered, this, [this] { mnuAllFilesRecursiveClick(); });
  connect(mnuClearSelected, &QAction::triggered, this, [this] { mnuClearSelectedClick(); });
  connect(mnuClear, &QAction::triggered, this, [this] { mnuClearClick(); });
}

// ---------------------------------------------------------------------------
// Entries

int RenameList::KeepRenameList() const { return Tag(lviFiles); }
void RenameList::SetKeepRenameList(int value) { SetTag(lviFiles, value); }

bool RenameList::IsInRenameList(const std::string& name, const std::string& path) const {
  return lviFilesModel->Contains(name, path);
}

void RenameList::AddToRenameList(const std::string& name, const std::string& path) {
  lviFilesModel->Append(name, path);
}

const std::vector<RenameListEntry>& RenameList::RenameListEntries() const { return lviFilesModel->entries(); }

void RenameList::ClearRenameList() { lviFilesModel->Clear(); }

void RenameList::FillForPreview() {
  InvokeAllFiles();
  SetKeepRenameList(0);
}

void RenameList::PreviewDropped() {
  if (KeepRenameList() == 0) ClearRenameList();
}

// ---------------------------------------------------------------------------
// Add menu

void RenameList::mnuSelectedFilesClick() {
  const std::vector<int> rows = files_->FileViewSelectedRows();
  if (rows.empty()) return;
  SetKeepRenameList(1);
  const std::string path = Paths::WithoutTrailingDelimiter(files_->CurrentFolder());
  std::vector<RenameListEntry> batch;
  batch.reserve(rows.size());
  for (int row : rows) batch.push_back({files_->FileViewName(row), path});
  lviFilesModel->AppendBatch(std::move(batch));
}

void RenameList::mnuAllFilesClick() {
  const int count = files_->FileViewRowCount();
  if (count <= 0) return;
  const std::string path = Paths::WithoutTrailingDelimiter(files_->CurrentFolder());
  SetKeepRenameList(1);
  std::vector<RenameListEntry> batch;
  batch.reserve(std::size_t(count));
  for (int row = 0; row < count; ++row) batch.push_back({files_->FileViewName(row), path});
  lviFilesModel->AppendBatch(std::move(batch));
}

void RenameList::mnuFolderNameClick() {
  const std::string folder = Paths::WithoutTrailingDelimiter(files_->CurrentFolder());
  const std::string name = Paths::LastPart(folder);
  if (name.empty()) return;  // a drive root or "/"
  SetKeepRenameList(1);
  AddToRenameList(name, Paths::ParentPart(folder));
}

void RenameList::mnuClearSelectedClick() {
  SetKeepRenameList(1);
  RemoveFirstSelectedItem(lviFiles);
}

void RenameList::mnuClearClick() {
  SetKeepRenameList(0);
  lviFilesModel->Clear();
}

// The states set here stay until the menu opens again; they also govern the
// shortcuts and every invocation of the items from elsewhere.
void RenameList::mnuAddClick() {
  mnuSelectedFiles->setEnabled(!files_->FileViewSelectedRows().empty());
  mnuClearSelected->setEnabled(lviFiles->selectionModel() && lviFiles->selectionModel()->hasSelection());
  mnuClear->setEnabled(lviFilesModel->rowCount() > 0);
}

// ---------------------------------------------------------------------------
// Mouse and drags over the rename list

// A drag works whatever the Add menu last showed: its items are switched on
// and off only when the menu opens, by the selections of that moment.
void RenameList::lviFilesDragOver() { mnuSelectedFilesClick(); }

bool RenameList::lviFilesDropFromOutside(const QMimeData* mime) {
  std::optional<std::vector<RenameListEntry>> items = DroppedFromOutside(mime);
  if (!items) return false;
  SetKeepRenameList(1);
  lviFilesModel->AppendBatch(std::move(*items));
  return true;
}

void RenameList::lviFilesItemMouseDown(Qt::MouseButton button, const QPoint& position) {
  if (button != Qt::RightButton) return;
  if (!lviFiles->indexAt(position).isValid()) return;
  if (!lviFiles->selectionModel()->hasSelection()) return;
  mnuPopUpFiles->popup(lviFiles->viewport()->mapToGlobal(position));
}

// ---------------------------------------------------------------------------
// Recursive search
//
// The search runs in a worker thread (RecursiveSearch) while the window stays
// responsive: it repaints, shows the progress and offers Cancel. Everything
// that could change the lists is disabled until the search ends.

void RenameList::mnuAllFilesRecursiveClick() {
  services_.ShowStatus(SearchingText(files_->CurrentFolder()));
  services_.LockForBackgroundWork(true, true);
  tmrRecursive->start();
}

void RenameList::tmrRecursiveTimer() {
  tmrRecursive->stop();
  if (recursiveSearch->IsRunning()) return;
  services_.LockForBackgroundWork(true, true);
  // A Cancel pressed before the search began stops it at the first file.
  recursiveSearch->Start(files_->CurrentFolder(), ToBytes(files_->Pattern()), services_.CancelRequested());
}

void RenameList::RecursiveSearchBatch(std::vector<RenameListEntry>& batch, const std::string& folder,
                                      std::size_t found) {
  // ShowStatus clears CancelRequested, so a request is passed on first.
  if (services_.CancelRequested()) recursiveSearch->RequestStop();
  lviFilesModel->AppendBatch(std::move(batch));

  const QString text = SearchingText(folder);
  if (services_.StatusText() != text) services_.ShowStatus(text);
  services_.ShowBusyProgress(text, FromBytes(RenameEngine::FoundCountText(found)));
}

void RenameList::RecursiveSearchFinished() {
  SetKeepRenameList(1);
  services_.LockForBackgroundWork(false, false);
  services_.ShowStatus(QStringLiteral("Ready."));
}

void RenameList::StopRecursiveSearch() {
  if (recursiveSearch->IsRunning()) recursiveSearch->RequestStop();
}

void RenameList::InvokeAllFiles() { Invoke(mnuAllFiles); }

void RenameList::RemoveDraggedOut() {
  if (lviFiles->selectionModel() && lviFiles->selectionModel()->hasSelection()) mnuClearSelectedClick();
}

// ---------------------------------------------------------------------------
// Layout and the search lock

void RenameList::LayOut(int left, int height) {
  lviFiles->setGeometry(left, lviFiles->y(), lviFiles->width(), height);
}

void RenameList::SetShown(bool shown) { lviFiles->setVisible(shown); }

void RenameList::SetMenuEnabled(bool enabled) {
  mnuAdd->menuAction()->setEnabled(enabled);
  mnuAdd->setEnabled(enabled);
}

void RenameList::SetSearchLocked(bool lock) {
  HoldForSearch(lviFiles, lock);
  HoldForSearch(mnuAdd, lock);
}
