#pragma once

#include <QAbstractTableModel>
#include <QIcon>

#include <vector>

#include "rename/DestinationCheck.h"
#include "rename/Preview.h"

// The rows of the preview list lviRename: one preview entry each, kept as the
// file system's bytes and converted for display only when a row is painted.
// Columns: "New filename" (editable in place), "Old Filename", "Path".
class PreviewListModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  enum Column { kNewName = 0, kOldName = 1, kPath = 2, kColumnCount = 3 };
  // The entry's Destination as an int, on every column.
  static constexpr int kOutcomeRole = Qt::UserRole + 1;

  explicit PreviewListModel(QObject* parent = nullptr);

  const std::vector<PreviewEntry>& entries() const { return entries_; }
  // Replaces every row at once (one reset, whatever the number of rows).
  void SetEntries(std::vector<PreviewEntry> entries);
  void Clear();
  // What the destination check found for each row (the rows as they are);
  // a marked row shows an icon before its new name, and its reason as the
  // tooltip and accessible description of every column.
  void SetOutcomes(std::vector<Destination> outcomes);
  Destination OutcomeAt(std::size_t row) const;

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  // An in-place edit of the first column: the typed text is stored as it is
  // and Edited(row) is emitted.
  bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
  bool removeRows(int row, int count, const QModelIndex& parent = QModelIndex()) override;

 signals:
  void Edited(int row);

 private:
  std::vector<PreviewEntry> entries_;
  std::vector<Destination> outcomes_;  // empty until checked
  // Once any row is marked, the others get a blank mark of the same size, so
  // that the new names stay in one column.
  bool anyMarked_ = false;
  QIcon blankMark_;
};
