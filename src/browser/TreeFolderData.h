#pragma once

#include <QTreeWidgetItem>

#include <memory>
#include <string>

// What the folder tree knows about the folder of one node.
class TTreeFolderData {
 public:
  explicit TTreeFolderData(std::string path) : Path(std::move(path)) {}

  std::string Path;            // the folder's full path, exact bytes
  bool HasSubfolders = false;  // the node was given a placeholder child
  bool Loaded = false;         // the node's children have been read from disk
};

// A node of the folder tree. It owns its folder data, so the data goes
// whenever the node is deleted: the tree cleared, or a node's children
// replaced. Placeholder children carry no data.
class TFolderNode : public QTreeWidgetItem {
 public:
  static constexpr int kType = QTreeWidgetItem::UserType + 1;
  // The node's image index (0 closed folder, 1 open folder) under this role.
  static constexpr int kImageRole = Qt::UserRole + 1;

  explicit TFolderNode(std::unique_ptr<TTreeFolderData> data = nullptr)
      : QTreeWidgetItem(kType), data_(std::move(data)) {}

  TTreeFolderData* Data() const { return data_.get(); }

 private:
  std::unique_ptr<TTreeFolderData> data_;
};

// The folder data of a tree node; nullptr for a placeholder.
inline TTreeFolderData* FolderData(const QTreeWidgetItem* node) {
  if (!node || node->type() != TFolderNode::kType) return nullptr;
  return static_cast<const TFolderNode*>(node)->Data();
}

inline int NodeImage(const QTreeWidgetItem* node) {
  return node ? node->data(0, TFolderNode::kImageRole).toInt() : -1;
}
