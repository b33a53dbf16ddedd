#include "renamelist/RenameListModel.h"
#include "widgets/WidgetBridge.h"

#include <QMimeData>

#include <algorithm>
#include <cstring>

namespace {


}  // namespace

RenameListModel::RenameListModel(QObject* parent) : QAbstractTableModel(parent) {}

// The filename's length leads the key, so that no split of one text into
// Filename and Path can collide with another.
std::string RenameListModel::Key(const std::string& filename, const std::string& path) {
  const std::size_t length = filename.size();
  std::string key(sizeof length, '\0');
  std::memcpy(key.data(), &length, sizeof length);
  key.reserve(key.size() + filename.size() + path.size());
  key += filename;
  key += path;
  return key;
}

bool RenameListModel::Contains(const std::string& filename, const std::string& path) const {
  return index_.count(Key(filename, path)) != 0;
}

bool RenameListModel::Append(const std::string& filename, const std::string& path) {
  if (!index_.insert(Key(filename, path)).second) return false;
  const int row = int(entries_.size());
  beginInsertRows({}, row, row);
  entries_.push_back({filename, path});
  endInsertRows();
  return true;
}

std::size_t RenameListModel::AppendBatch(std::vector<RenameListEntry>&& batch) {
  std::vector<RenameListEntry> fresh;
  fresh.reserve(batch.size());
  for (RenameListEntry& entry : batch)
    if (index_.insert(Key(entry.filename, entry.path)).second) fresh.push_back(std::move(entry));
  batch.clear();
  if (fresh.empty()) return 0;

  const int first = int(entries_.size());
  beginInsertRows({}, first, first + int(fresh.size()) - 1);
  entries_.reserve(entries_.size() + fresh.size());
  std::move(fresh.begin(), fresh.end(), std::back_inserter(entries_));
  endInsertRows();
  return fresh.size();
}

void RenameListModel::Clear() {
  if (entries_.empty()) return;
  beginResetModel();
  entries_.clear();
  entries_.shrink_to_fit();
  index_.clear();
  endResetModel();
}

int RenameListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : int(entries_.size());
}

int RenameListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : 2; }

QVariant RenameListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= int(entries_.size())) return {};
  if (role != Qt::DisplayRole && role != Qt::ToolTipRole) return {};
  const RenameListEntry& entry = entries_[std::size_t(index.row())];
  return FromBytes(index.column() == 0 ? entry.filename : entry.path);
}

QVariant RenameListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  if (section == 0) return QStringLiteral("Filename");
  if (section == 1) return QStringLiteral("Path");
  return {};
}

Qt::ItemFlags RenameListModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled | Qt::ItemNeverHasChildren;
}

bool RenameListModel::removeRows(int row, int count, const QModelIndex& parent) {
  if (parent.isValid() || row < 0 || count <= 0 || row + count > int(entries_.size())) return false;
  beginRemoveRows({}, row, row + count - 1);
  const auto first = entries_.begin() + row;
  const auto last = first + count;
  for (auto it = first; it != last; ++it) index_.erase(Key(it->filename, it->path));
  entries_.erase(first, last);
  endRemoveRows();
  return true;
}

QStringList RenameListModel::mimeTypes() const { return {QString::fromLatin1(kMimeType)}; }

QMimeData* RenameListModel::mimeData(const QModelIndexList& indexes) const {
  std::vector<int> rows;
  rows.reserve(std::size_t(indexes.size()));
  for (const QModelIndex& index : indexes)
    if (index.isValid() && index.column() == 0) rows.push_back(index.row());
  std::sort(rows.begin(), rows.end());
  QByteArray encoded;
  for (int row : rows) encoded += QByteArray::number(row) + '\n';
  auto* mime = new QMimeData;
  mime->setData(QString::fromLatin1(kMimeType), encoded);
  return mime;
}

Qt::DropActions RenameListModel::supportedDragActions() const { return Qt::CopyAction; }
