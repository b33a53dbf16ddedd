#include "app/Main.h"
#include "app/WidgetBridge.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDragMoveEvent>
#include <QGroupBox>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QShortcut>
#include <QTimer>
#include <QTreeView>
#include <QTreeWidget>

#include <functional>

#include "app/ListColumns.h"
#include "platform/Paths.h"
#include "renamelist/RecursiveSearch.h"
#include "renamelist/RenameListModel.h"

namespace {



const char* const kEnabledBeforeSearch = "enabledBeforeSearch";
const char* const kSearchLocked = "recursiveSearchLocked";

QString SearchingText(const std::string& folder) {
  return QStringLiteral("Searching ") + FromBytes(folder) + QStringLiteral("...");
}

void LockForRecursiveSearch(TfrmMain& w, bool lock);

void RecursiveSearchBatch(TfrmMain& w, std::vector<RenameListEntry>& batch, const std::string& folder,
                          std::size_t found) {
  // ShowStatus clears CancelRequested, so a request is passed on first.
  if (w.CancelRequested()) w.recursiveSearch->RequestStop();
  w.lviFilesModel->AppendBatch(std::move(batch));

  const QString text = SearchingText(folder);
  if (w.StatusText() != text) w.ShowStatus(text);
  QLabel* label = w.lblLoading;
  const QString searching = label->fontMetrics().elidedText(text, Qt::ElideMiddle, label->width() - 4);
  const QString count = found == 1 ? QStringLiteral("1 file found")
                                   : QStringLiteral("%1 files found").arg(qulonglong(found));
  const QString shown = searching + QLatin1Char('\n') + count;
  if (label->text() != shown) label->setText(shown);
}

void RecursiveSearchFinished(TfrmMain& w) {
  w.SetKeepRenameList(1);
  LockForRecursiveSearch(w, false);
  w.ShowStatus(QStringLiteral("Ready."));
}

// Disables (or restores) every menu item and pane that could change the lists.
// Each one's own state is kept aside and restored, so that the Add menu's
// enabled states survive the search.
void LockForRecursiveSearch(TfrmMain& w, bool lock) {
  if (w.property(kSearchLocked).toBool() == lock) return;
  w.setProperty(kSearchLocked, lock);

  // Cancel is the one thing the busy pane offers meanwhile; it keeps the
  // normal pointer under the window's wait cursor, takes the keyboard focus
  // and answers Escape too.
  if (lock) w.focusBeforeSearch = QApplication::focusWidget();
  w.cmdCancel->setVisible(lock);
  if (lock)
    w.cmdCancel->setCursor(Qt::ArrowCursor);
  else
    w.cmdCancel->unsetCursor();
  if (auto* escape = w.findChild<QShortcut*>(QStringLiteral("escapeCancelsSearch"))) escape->setEnabled(lock);

  std::vector<QAction*> items;
  std::vector<QWidget*> panes{w.cmdUp, w.cboPath, w.trvwLocal, w.txtPattern, w.lstvwLocal, w.lviFiles,
                              w.lviRename, w.grpConfirmation};
  for (QMenu* menu : {w.mnuAdd, w.mnuRename, w.mnuOptions}) {
    items.push_back(menu->menuAction());
    panes.push_back(menu);
    for (QAction* item : menu->actions()) items.push_back(item);
  }
  items.push_back(w.mnuRefresh);
  for (int n = 0; n < 8; ++n)
    if (auto* page = w.centralArea->findChild<QWidget*>(QStringLiteral("grpRename_%1").arg(n))) panes.push_back(page);

  for (QAction* item : items) {
    if (lock) {
      item->setProperty(kEnabledBeforeSearch, item->isEnabled());
      item->setEnabled(false);
    } else {
      item->setEnabled(item->property(kEnabledBeforeSearch).toBool());
      item->setProperty(kEnabledBeforeSearch, QVariant());
    }
  }
  for (QWidget* pane : panes) {
    if (lock) {
      pane->setProperty(kEnabledBeforeSearch, !pane->testAttribute(Qt::WA_Disabled));
      pane->setEnabled(false);
    } else {
      pane->setEnabled(pane->property(kEnabledBeforeSearch).toBool());
      pane->setProperty(kEnabledBeforeSearch, QVariant());
    }
  }

  if (lock) {
    w.cmdCancel->setFocus(Qt::OtherFocusReason);
  } else {
    QWidget* before = w.focusBeforeSearch;
    if (before && before->isVisible() && before->isEnabled()) before->setFocus(Qt::OtherFocusReason);
    w.focusBeforeSearch.clear();
  }
}

}  // namespace

// ---------------------------------------------------------------------------
// Set-up

