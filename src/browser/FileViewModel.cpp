#include "browser/FileViewModel.h"
#include "widgets/WidgetBridge.h"

#include <QDateTime>
#include <QMimeData>

#include <algorithm>
#include <set>

FileViewModel::FileViewModel(QIcon fileIcon, RenameHandler renameHandler, QObject* parent)
    : QAbstractTableModel(parent), fileIcon_(std::move(fileIcon)), renameHandler_(std::move(renameHandler)) {}

void FileViewModel::SetRows(std::vector<FileSystem::Entry> rows) {
  beginResetModel();
  rows_ = std::move(rows);
  locale_ = QLocale();
  endResetModel();
}

void FileViewModel::SetName(int row, std::string name) {
  if (row < 0 || row >= RowCount()) return;
  rows_[std::size_t(row)].name = std::move(name);
  const QModelIndex cell = index(row, kFilename);
  emit dataChanged(cell, cell);
}

QString FileViewModel::DisplayName(int row) const { return FromBytes(Name(row)); }

const FileSystem::Entry& FileViewModel::Examined(int row) const {
  FileSystem::Entry& entry = rows_[std::size_t(row)];
  if (!entry.examined) FileSystem::ExamineEntry(folder_, entry);
  return entry;
}

QString FileViewModel::SizeText(int row) const {
  const FileSystem::Entry& entry = Examined(row);
  return entry.examined ? QString::number(entry.size) : QString();
}

QString FileViewModel::TimestampText(int row) const {
  const FileSystem::Entry& entry = Examined(row);
  return entry.examined ? TimestampText(entry.modified, locale_) : QString();
}

QString FileViewModel::TimestampText(std::int64_t secondsSinceEpoch, const QLocale& locale) {
  const QDateTime local = QDateTime::fromSecsSinceEpoch(secondsSinceEpoch);
  QString text = locale.toString(local.date(), QLocale::ShortFormat);
  const QTime time = local.time();
  if (time != QTime(0, 0, 0)) text += QLatin1Char(' ') + locale.toString(time, QLocale::LongFormat);
  return text;
}

int FileViewModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : RowCount(); }

int FileViewModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kColumnCount; }

QVariant FileViewModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= RowCount()) return {};
  const int row = index.row();
  switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
    case Qt::AccessibleTextRole:
      switch (index.column()) {
        case kFilename: return DisplayName(row);
        case kSize: return SizeText(row);
        case kTimestamp: return TimestampText(row);
      }
      break;
    case Qt::DecorationRole:
      if (index.column() == kFilename) return fileIcon_;
      break;
    case Qt::TextAlignmentRole:
      // Sizes line up by their last digit, as in every file manager.
      if (index.column() == kSize) return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
      break;
  }
  return {};
}

QVariant FileViewModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation == Qt::Horizontal && role == Qt::TextAlignmentRole && section == kSize)
    return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  switch (section) {
    case kFilename: return QStringLiteral("Filename");
    case kSize: return QStringLiteral("Size");
    case kTimestamp: return QStringLiteral("Timestamp");
  }
  return {};
}

Qt::ItemFlags FileViewModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled | Qt::ItemNeverHasChildren;
  if (index.column() == kFilename) flags |= Qt::ItemIsEditable;
  return flags;
}

bool FileViewModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (role != Qt::EditRole || !index.isValid() || index.column() != kFilename || index.row() >= RowCount())
    return false;
  // The error box of a failed rename takes the focus from the editor, which
  // would commit the same text a second time.
  if (renaming_ || !renameHandler_) return false;
  const QString text = value.toString();
  // The editor starts with the name as shown; a name that is not valid UTF-8
  // shows replacement marks, and leaving it unchanged must not rename the file.
  if (text == DisplayName(index.row())) return false;
  renaming_ = true;
  const bool renamed = renameHandler_(index.row(), text.toUtf8().toStdString());
  renaming_ = false;
  return renamed;
}

QStringList FileViewModel::mimeTypes() const { return {QString::fromLatin1(kMimeType)}; }

QMimeData* FileViewModel::mimeData(const QModelIndexList& indexes) const {
  std::set<int> rows;
  for (const QModelIndex& index : indexes)
    if (index.isValid() && index.row() < RowCount()) rows.insert(index.row());
  if (rows.empty()) return nullptr;
  QByteArray bytes(folder_.data(), qsizetype(folder_.size()));
  bytes.append('\0');
  for (int row : rows) {
    bytes.append(Name(row).data(), qsizetype(Name(row).size()));
    bytes.append('\0');
  }
  auto* data = new QMimeData;
  data->setData(QString::fromLatin1(kMimeType), bytes);
  return data;
}

Qt::DropActions FileViewModel::supportedDragActions() const { return Qt::CopyAction; }

Qt::DropActions FileViewModel::supportedDropActions() const { return Qt::CopyAction; }
