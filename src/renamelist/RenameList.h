#pragma once

#include <QObject>
#include <QPoint>

#include <string>
#include <vector>

#include "renamelist/RenameListEntry.h"

class FileView;
class QAction;
class QMenu;
class QMenuBar;
class QMimeData;
class QTimer;
class QTreeView;
class RecursiveSearch;
class RenameListModel;
class WindowServices;

// The rename list, its Add menu and popup, and the recursive search. It owns
// KeepRenameList: whether the list outlives the next preview.
class RenameList : public QObject {
  Q_OBJECT

 public:
  RenameList(QWidget* area, WindowServices& services, QObject* parent);
  // The file view whose rows and folder the Add menu takes.
  void SetFileView(const FileView* files) { files_ = files; }
  // The Add menu, in its place on the menu bar.
  void CreateAddMenu(QMenuBar* bar);

  int KeepRenameList() const;
  void SetKeepRenameList(int value);
  bool IsInRenameList(const std::string& name, const std::string& path) const;
  void AddToRenameList(const std::string& name, const std::string& path);
  // The entries in list order, for the preview builder and the execution.
  const std::vector<RenameListEntry>& RenameListEntries() const;
  void ClearRenameList();
  // A preview of an empty list takes every file the file view shows, and
  // that list goes again when the preview is dropped.
  void FillForPreview();
  // A preview was dropped: the list goes too unless it is kept.
  void PreviewDropped();

  void mnuSelectedFilesClick();
  void mnuAllFilesClick();
  void mnuFolderNameClick();
  void mnuAllFilesRecursiveClick();
  void tmrRecursiveTimer();
  void mnuClearSelectedClick();
  void mnuClearClick();
  void mnuAddClick();
  void lviFilesDragOver();
  // Adds the files and folders of a drop from another program; false (and
  // nothing changed) when the drop holds anything but local files.
  bool lviFilesDropFromOutside(const QMimeData* mime);
  void lviFilesItemMouseDown(Qt::MouseButton button, const QPoint& position);
  // The Add menu's item as a click on it (nothing while disabled).
  void InvokeAllFiles();
  // Rows of the list dragged out over the file view leave the list.
  void RemoveDraggedOut();
  // Asks a running recursive search to stop.
  void StopRecursiveSearch();

  // Layout: the list at `left`, `height` tall.
  void LayOut(int left, int height);
  void SetShown(bool shown);
  void SetMenuEnabled(bool enabled);
  void SetSearchLocked(bool lock);

 private:
  void RecursiveSearchBatch(std::vector<RenameListEntry>& batch, const std::string& folder, std::size_t found);
  void RecursiveSearchFinished();

  WindowServices& services_;
  const FileView* files_ = nullptr;

  QTreeView* lviFiles = nullptr;
  RenameListModel* lviFilesModel = nullptr;
  QMenu* mnuAdd = nullptr;
  QAction* mnuSelectedFiles = nullptr;
  QAction* mnuAllFiles = nullptr;
  QAction* mnuFolderName = nullptr;
  QAction* mnuAllFilesRecursive = nullptr;
  QAction* mnuClearSelected = nullptr;
  QAction* mnuClear = nullptr;
  QMenu* mnuPopUpFiles = nullptr;
  QAction* mnuClearSelected2 = nullptr;
  QAction* mnuClearAll2 = nullptr;
  QTimer* tmrRecursive = nullptr;
  RecursiveSearch* recursiveSearch = nullptr;
};
