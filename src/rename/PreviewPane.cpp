#include "rename/PreviewPane.h"

#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QItemSelectionModel>
#include <QMenu>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QTreeView>

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/WindowServices.h"
#include "platform/Paths.h"
#include "rename/BackgroundRun.h"
#include "rename/DestinationCheck.h"
#include "rename/Journal.h"
#include "rename/OperationPages.h"
#include "rename/PreviewListModel.h"
#include "rename/RenameEngine.h"
#include "rename/UndoManager.h"
#include "renamelist/RenameList.h"
#include "widgets/Dialogs.h"
#include "widgets/ListColumns.h"
#include "widgets/ListSelection.h"
#include "widgets/SearchLock.h"
#include "widgets/WidgetBridge.h"
#include "widgets/WidgetFactory.h"

namespace {

// lviRenameMouseDown: a right-button press on the preview list. The popup is
// decided once the view has handled the press, so that it acts on the entry
// the press selected.
class PreviewMouseFilter : public QObject {
 public:
  explicit PreviewMouseFilter(PreviewPane* pane) : QObject(pane), pane_(pane) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::MouseButtonPress) {
      const auto* mouse = static_cast<QMouseEvent*>(event);
      const Qt::MouseButton button = mouse->button();
      const QPoint position = mouse->globalPosition().toPoint();
      QMetaObject::invokeMethod(
          pane_, [pane = pane_, button, position] { pane->lviRenameMouseDown(button, position); },
          Qt::QueuedConnection);
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  PreviewPane* pane_;
};

// While the confirmation pane lies over the operation page, the page's
// controls cannot be seen, so they are out of reach too: no Tab stop, no
// access key, no Enter. When the preview ends the keyboard focus goes back
// to where it was when the preview began.
class CoveredPageGuard : public QObject {
 public:
  CoveredPageGuard(QObject* parent, QWidget* confirmation, QWidget* preview, std::function<void(bool)> cover)
      : QObject(parent), confirmation_(confirmation), preview_(preview), cover_(std::move(cover)) {
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
      cover_(covered);
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
  std::function<void(bool)> cover_;
  QPointer<QWidget> focusBefore_;
};

// The confirmation pane's keys, wherever the focus is in the window: Enter
// presses Yes (when enabled), Escape presses No. Editors and lists that take
// these keys themselves (an in-place edit of a new name) keep them; only keys
// that reach the window unused are taken here. Owned by the pane, so it goes
// with it.
class ConfirmationKeys : public QObject {
 public:
  ConfirmationKeys(QObject* owner, QWidget* window, QWidget* confirmation, QPushButton* yes, QPushButton* no)
      : QObject(owner), confirmation_(confirmation), yes_(yes), no_(no) {
    window->installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::KeyPress || !confirmation_->isVisible()) return QObject::eventFilter(watched, event);
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      if (yes_->isEnabled()) yes_->click();
      return true;
    }
    if (key == Qt::Key_Escape) {
      no_->click();
      return true;
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  QWidget* confirmation_;
  QPushButton* yes_;
  QPushButton* no_;
};

}  // namespace

PreviewPane::PreviewPane(QWidget* area, WindowServices& services, const OperationPages& pages, QObject* parent)
    : QObject(parent), services_(services), pages_(pages) {
  grpConfirmation = MakePane(area, "grpConfirmation", QStringLiteral("Confirm rename"), 424);
  lblConfirmation = MakeLabel(grpConfirmation, "lblConfirmation",
                              QStringLiteral("This is how the files would be renamed. You can view more info by "
                                             "double-clicking a filename, edit the names or remove any files from "
                                             "the renaming list by right-clicking. Continue?"),
                              8, 24, 225, 113);
  lblConfirmation->setWordWrap(true);
  lblConfirmation->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  cmdYes = Make<QPushButton>(grpConfirmation, "cmdYes", 8, 136, 105, 25);
  cmdYes->setText(QStringLiteral("&Yes"));
  cmdYes->setDefault(true);
  cmdYes->setEnabled(false);
  cmdNo = Make<QPushButton>(grpConfirmation, "cmdNo", 128, 136, 105, 25);
  cmdNo->setText(QStringLiteral("&No"));
  // What the check of the new names expects of the run, below the buttons;
  // the pane reaches down over the rename list, which the preview hides.
  lblOutlook = MakeLabel(grpConfirmation, "lblOutlook", QString(), 8, 166, 225, 52);
  lblOutlook->setWordWrap(true);
  lblOutlook->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  grpConfirmation->resize(grpConfirmation->width(), grpConfirmation->height() + 50);
  grpConfirmation->hide();

  lviRename = MakeList(area, "lviRename", 8, 8, 249, 249, QStringLiteral("Preview of the new names"),
                       QAbstractItemView::SingleSelection);
  lviRename->hide();

  mnuPopUpRename = MakePopup(area->window(), "mnuPopUpRename");
  mnuRemoveFromList = MakeItem(mnuPopUpRename, "mnuRemoveFromList", QStringLiteral("&Remove from list"));
  connect(mnuRemoveFromList, &QAction::triggered, this, [this] { mnuRemoveFromListClick(); });

  const struct {
    QTimer** timer;
    const char* name;
    void (PreviewPane::*handler)();
  } timers[] = {
      {&tmrCheckFileNames, "tmrCheckFileNames", &PreviewPane::tmrCheckFileNamesTimer},
      {&tmrMakeLists, "tmrMakeLists", &PreviewPane::tmrMakeListsTimer},
      {&tmrDoRename, "tmrDoRename", &PreviewPane::tmrDoRenameTimer},
  };
  for (const auto& entry : timers) {
    auto* timer = new QTimer(this);
    timer->setObjectName(QString::fromLatin1(entry.name));
    timer->setInterval(50);
    connect(timer, &QTimer::timeout, this, entry.handler);
    *entry.timer = timer;
  }
  SetTag(tmrMakeLists, 0);
  run_ = new BackgroundRun(this);

  new CoveredPageGuard(this, grpConfirmation, lviRename, [this](bool covered) { emit PageCovered(covered); });

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

  new ConfirmationKeys(this, area->window(), grpConfirmation, cmdYes, cmdNo);
  // Delete in the preview list removes the selected entry, as the popup's
  // "&Remove from list" does; it goes before any window shortcut on Delete.
  new EventHook(lviRename, [this](QEvent* event) {
    const bool press = event->type() == QEvent::KeyPress;
    if (!press && event->type() != QEvent::ShortcutOverride) return false;
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() != Qt::Key_Delete || key->modifiers() != Qt::NoModifier) return false;
    if (!press) {
      event->accept();
      return true;
    }
    mnuRemoveFromListClick();
    return true;
  });

