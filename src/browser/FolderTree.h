#pragma once

#include <QIcon>
#include <QObject>
#include <QRect>

#include <string>
#include <vector>

class FileView;
class QComboBox;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;
class WindowServices;

// The folder tree, the path box with its history and the "..." button. It
// owns RootFolder (the tree's top node); the file view owns CurrentFolder
// and is asked for it.
class FolderTree : public QObject {
  Q_OBJECT

 public:
  FolderTree(QWidget* area, WindowServices& services, QObject* parent);
  void SetFileView(FileView* files) { files_ = files; }

  const std::string& RootFolder() const { return rootFolder_; }
  bool TreeRebuilding() const { return treeRebuilding_; }

  // Start-up: the initial history; then the tree of `root`.
  void ResetHistory(const std::string& defaultRoot);
  void ShowTree(const std::string& root);
  // The file view lists `folder`: the path box shows it and keeps it.
  void ShowListedFolder(const std::string& folder);
  // Marks the node of a folder that cannot be read (greyed, `text` as its tip).
  void MarkUnreadable(const std::string& folder, const QString& text);
  // The path box's text as file-system bytes: the exact bytes of the current
  // folder or of a history entry while the box shows one of them.
  std::string PathBoxText() const;

  void FillFolderTree();
  void FillFolderNode(const std::string& folderPath, QTreeWidgetItem* node);
  void trvwLocalChange(QTreeWidgetItem* node);
  void trvwLocalExpanded(QTreeWidgetItem* node);
  void trvwLocalCollapsed(QTreeWidgetItem* node);
  void cmdUpClick();
  void cboPathClick();
  // Adds the path-history entry of a folder path (trailing delimiter).
  void AddHistoryEntry(const std::string& folderPath);

  // Layout: the tree gets this size; the path box spans it beside "...".
  void LayOut(int width, int height);
  QRect TreeGeometry() const;
  int PathBoxTop() const;
  void SetShown(bool shown);
  // Its widgets in their tab order: path box, "...", tree.
  std::vector<QWidget*> TabStops() const;
  void SetSearchLocked(bool lock);

 signals:
  // A folder was chosen in the tree.
  void FolderChosen(const std::string& folder);

 private:
  void MarkNodeUnreadable(QTreeWidgetItem* node, const QString& text);

  WindowServices& services_;
  FileView* files_ = nullptr;
  std::string rootFolder_;
  bool treeRebuilding_ = false;

  QTreeWidget* trvwLocal = nullptr;
  QPushButton* cmdUp = nullptr;
  QComboBox* cboPath = nullptr;
  QIcon imglstTreeView[2];  // 0 closed folder, 1 open folder
};
