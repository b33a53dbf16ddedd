#pragma once

#include <QAbstractTableModel>

#include <string>
#include <unordered_set>
#include <vector>

#include "renamelist/RenameListEntry.h"

// The rows of the rename list: entries in the order they were added, never
// sorted. Names and folders keep their exact bytes; the view sees them
// converted on demand. A hash index of (Filename, Path) beside the rows keeps
// the duplicate test constant-time.
class RenameListModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  explicit RenameListModel(QObject* parent = nullptr);

  const std::vector<RenameListEntry>& entries() const { return entries_; }
  bool Contains(const std::string& filename, const std::string& path) const;
  // Appends the entry unless an equal one is listed. True when appended.
  bool Append(const std::string& filename, const std::string& path);
  // Appends, in order, every entry of the batch not yet listed (duplicates
  // inside the batch included), as one insertion. Returns how many were added.
  std::size_t AppendBatch(std::vector<RenameListEntry>&& batch);
  void Clear();

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  bool removeRows(int row, int count, const QModelIndex& parent = {}) override;

  // Dragging entries only carries their row numbers; whoever receives the drag
  // reads nothing from it (the rename list and the file view act on their own
  // selections). Copy only: a drag never removes rows by itself.
  QStringList mimeTypes() const override;
  QMimeData* mimeData(const QModelIndexList& indexes) const override;
  Qt::DropActions supportedDragActions() const override;

  static constexpr const char* kMimeType = "application/x-quillon-rename-list-rows";

 private:
  static std::string Key(const std::string& filename, const std::string& path);

  std::vector<RenameListEntry> entries_;
  std::unordered_set<std::string> index_;
};