  connect(cmdYes, &QPushButton::clicked, this, [this] { cmdYesClick(); });
  connect(cmdNo, &QPushButton::clicked, this, [this] { cmdNoClick(); });
}

void PreviewPane::cmdYesClick() {
  cmdYes->setEnabled(false);
  grpConfirmation->hide();
  services_.ShowStatus(QStringLiteral("Performing rename..."));
  tmrDoRename->start();
}

void PreviewPane::tmrDoRenameTimer() {
  tmrDoRename->stop();
  PerformRename();
}

void PreviewPane::PerformRename() {
  // An empty preview has nothing to rename and nothing to record.
  if (lviRenameModel->entries().empty()) {
    cmdNoClick();
    return;
  }
  // The journal is opened before anything is renamed; without it the run
  // could not be undone nor found after a crash, so the user decides.
  auto journal = std::make_shared<Journal::Writer>();
  std::string reason;
  if (!journal->Open(services_.StateFolder(), reason)) {
    const DialogAnswer answer = ShowMessage(
        services_.DialogParent(),
        {QStringLiteral("Confirm"),
         QStringLiteral("Undo information cannot be saved: %1. Rename anyway?").arg(FromBytes(reason)),
         DialogIcon::Question, DialogButtons::YesNo});
    if (answer != DialogAnswer::Yes) {
      cmdNoClick();
      return;
    }
  }

  // The entries stay as they are until the run has ended: everything that
  // could change them is locked meanwhile.
  services_.LockForBackgroundWork(true, true);
  auto run = std::make_shared<RenameEngine::RenameRun>();
  auto listing = std::make_shared<DirListing::FolderRows>();
  auto scan = std::make_shared<UndoManager::UndoableScan>();
  const RenameEngine::UndoFileTarget undoFile{services_.CurrentOptions().undoFile, services_.ProgramFolder(),
                                services_.StateFolder()};
  run_->Start(
      [entries = &lviRenameModel->entries(), journal, run, undoFile, listing, scan,
       reader = services_.RefreshReader()](RenameEngine::RunControl& control) {
        *run = RenameEngine::PerformRenames(*entries, *journal, control);
        // A million names take a while to write and to list again: both go
        // on here, side by side, while the window stays responsive. The undo
        // menu's state comes along: its journal is read here too.
        const auto save = [&] {
          try {
            undoFile.Save(*run);
          } catch (const std::exception& e) {
            run->undoFileError = std::string("Cannot create the undo file: ") + e.what();
          }
        };
        SideBySide(save, [&] {
          *listing = reader();
          *scan = UndoManager::ScanUndoable(undoFile.stateFolder);
        });
        // The folder on show may be the undo file's own: read after it.
        if (undoFile.MayWriteInto(listing->folder)) *listing = reader();
      },
      {[this] { return services_.CancelRequested(); },
       [this](std::size_t done, std::size_t total) {
         services_.ShowRunProgress(QStringLiteral("Performing rename..."), done, total);
       },
       [this, run, listing, scan](const std::string& error) {
         FinishRename(*run, std::move(*listing), *scan, error);
       }});
}

