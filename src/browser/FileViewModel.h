#pragma once

#include <QAbstractTableModel>
#include <QIcon>
#include <QLocale>

#include <functional>
#include <string>
#include <vector>

#include "platform/FileSystem.h"

// The rows of the file view: the files of the current folder as the listing
// found them. Names keep the file system's exact bytes; the texts on screen
// are made from them when a cell is drawn.
class FileViewModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  enum Column { kFilename = 0, kSize = 1, kTimestamp = 2, kColumnCount = 3 };
  // Rows dragged out of the file view carry this type: the folder, then each
  // dragged name, every part ended by a zero byte.
  static constexpr const char* kMimeType = "application/x-quillon-file-view-rows";

  // Called when the user confirms a changed name in the Filename cell; true
  // when the file now has that name (the handler updates the row itself).
  using RenameHandler = std::function<bool(int row, const std::string& newName)>;

  FileViewModel(QIcon fileIcon, RenameHandler renameHandler, QObject* parent = nullptr);

  // Replaces every row at once (one model reset). Rows read without sizes
  // and times get them from the file system when first shown.
  void SetRows(std::vector<FileSystem::Entry> rows);
  void SetName(int row, std::string name);
  // The folder the rows belong to; goes into dragged data.
  void SetFolder(std::string folder) { folder_ = std::move(folder); }

  int RowCount() const { return int(rows_.size()); }
  const std::string& Name(int row) const { return rows_[std::size_t(row)].name; }
  QString DisplayName(int row) const;
  QString SizeText(int row) const;
  QString TimestampText(int row) const;
  // The date in the locale's short format, then, unless the time of day is
  // exactly 00:00:00, a blank and the time in the locale's long format.
  static QString TimestampText(std::int64_t secondsSinceEpoch, const QLocale& locale);

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
  QStringList mimeTypes() const override;
  QMimeData* mimeData(const QModelIndexList& indexes) const override;
  Qt::DropActions supportedDragActions() const override;
  Qt::DropActions supportedDropActions() const override;

 private:
  // Sizes and times are read when a row is first shown (see ListFiles).
  const FileSystem::Entry& Examined(int row) const;
  mutable std::vector<FileSystem::Entry> rows_;
  std::string folder_;
  QIcon fileIcon_;
  QLocale locale_;
  RenameHandler renameHandler_;
  bool renaming_ = false;
};
