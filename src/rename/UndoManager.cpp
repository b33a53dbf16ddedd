#include "rename/UndoManager.h"

#include <QString>

#include <optional>
#include <string>
#include <vector>

#include "app/WindowServices.h"
#include "rename/Journal.h"
#include "rename/RenameEngine.h"
#include "widgets/Dialogs.h"
#include "widgets/WidgetBridge.h"

UndoManager::UndoManager(WindowServices& services, QObject* parent) : QObject(parent), services_(services) {}

bool UndoManager::HasUndoableRun() const {
  return Journal::NewestUndoableRun(services_.StateFolder()).has_value();
}

void UndoManager::UndoLastRename() {
  if (const std::optional<std::string> newest = Journal::NewestUndoableRun(services_.StateFolder()))
    UndoRun(*newest);
}

void UndoManager::OfferUndoOfUnfinishedRun() {
  const std::optional<Journal::UnfinishedRun> unfinished = Journal::FindUnfinishedRun(services_.StateFolder());
  if (!unfinished) return;
  const DialogAnswer answer =
      ShowMessage(services_.DialogParent(),
                  {QStringLiteral("Confirm"),
                   QStringLiteral("The last rename did not finish: %1 of %2 names were changed. Undo these changes?")
                       .arg(unfinished->changed)
                       .arg(unfinished->total),
                   DialogIcon::Question, DialogButtons::YesNo});
  if (answer == DialogAnswer::Yes) {
    UndoRun(unfinished->path);
    return;
  }
  std::string reason;
  if (!Journal::KeepRun(unfinished->path, reason)) ShowError(FromBytes(reason));
  services_.RefreshFiles();
  emit UndoableRunsChanged();
}

void UndoManager::RecordRun(const RenameEngine::RenameRun& run) {
  emit UndoableRunsChanged();
  if (!services_.CurrentOptions().undoFile) return;
  std::string writtenTo;
  std::string error;
  if (!RenameEngine::SaveUndoFile(services_.ProgramFolder(), services_.StateFolder(), run.undoLines, writtenTo,
                                  error))
    ShowError(FromBytes(error));
}

void UndoManager::UndoRun(const std::string& journalPath) {
  services_.ShowStatus(QStringLiteral("Undoing rename..."));
  const Journal::UndoResult result = Journal::UndoRun(journalPath);
  services_.RefreshFiles();
  services_.ShowStatus(FromBytes(RenameEngine::UndoneText(result.undone, result.errors)));
  emit UndoableRunsChanged();
  if (!result.error.empty()) ShowError(FromBytes(result.error));
  ShowStranded(services_.DialogParent(), result.stranded);
}

void UndoManager::ShowStranded(QWidget* parent, const std::vector<std::string>& stranded) {
  if (!stranded.empty()) ShowErrorMessage(parent, FromBytes(RenameEngine::StrandedText(stranded)));
}

void UndoManager::ShowError(const QString& text) { ShowErrorMessage(services_.DialogParent(), text); }
