#pragma once

#include <QObject>

#include <string>
#include <vector>

#include "browser/DirListing.h"
#include "platform/FileSystem.h"

class BackgroundRun;
class QString;
class QTimer;
class WindowServices;
namespace Journal {
struct UndoResult;
}
namespace RenameEngine {
struct RenameRun;
}

// Undo inside the program: the undo file a finished run leaves, "Undo last
// rename" over the rename journals, and the start-up offer to undo a run a
// crash cut short. The window owns it; the journal core does the work.
class UndoManager : public QObject {
  Q_OBJECT

 public:
  UndoManager(WindowServices& services, QObject* parent);

  // A rename run in the state folder's journals can be undone. A journal of
  // a million entries takes a while to read: the answer is kept as long as
  // the journals stay as they were.
  bool HasUndoableRun() const;
  struct UndoableScan {
    std::string stamp;  // Journal::RunFilesStamp when scanned
    bool undoable = false;
  };
  // The same, asked on any thread (a run's worker, at its end).
  static UndoableScan ScanUndoable(const std::string& stateFolder);
  // Renames the newest run that is not undone yet back, refreshes the file
  // view and shows the counts; says so when there is none (any more: another
  // copy of the program may have undone it). The busy pane shows and the
  // menu that asked closes before the work starts.
  void UndoLastRename();
  void tmrUndoTimer();
  // At start-up: a run cut short by a crash is offered for undo; No keeps
  // its names and marks it finished.
  void OfferUndoOfUnfinishedRun();
  // The window is closing: a running undo stops between two entries and its
  // counts are shown now; the rest of the run stays undoable.
  void FinishRunNow();
  BackgroundRun& Run() { return *run_; }
  // A rename run ended: says why its undo file could not be written, if it
  // could not, and takes what its worker found undoable.
  void RecordRun(const RenameEngine::RenameRun& run, const UndoableScan& scan);

  // The error box for entries left under a temporary name, which would
  // otherwise look lost to the user.
  static void ShowStranded(QWidget* parent, const std::vector<std::string>& stranded);
  // The list of entries a run (or, `undo`, its undo) could not rename, each
  // with its reason, in a window that does not block; nothing when none.
  static void ShowFailed(QWidget* parent, const std::vector<FileSystem::FailedRename>& failed, bool undo,
                         bool keptUndoable = false);

 signals:
  // A run was recorded or undone: whether one can be undone may have changed.
  void UndoableRunsChanged();

 private:
  void StartUndo(const std::string& journalPath);
  void UndoRun(const std::string& journalPath);
  void FinishUndo(const Journal::UndoResult& result, DirListing::FolderRows listing, const UndoableScan& scan);
  void ShowError(const QString& text);

  WindowServices& services_;
  QTimer* tmrUndo = nullptr;
  std::string pendingUndo_;  // the journal tmrUndo undoes
  BackgroundRun* run_ = nullptr;
  mutable UndoableScan known_;
};