void PreviewPane::FinishRunNow() { run_->FinishNow(); }

void PreviewPane::FinishRename(const RenameEngine::RenameRun& run, DirListing::FolderRows listing,
                               const UndoManager::UndoableScan& scan, const std::string& error) {
  services_.LockForBackgroundWork(false, false);
  // The closing steps run however the loop ended.
  emit RenameListUsed();
  services_.ShowRefreshedFiles(std::move(listing));
  cmdNoClick();
  services_.ShowStatus(FromBytes(RenameEngine::CountsText(run.successes, run.failures)));
  emit RunFinished(run, scan);

  if (!error.empty()) ShowError(FromBytes(error));
  if (run.stopped) ShowError(FromBytes(run.error));
  if (!run.journalError.empty()) ShowError(FromBytes(run.journalError));
  UndoManager::ShowStranded(services_.DialogParent(), run.stranded);
  UndoManager::ShowFailed(services_.DialogParent(), run.failed, false);
}

void PreviewPane::ShowError(const QString& text) { ShowErrorMessage(services_.DialogParent(), text); }

void PreviewPane::cmdNoClick() {
  grpConfirmation->hide();
  services_.ShowStatus(QStringLiteral("Clearing lists..."));
  lviRenameModel->Clear();
  lblOutlook->clear();
  emit PreviewDropped();
  services_.ShowStatus(QStringLiteral("Ready."));
  services_.HideViewControls(true);
}

void PreviewPane::lviRenameDblClick() {
  const QModelIndexList selected = lviRename->selectionModel()->selectedRows();
  if (selected.isEmpty()) return;
  const PreviewEntry& entry = lviRenameModel->entries().at(size_t(selected.front().row()));

  DialogRequest box{QStringLiteral("Rename to be done"), {}, DialogIcon::Information, DialogButtons::Ok};
  const QString crlf = QStringLiteral("\r\n");
  const Destination outcome = lviRenameModel->OutcomeAt(size_t(selected.front().row()));
  switch (ClassifyEntry(entry)) {
    case PreviewDetail::InvalidName:
      box.icon = DialogIcon::Error;
      box.text = FromBytes(entry.newName) + crlf + crlf + QStringLiteral("Invalid filename!");
      break;
    case PreviewDetail::Renamed:
      box.text = FromBytes(entry.path) + crlf + crlf + FromBytes(entry.oldName) + crlf + FromBytes(entry.newName);
      if (outcome == Destination::Conflict || WillFail(outcome)) {
        box.icon = DialogIcon::Warning;
        box.text += crlf + crlf + FromBytes(DestinationReason(outcome));
      }
      break;
    case PreviewDetail::Unchanged:
      box.text = FromBytes(Paths::Join(entry.path, entry.oldName)) + crlf + crlf + QStringLiteral("No changes.");
      break;
  }
  ShowMessage(services_.DialogParent(), box);
}

void PreviewPane::lviRenameEdited(int) { tmrCheckFileNames->start(); }

