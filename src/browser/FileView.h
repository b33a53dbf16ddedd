#pragma once

#include <QObject>
#include <QRect>
#include <QString>

#include "browser/DirListing.h"

#include <functional>
#include <string>
#include <vector>

class FileViewModel;
class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class QTimer;
class QTreeView;
class WindowServices;

// The file view: the files of CurrentFolder that match the pattern box,
// refreshed on request, renamed in place, deleted from its popup menu. It
// owns CurrentFolder; the others ask it.
class FileView : public QObject {
  Q_OBJECT

 public:
  FileView(QWidget* area, WindowServices& services, QObject* parent);

  const std::string& CurrentFolder() const { return currentFolder_; }
  void SetCurrentFolder(const std::string& folder) { currentFolder_ = folder; }
  QString Pattern() const;
  void SetPattern(const QString& pattern);

  void ListFiles(const std::string& folderPath);
  void mnuRefreshClick();
  // The Refresh command in two halves, for work that ends in the background:
  // the reader runs on any thread, and its rows are then shown as Refresh
  // shows them (read again when the folder or pattern changed meanwhile).
  std::function<DirListing::FolderRows()> RefreshReader() const;
  void ShowRefreshed(DirListing::FolderRows listing);
  void tmrRefreshTimer();
  void txtPatternChange();
  // False when the rename failed (the error box has been shown).
  bool lstvwLocalEdited(int row, const std::string& newName);
  void mnuDeleteFileClick();
  void lstvwLocalDblClick();

  // What the file view offers the rename list: its rows in display order
  // (exact bytes of each name) and which of them are selected.
  int FileViewRowCount() const;
  const std::string& FileViewName(int row) const;
  std::vector<int> FileViewSelectedRows() const;  // ascending

  // Layout: the pattern box above the list, both `width` wide at `left`.
  void LayOut(int left, int width, int height);
  QRect ListGeometry() const;
  void SetShown(bool shown);
  void SetSearchLocked(bool lock);
  // Its widgets in their tab order: pattern box, list.
  std::vector<QWidget*> TabStops() const;
  void FocusPattern();

 signals:
  // A folder has been listed (trailing delimiter).
  void FolderListed(const std::string& folder);
  // The selected files are to go to the rename list (popup Add, double click).
  void AddSelectedFilesRequested();
  // Something is dragged over the view.
  void DraggedOver();
  // The folder just listed cannot be read: `text` says why.
  void FolderUnreadable(const std::string& folder, const QString& text);

 private:
  void ShowRows(std::vector<FileSystem::Entry> rows);

  WindowServices& services_;
  std::string currentFolder_;

  QTreeView* lstvwLocal = nullptr;
  QLabel* lblUnreadable = nullptr;  // over the empty view of an unreadable folder
  QLineEdit* txtPattern = nullptr;
  FileViewModel* lstvwLocalModel = nullptr;
  QMenu* mnuPopUpLocal = nullptr;
  QAction* mnuAddFile2 = nullptr;
  QAction* mnuDeleteFile = nullptr;
  QTimer* tmrRefresh = nullptr;
};
