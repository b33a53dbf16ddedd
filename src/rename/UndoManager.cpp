#include "rename/UndoManager.h"

#include <QApplication>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/WindowServices.h"
#include "platform/Paths.h"
#include "rename/BackgroundRun.h"
#include "rename/DestinationCheck.h"
#include "rename/Journal.h"
#include "rename/RenameEngine.h"
#include "widgets/Dialogs.h"
#include "widgets/WidgetBridge.h"

UndoManager::UndoManager(WindowServices& services, QObject* parent) : QObject(parent), services_(services) {
  tmrUndo = new QTimer(this);
  tmrUndo->setObjectName(QStringLiteral("tmrUndo"));
  tmrUndo->setInterval(50);
  tmrUndo->setSingleShot(true);
  connect(tmrUndo, &QTimer::timeout, this, &UndoManager::tmrUndoTimer);
  run_ = new BackgroundRun(this);
}

bool UndoManager::HasUndoableRun() const {
  const std::string stamp = Journal::RunFilesStamp(services_.StateFolder());
  if (stamp.empty() || stamp != known_.stamp) known_ = ScanUndoable(services_.StateFolder());
  return known_.undoable;
}

UndoManager::UndoableScan UndoManager::ScanUndoable(const std::string& stateFolder) {
  // The stamp first: a journal that changes meanwhile makes it stale, and
  // the next look reads the journals again.
  UndoableScan scan{Journal::RunFilesStamp(stateFolder), false};
  scan.undoable = Journal::NewestUndoableRun(stateFolder).has_value();
  return scan;
}

void UndoManager::UndoLastRename() {
  if (tmrUndo->isActive() || run_->IsRunning()) return;  // one undo at a time
  const std::optional<std::string> newest = Journal::NewestUndoableRun(services_.StateFolder());
  if (!newest) {
    emit UndoableRunsChanged();
    ShowMessage(services_.DialogParent(), {QStringLiteral("Undo last rename"), QStringLiteral("Nothing to undo."),
                                           DialogIcon::Information, DialogButtons::Ok});
    return;
  }
  StartUndo(*newest);
}

// As Yes does for a rename: the work starts from a timer, once the event loop
// has closed the menu and painted the busy pane.
void UndoManager::StartUndo(const std::string& journalPath) {
  if (QWidget* popup = QApplication::activePopupWidget()) popup->close();
  services_.ShowStatus(QStringLiteral("Undoing rename..."));
  pendingUndo_ = journalPath;
  tmrUndo->start();
}

void UndoManager::tmrUndoTimer() {
  tmrUndo->stop();
  UndoRun(pendingUndo_);
}

void UndoManager::OfferUndoOfUnfinishedRun() {
  const std::optional<Journal::UnfinishedRun> unfinished = Journal::FindUnfinishedRun(services_.StateFolder());
  if (!unfinished) return;
  QString where;
  if (!unfinished->folder.empty()) {
    where = QStringLiteral(" in \"%1\"").arg(FromBytes(Paths::WithoutTrailingDelimiter(unfinished->folder)));
    if (unfinished->otherFolders == 1)
      where += QStringLiteral(" and 1 other folder");
    else if (unfinished->otherFolders > 1)
      where += QStringLiteral(" and %1 other folders").arg(unfinished->otherFolders);
  }
  // An undo cut short asks the same question about the names it left changed.
  const QString question =
      unfinished->undoCut
          ? QStringLiteral("The last undo did not finish: %1 of %2 names are still changed%3. Undo these changes?")
          : QStringLiteral("The last rename did not finish: %1 of %2 names were changed%3. Undo these changes?");
  const DialogAnswer answer = ShowMessage(
      services_.DialogParent(),
      {QStringLiteral("Confirm"),
       question
           .arg(unfinished->changed)
           .arg(unfinished->total)
           .arg(where),
       DialogIcon::Question, DialogButtons::YesNo});
  if (answer == DialogAnswer::Yes) {
    StartUndo(unfinished->path);
    return;
  }
  std::string reason;
  if (!Journal::KeepRun(unfinished->path, reason)) ShowError(FromBytes(reason));
  services_.RefreshFiles();
  emit UndoableRunsChanged();
}

void UndoManager::RecordRun(const RenameEngine::RenameRun& run, const UndoableScan& scan) {
  known_ = scan;
  emit UndoableRunsChanged();
  if (!run.undoFileError.empty()) ShowError(FromBytes(run.undoFileError));
}

// The undo works in the background, so that the window repaints; the busy
// pane's bar counts the entries it has tried, and Cancel stops it between two
// entries (the rest of the run stays undoable).
void UndoManager::UndoRun(const std::string& journalPath) {
  services_.ShowStatus(QStringLiteral("Undoing rename..."));
  services_.LockForBackgroundWork(true, true);
  auto result = std::make_shared<Journal::UndoResult>();
  auto listing = std::make_shared<DirListing::FolderRows>();
  auto scan = std::make_shared<UndoableScan>();
  run_->Start([journalPath, result, listing, scan, reader = services_.RefreshReader(),
               stateFolder = services_.StateFolder()](RenameEngine::RunControl& control) {
                *result = Journal::UndoRun(journalPath, &control);
                *listing = reader();
                *scan = ScanUndoable(stateFolder);
              },
              {[this] { return services_.CancelRequested(); },
               [this](std::size_t done, std::size_t total) {
                 services_.ShowRunProgress(QStringLiteral("Undoing rename..."), done, total);
               },
               [this, result, listing, scan](const std::string& error) {
                 if (!error.empty()) result->error = error;
                 FinishUndo(*result, std::move(*listing), *scan);
               }});
}

void UndoManager::FinishRunNow() { run_->FinishNow(); }

void UndoManager::FinishUndo(const Journal::UndoResult& result, DirListing::FolderRows listing,
                             const UndoableScan& scan) {
  known_ = scan;
  services_.LockForBackgroundWork(false, false);
  services_.ShowRefreshedFiles(std::move(listing));
  services_.ShowStatus(FromBytes(RenameEngine::UndoneText(result.undone, result.errors)));
  emit UndoableRunsChanged();
  if (!result.error.empty()) ShowError(FromBytes(result.error));
  ShowStranded(services_.DialogParent(), result.stranded);
  ShowFailed(services_.DialogParent(), result.failed, true, result.keptUndoable);
}

void UndoManager::ShowStranded(QWidget* parent, const std::vector<std::string>& stranded) {
  if (!stranded.empty()) ShowErrorMessage(parent, FromBytes(RenameEngine::StrandedText(stranded)));
}

// An undo that changed nothing says why above its list: the run was kept to
// be undone again once its files are back.
void UndoManager::ShowFailed(QWidget* parent, const std::vector<FileSystem::FailedRename>& failed, bool undo,
                             bool keptUndoable) {
  if (failed.empty()) return;
  const QString headline =
      keptUndoable ? QStringLiteral("Nothing could be undone: none of these files or folders is where the rename "
                                    "left it (was the folder moved, or its volume removed?). The rename can be "
                                    "undone again later.")
      : undo       ? QStringLiteral("These files or folders could not be given their old names back:")
                   : QStringLiteral("These files or folders could not be renamed:");
  ShowListWindow(parent, undo ? QStringLiteral("Undo last rename") : QStringLiteral("Rename"), headline,
                 FromBytes(FailedRenamesText(failed, failed.size())));
}

void UndoManager::ShowError(const QString& text) { ShowErrorMessage(services_.DialogParent(), text); }