void TfrmMain::SetupRenameList() {
  lviFilesModel = new RenameListModel(this);
  lviFiles->setModel(lviFilesModel);
  lviFiles->setSortingEnabled(false);
  lviFiles->header()->setSectionsMovable(false);
  new ColumnAutoSizer(lviFiles, {150, 85});

  // A drag starts by itself; whatever is dragged over the list is accepted
  // (lviFilesDragOver), and dropping adds nothing further.
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
        drag->setDropAction(Qt::CopyAction);
        drag->accept();
        lviFilesDragOver();
        return true;
      }
      case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        drop->setDropAction(Qt::CopyAction);
        drop->accept();
        return true;
      }
      case QEvent::MouseButtonPress: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        lviFilesItemMouseDown(mouse->button(), mouse->position().toPoint());
        return false;
      }
      default:
        return false;
    }
  });

  recursiveSearch = new RecursiveSearch(this);
  recursiveSearch->SetHandlers(
      [this](std::vector<RenameListEntry>& batch, const RecursiveSearch::Progress& progress) {
        RecursiveSearchBatch(*this, batch, progress.folder, progress.found);
      },
      [this](bool) { RecursiveSearchFinished(*this); });
  connect(cmdCancel, &QPushButton::clicked, this, [this] {
    if (recursiveSearch->IsRunning()) recursiveSearch->RequestStop();
  });
  // Escape cancels a running search, as in any progress dialog; it is a
  // shortcut only while the search runs, so it never takes Escape from an
  // editor.
  auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  escape->setObjectName(QStringLiteral("escapeCancelsSearch"));
  escape->setContext(Qt::WindowShortcut);
  escape->setEnabled(false);
  connect(escape, &QShortcut::activated, this, [this] {
    if (cmdCancel->isVisible() && cmdCancel->isEnabled()) cmdCancel->click();
  });
  // Closing the window stops a running search; the worker is joined when the
  // window goes.
  new EventHook(this, [this](QEvent* event) {
    if (event->type() == QEvent::Close) recursiveSearch->RequestStop();
    return false;
  });
}

// ---------------------------------------------------------------------------
// Entries

int TfrmMain::KeepRenameList() const { return Tag(lviFiles); }
void TfrmMain::SetKeepRenameList(int value) { SetTag(lviFiles, value); }

bool TfrmMain::IsInRenameList(const std::string& name, const std::string& path) const {
  return lviFilesModel->Contains(name, path);
}

void TfrmMain::AddToRenameList(const std::string& name, const std::string& path) {
  lviFilesModel->Append(name, path);
}

const std::vector<RenameListEntry>& TfrmMain::RenameListEntries() const { return lviFilesModel->entries(); }

void TfrmMain::ClearRenameList() { lviFilesModel->Clear(); }

// Removes the topmost selected row of any list view whose model can remove
// rows, and nothing else.
void TfrmMain::RemoveFirstSelectedItem(QTreeView* list) {
  if (!list || !list->model() || !list->selectionModel()) return;
  int first = -1;
  for (const QItemSelectionRange& range : list->selectionModel()->selection()) {
    if (!range.isValid() || range.parent().isValid()) continue;
    if (first < 0 || range.top() < first) first = range.top();
  }
  if (first >= 0) list->model()->removeRow(first);
}

// ---------------------------------------------------------------------------
// Add menu

void TfrmMain::mnuSelectedFilesClick() {
  const std::vector<int> rows = FileViewSelectedRows();
  if (rows.empty()) return;
  SetKeepRenameList(1);
  const std::string path = Paths::WithoutTrailingDelimiter(CurrentFolder);
  std::vector<RenameListEntry> batch;
  batch.reserve(rows.size());
  for (int row : rows) batch.push_back({FileViewName(row), path});
  lviFilesModel->AppendBatch(std::move(batch));
}

void TfrmMain::mnuAllFilesClick() {
  const int count = FileViewRowCount();
  if (count <= 0) return;
  const std::string path = Paths::WithoutTrailingDelimiter(CurrentFolder);
  SetKeepRenameList(1);
  std::vector<RenameListEntry> batch;
  batch.reserve(std::size_t(count));
  for (int row = 0; row < count; ++row) batch.push_back({FileViewName(row), path});
  lviFilesModel->AppendBatch(std::move(batch));
}

void TfrmMain::mnuFolderNameClick() {
  const std::string folder = Paths::WithoutTrailingDelimiter(CurrentFolder);
  const std::string name = Paths::LastPart(folder);
  if (name.empty()) return;  // a drive root or "/"
  SetKeepRenameList(1);
  AddToRenameList(name, Paths::ParentPart(folder));
}

void TfrmMain::mnuClearSelectedClick() {
  SetKeepRenameList(1);
  RemoveFirstSelectedItem(lviFiles);
}

void TfrmMain::mnuClearClick() {
  SetKeepRenameList(0);
  lviFilesModel->Clear();
}

// The states set here stay until the menu opens again; they also govern the
// shortcuts and every invocation of the items from elsewhere.
void TfrmMain::mnuAddClick() {
  mnuSelectedFiles->setEnabled(!FileViewSelectedRows().empty());
  mnuClearSelected->setEnabled(lviFiles->selectionModel() && lviFiles->selectionModel()->hasSelection());
  mnuClear->setEnabled(lviFilesModel->rowCount() > 0);
}

// ---------------------------------------------------------------------------
// Mouse and drags over the rename list

void TfrmMain::lviFilesDragOver() { Invoke(mnuSelectedFiles); }

void TfrmMain::lviFilesItemMouseDown(Qt::MouseButton button, const QPoint& position) {
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

void TfrmMain::mnuAllFilesRecursiveClick() {
  ShowStatus(SearchingText(CurrentFolder));
  LockForRecursiveSearch(*this, true);
  tmrRecursive->start();
}

void TfrmMain::tmrRecursiveTimer() {
  tmrRecursive->stop();
  if (recursiveSearch->IsRunning()) return;
  LockForRecursiveSearch(*this, true);
  // A Cancel pressed before the search began stops it at the first file.
  recursiveSearch->Start(CurrentFolder, ToBytes(txtPattern->text()), CancelRequested());
}
