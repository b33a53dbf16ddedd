#pragma once

#include <QObject>
#include <QPoint>
#include <QRect>

#include <string>
#include <vector>

#include "rename/Preview.h"

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
// entries, and carries out the renames on Yes.
class PreviewPane : public QObject {
  Q_OBJECT

 public:
  PreviewPane(QWidget* area, WindowServices& services, const OperationPages& pages, QObject* parent);
  // The rename list the preview is built from.
  void SetRenameList(RenameList* renameList) { renameList_ = renameList; }

  // Shows the confirmation pane and builds the preview of `operation` soon.
  void StartPreview(int operation);

  void tmrMakeListsTimer();
  void MakePreviewList(int operation);
  bool CheckFileNames(bool showMessages);
  void tmrCheckFileNamesTimer();
  void cmdYesClick();
  void tmrDoRenameTimer();
  void PerformRename();
  void cmdNoClick();
  void lviRenameDblClick();
  void lviRenameEdited(int row);
  // Mouse press on the preview list (run once the view has handled it).
  void lviRenameMouseDown(Qt::MouseButton button, const QPoint& globalPosition);
  void mnuRemoveFromListClick();

  const std::vector<PreviewEntry>& PreviewEntries() const;

  // A rename run in the state folder's journals can be undone.
  bool HasUndoableRun() const;
  // Renames the newest run that is not undone yet back, refreshes the file
  // view and shows the counts.
  void UndoLastRename();
  // At start-up: a run cut short by a crash is offered for undo; No keeps
  // its names and marks it finished.
  void OfferUndoOfUnfinishedRun();

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
  // A run was recorded or undone: whether one can be undone may have changed.
  void UndoableRunsChanged();

 private:
  void UndoRun(const std::string& journalPath);
  void ShowStranded(const std::vector<std::string>& stranded);
  void ShowError(const QString& text);

  WindowServices& services_;
  RenameList* renameList_ = nullptr;
  const OperationPages& pages_;

  QGroupBox* grpConfirmation = nullptr;
  QLabel* lblConfirmation = nullptr;
  QPushButton* cmdYes = nullptr;
  QPushButton* cmdNo = nullptr;
  QTreeView* lviRename = nullptr;
  PreviewListModel* lviRenameModel = nullptr;
  QMenu* mnuPopUpRename = nullptr;
  QAction* mnuRemoveFromList = nullptr;
  QTimer* tmrCheckFileNames = nullptr;
  QTimer* tmrMakeLists = nullptr;
  QTimer* tmrDoRename = nullptr;
};