void PreviewPane::lviRenameMouseDown(Qt::MouseButton button, const QPoint& globalPosition) {
  if (button != Qt::RightButton || !lviRename->isVisible()) return;
  if (!lviRename->selectionModel()->hasSelection()) return;
  mnuPopUpRename->popup(globalPosition);
}

void PreviewPane::mnuRemoveFromListClick() {
  RemoveFirstSelectedItem(lviRename);
  if (lviRenameModel->rowCount() > 0)
    CheckFileNames(false);
  else
    cmdNoClick();
}

void PreviewPane::StartPreview(int operation) {
  grpConfirmation->show();
  services_.HideViewControls(false);
  services_.ShowStatus(QStringLiteral("Creating preview list..."));
  SetTag(tmrMakeLists, operation);
  tmrMakeLists->start();
}

void PreviewPane::tmrMakeListsTimer() {
  tmrMakeLists->stop();
  MakePreviewList(Tag(tmrMakeLists));
}

void PreviewPane::MakePreviewList(int operation) {
  if (renameList_->RenameListEntries().empty()) {
    emit RenameListWanted();
    if (renameList_->RenameListEntries().empty()) {
      services_.ShowStatus(QStringLiteral("Ready."));
      ShowMessage(services_.DialogParent(), {QStringLiteral("No files selected"),
                         QStringLiteral("Please select the files and folders you wish to rename by adding them "
                                        "to the list."),
                         DialogIcon::Information, DialogButtons::Ok});
      // An empty preview offers nothing to confirm: back to browsing.
      cmdNoClick();
      return;
    }
  }

  PreviewValues values = pages_.Values();
  values.operation = operation;
  const WindowServices::Options options = services_.CurrentOptions();
  values.includeExtension = options.includeExtension;
  values.caseSensitive = options.caseSensitive;

  lviRenameModel->Clear();
  // An entry that cannot be built (an ID3 file that cannot be opened) ends
  // the build quietly; the entries made before it are shown and checked.
  PreviewBuild build = BuildPreview(renameList_->RenameListEntries(), values);
  lviRenameModel->SetEntries(std::move(build.entries));

  CheckFileNames(true);
  services_.ShowStatus(QStringLiteral("Ready."));
  lviRename->setFocus();
}

bool PreviewPane::CheckFileNames(bool showMessages) {
  cmdYes->setEnabled(false);
  DestinationReport report = CheckDestinations(lviRenameModel->entries());
  lblOutlook->setText(FromBytes(OutlookText(report)));
  lviRenameModel->SetOutcomes(std::move(report.outcomes));
  const PreviewCheck check = report.blocking;
  if (check.passed()) {
    cmdYes->setEnabled(true);
    return true;
  }
  if (showMessages) {
    // Point at the entry to mend: the first that fails, selected and in view.
    const QModelIndex failing = lviRenameModel->index(int(check.index), PreviewListModel::kNewName);
    lviRename->setCurrentIndex(failing);
    lviRename->scrollTo(failing);
    const QString text = check.problem == PreviewProblem::InvalidName
                             ? QStringLiteral("There are invalid filenames. This rename cannot be completed until "
                                              "you change them.")
                             : QStringLiteral("There are conflicting filenames. This rename cannot be completed "
                                              "until you change them.");
    ShowErrorMessage(services_.DialogParent(), text);
  }
  return false;
}

void PreviewPane::tmrCheckFileNamesTimer() {
  tmrCheckFileNames->stop();
  CheckFileNames(false);
}

const std::vector<PreviewEntry>& PreviewPane::PreviewEntries() const { return lviRenameModel->entries(); }

void PreviewPane::MoveTo(int left) { grpConfirmation->move(left, grpConfirmation->y()); }

void PreviewPane::PlaceList(const QRect& geometry) { lviRename->setGeometry(geometry); }

void PreviewPane::SetListShown(bool shown) { lviRename->setVisible(shown); }

void PreviewPane::SetWaitCursor(bool wait) {
  if (wait)
    lviRename->setCursor(Qt::WaitCursor);
  else
    lviRename->unsetCursor();
}

void PreviewPane::SetSearchLocked(bool lock) {
  HoldForSearch(lviRename, lock);
  HoldForSearch(grpConfirmation, lock);
}

std::vector<QWidget*> PreviewPane::TabStops() const { return {lviRename}; }
