#include "rename/PreviewListModel.h"
#include "widgets/WidgetBridge.h"

#include <QString>

namespace {


}  // namespace

PreviewListModel::PreviewListModel(QObject* parent) : QAbstractTableModel(parent) {}

void PreviewListModel::SetEntries(std::vector<PreviewEntry> entries) {
  beginResetModel();
  entries_ = std::move(entries);
  endResetModel();
}

void PreviewListModel::Clear() {
  if (entries_.empty()) return;
  beginResetModel();
  entries_.clear();
  entries_.shrink_to_fit();
  endResetModel();
}

int PreviewListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : int(entries_.size());
}

int PreviewListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kColumnCount; }

QVariant PreviewListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= int(entries_.size())) return {};
  if (role != Qt::DisplayRole && role != Qt::EditRole) return {};
  const PreviewEntry& entry = entries_[size_t(index.row())];
  switch (index.column()) {
    case kNewName: return FromBytes(entry.newName);
    case kOldName: return FromBytes(entry.oldName);
    case kPath: return FromBytes(entry.path);
    default: return {};
  }
}

QVariant PreviewListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  switch (section) {
    case kNewName: return QStringLiteral("New filename");
    case kOldName: return QStringLiteral("Old Filename");
    case kPath: return QStringLiteral("Path");
    default: return {};
  }
}

Qt::ItemFlags PreviewListModel::flags(const QModelIndex& index) const {
  Qt::ItemFlags result = QAbstractTableModel::flags(index);
  if (index.isValid() && index.column() == kNewName) result |= Qt::ItemIsEditable;
  return result;
}

bool PreviewListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (role != Qt::EditRole || !index.isValid() || index.column() != kNewName ||
      index.row() >= int(entries_.size()))
    return false;
  PreviewEntry& entry = entries_[size_t(index.row())];
  const QString typed = value.toString();
  // A name that is not valid UTF-8 is shown with replacement marks; an edit
  // that leaves the shown text as it was must keep the original bytes rather
  // than write the marks into the new name.
  if (typed != FromBytes(entry.newName)) {
    const QByteArray bytes = typed.toUtf8();
    entry.newName.assign(bytes.constData(), size_t(bytes.size()));
    emit dataChanged(index, index, {Qt::DisplayRole, Qt::EditRole});
  }
  emit Edited(index.row());
  return true;
}

bool PreviewListModel::removeRows(int row, int count, const QModelIndex& parent) {
  if (parent.isValid() || row < 0 || count <= 0 || row + count > int(entries_.size())) return false;
  beginRemoveRows(parent, row, row + count - 1);
  entries_.erase(entries_.begin() + row, entries_.begin() + row + count);
  endRemoveRows();
  return true;
}
