#include "app/Main.h"
#include "app/WidgetBridge.h"

#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QGroupBox>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QMenu>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QTreeView>

#include <exception>
#include <vector>

#include "app/Dialogs.h"
#include "app/ListColumns.h"
#include "platform/Paths.h"
#include "rename/PreviewListModel.h"
#include "rename/RenameEngine.h"
#include "rename/StringH.h"

namespace {


// lviRenameMouseDown: a right-button press on the preview list. The popup is
// decided once the view has handled the press, so that it acts on the entry
// the press selected.
class PreviewMouseFilter : public QObject {
 public:
  explicit PreviewMouseFilter(TfrmMain* window) : QObject(window), window_(window) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::MouseButtonPress) {
      const auto* mouse = static_cast<QMouseEvent*>(event);
      const Qt::MouseButton button = mouse->button();
      const QPoint position = mouse->globalPosition().toPoint();
      QMetaObject::invokeMethod(
          window_, [window = window_, button, position] { window->lviRenameMouseDown(button, position); },
          Qt::QueuedConnection);
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  TfrmMain* window_;
};

// While the confirmation pane lies over the operation page, the page's
// controls cannot be seen, so they are out of reach too: no Tab stop, no
// access key, no Enter. When the preview ends the keyboard focus goes back
// to where it was when the preview began.
class CoveredPageGuard : public QObject {
 public:
  explicit CoveredPageGuard(TfrmMain* window)
      : QObject(window), confirmation_(window->grpConfirmation), preview_(window->lviRename) {
    for (int n = 0; n < 8; ++n)
      pages_.push_back(window->centralArea->findChild<QWidget*>(QStringLiteral("grpRename_%1").arg(n)));
    confirmation_->installEventFilter(this);
    preview_->installEventFilter(this);
  }

 protected:
  // Touches only the widgets it watches: it also sees them hidden while the
  // window is torn down.
  bool eventFilter(QObject* watched, QEvent* event) override {
    const QEvent::Type type = event->type();
    if (watched == confirmation_ && (type == QEvent::ShowToParent || type == QEvent::HideToParent)) {
      const bool covered = type == QEvent::ShowToParent;
      if (covered) focusBefore_ = QApplication::focusWidget();
      for (const QPointer<QWidget>& page : pages_)
        if (page) page->setEnabled(!covered);
    } else if (watched == preview_ && type == QEvent::HideToParent) {
      if (focusBefore_ && focusBefore_->isVisible() && focusBefore_->isEnabled())
        focusBefore_->setFocus(Qt::OtherFocusReason);
      focusBefore_.clear();
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  QPointer<QWidget> confirmation_;
  QPointer<QWidget> preview_;
  std::vector<QPointer<QWidget>> pages_;
  QPointer<QWidget> focusBefore_;
};

}  // namespace

void TfrmMain::SetupPreviewList() {
  new CoveredPageGuard(this);

  // The confirmation pane lies over the operation page that stays visible
  // below it.
  grpConfirmation->setAutoFillBackground(true);

  lviRenameModel = new PreviewListModel(this);
  lviRename->setModel(lviRenameModel);
  lviRename->setEditTriggers(QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed);
  new ColumnAutoSizer(lviRename, {200, 200, 200});

  connect(lviRenameModel, &PreviewListModel::Edited, this, [this](int row) { lviRenameEdited(row); });
  connect(lviRename, &QAbstractItemView::doubleClicked, this, [this] { lviRenameDblClick(); });
  lviRename->viewport()->installEventFilter(new PreviewMouseFilter(this));

  connect(cmdYes, &QPushButton::clicked, this, [this] { cmdYesClick(); });
  connect(cmdNo, &QPushButton::clicked, this, [this] { cmdNoClick(); });
}

void TfrmMain::cmdYesClick() {
  cmdYes->setEnabled(false);
  grpConfirmation->hide();
  ShowStatus(QStringLiteral("Performing rename..."));
  tmrDoRename->start();
}

void TfrmMain::tmrDoRenameTimer() {
  tmrDoRename->stop();
  PerformRename();
}

void TfrmMain::PerformRename() {
  RenameEngine::RenameRun run;
  try {
    run = RenameEngine::PerformRenames(lviRenameModel->entries());
  } catch (const std::exception& error) {
    run.stopped = true;
    run.error = error.what();
  }

  // The closing steps run however the loop ended.
  ClearRenameList();
  Invoke(mnuRefresh);
  cmdNoClick();
  ShowStatus(FromBytes(RenameEngine::CountsText(run.successes, run.failures)));

  if (mnuUndo->isChecked()) {
    std::string error;
    if (!RenameEngine::WriteUndoFile(Paths::UndoFileName(ProgramFolder), run.undoLines, error))
      ShowMessage(this, {QStringLiteral("Error"), FromBytes(error), DialogIcon::Error, DialogButtons::Ok});
  }
  if (run.stopped)
    ShowMessage(this, {QStringLiteral("Error"), FromBytes(run.error), DialogIcon::Error, DialogButtons::Ok});
}

void TfrmMain::cmdNoClick() {
  grpConfirmation->hide();
  ShowStatus(QStringLiteral("Clearing lists..."));
  lviRenameModel->Clear();
  if (KeepRenameList() == 0) ClearRenameList();
  ShowStatus(QStringLiteral("Ready."));
  HideViewControls(true);
}

void TfrmMain::lviRenameDblClick() {
  const QModelIndexList selected = lviRename->selectionModel()->selectedRows();
  if (selected.isEmpty()) return;
  const PreviewEntry& entry = lviRenameModel->entries().at(size_t(selected.front().row()));

  DialogRequest box{QStringLiteral("Rename to be done"), {}, DialogIcon::Information, DialogButtons::Ok};
  const QString crlf = QStringLiteral("\r\n");
  if (!StringH::IsValidFileName(entry.newName)) {
    box.icon = DialogIcon::Error;
    box.text = FromBytes(entry.newName) + crlf + crlf + QStringLiteral("Invalid filename!");
  } else if (entry.newName != entry.oldName) {
    box.text = FromBytes(entry.path) + crlf + crlf + FromBytes(entry.oldName) + crlf + FromBytes(entry.newName);
  } else {
    box.text = FromBytes(Paths::Join(entry.path, entry.oldName)) + crlf + crlf + QStringLiteral("No changes.");
  }
  ShowMessage(this, box);
}

void TfrmMain::lviRenameEdited(int) { tmrCheckFileNames->start(); }

void TfrmMain::lviRenameMouseDown(Qt::MouseButton button, const QPoint& globalPosition) {
  if (button != Qt::RightButton || !lviRename->isVisible()) return;
  if (!lviRename->selectionModel()->hasSelection()) return;
  mnuPopUpRename->popup(globalPosition);
}

void TfrmMain::mnuRemoveFromListClick() {
  RemoveFirstSelectedItem(lviRename);
  if (lviRenameModel->rowCount() > 0)
    CheckFileNames(false);
  else
    cmdNoClick();
}
