#pragma once

#include <QObject>
#include <QPoint>
#include <QRect>

#include <string>
#include <vector>

#include "browser/DirListing.h"
#include "rename/Preview.h"
#include "rename/RenameEngine.h"
#include "rename/UndoManager.h"

class BackgroundRun;
class OperationPages;
class PreviewListModel;
class QAction;
class QGroupBox;
class QLabel;
class QMenu;
class QPushButton;
class QString;
class QTimer;
class QTreeView;
class RenameList;
class WindowServices;

// The preview list and the confirmation pane: builds the preview of the
// rename list for one operation, checks it, lets the user edit or remove
// entries, and carries out the renames on Yes. It only reads the rename
// list; what becomes of the list it says by signals.
class PreviewPane : public QObject {
  Q_OBJECT

 public:
  PreviewPane(QWidget* area, WindowServices& services, const OperationPages& pages, QObject* parent);
  // The rename list the preview is built from.
  void SetRenameList(const RenameList* renameList) { renameList_ = renameList; }

  // Shows the confirmation pane and builds the preview of `operation` soon.
  void StartPreview(int operation);

  void tmrMakeListsTimer();
  void MakePreviewList(int operation);
  bool CheckFileNames(bool showMessages);
  void tmrCheckFileNamesTimer();
  void cmdYesClick();
  void tmrDoRenameTimer();
  // Opens the journal (asking when it cannot be) and starts the run in the
  // background; the busy pane shows its progress and offers Cancel.
  void PerformRename();
  // The window is closing: a running rename is cancelled between two
  // entries and its closing steps (counts, undo file) happen now.
  void FinishRunNow();
  // Lets the progress show sooner than a user would see it (tests).
  BackgroundRun& Run() { return *run_; }
  void cmdNoClick();
  void lviRenameDblClick();
  void lviRenameEdited(int row);
  // Mouse press on the preview list (run once the view has handled it).
  void lviRenameMouseDown(Qt::MouseButton button, const QPoint& globalPosition);
  void mnuRemoveFromListClick();

  const std::vector<PreviewEntry>& PreviewEntries() const;

  // Layout: the confirmation pane's left edge; the list over the browser.
  void MoveTo(int left);
  void PlaceList(const QRect& geometry);
  void SetListShown(bool shown);
  void SetWaitCursor(bool wait);
  void SetSearchLocked(bool lock);
  // Its widgets in their tab order: the preview list.
  std::vector<QWidget*> TabStops() const;

 signals:
  // The confirmation pane lies over the operation page (true), or not.
  void PageCovered(bool covered);
  // The rename list is empty and a preview is wanted: the rename list takes
  // every file the file view shows, for this preview only.
  void RenameListWanted();
  // A rename run used up the rename list.
  void RenameListUsed();
  // The preview was dropped: the rename list goes too unless it is kept.
  void PreviewDropped();
  // A rename run ended (the undo manager writes the undo file).
  void RunFinished(const RenameEngine::RenameRun& run, const UndoManager::UndoableScan& scan);

 private:
  void ShowError(const QString& text);
  void FinishRename(const RenameEngine::RenameRun& run, DirListing::FolderRows listing,
                    const UndoManager::UndoableScan& scan, const std::string& error);

  WindowServices& services_;
  const RenameList* renameList_ = nullptr;
  const OperationPages& pages_;

  QGroupBox* grpConfirmation = nullptr;
  QLabel* lblConfirmation = nullptr;
  QLabel* lblOutlook = nullptr;
  QPushButton* cmdYes = nullptr;
  QPushButton* cmdNo = nullptr;
  QTreeView* lviRename = nullptr;
  PreviewListModel* lviRenameModel = nullptr;
  QMenu* mnuPopUpRename = nullptr;
  QAction* mnuRemoveFromList = nullptr;
  QTimer* tmrCheckFileNames = nullptr;
  QTimer* tmrMakeLists = nullptr;
  QTimer* tmrDoRename = nullptr;
  BackgroundRun* run_ = nullptr;
};
