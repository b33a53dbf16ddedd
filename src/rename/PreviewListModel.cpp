#include "rename/PreviewListModel.h"
#include "widgets/WidgetBridge.h"

#include <QApplication>
#include <QIcon>
#include <QPixmap>
#include <QString>
#include <QStyle>

#include <algorithm>

namespace {

// Entries the preview marks with an icon: those that will fail, and those
// that block the run.
bool IsMarked(Destination outcome) {
  return WillFail(outcome) || outcome == Destination::InvalidName || outcome == Destination::Conflict;
}

}  // namespace

PreviewListModel::PreviewListModel(QObject* parent) : QAbstractTableModel(parent) {}

void PreviewListModel::SetEntries(std::vector<PreviewEntry> entries) {
  beginResetModel();
  entries_ = std::move(entries);
  outcomes_.clear();
  anyMarked_ = false;
  endResetModel();
}

void PreviewListModel::Clear() {
  if (entries_.empty()) return;
  beginResetModel();
  entries_.clear();
  entries_.shrink_to_fit();
  outcomes_.clear();
  outcomes_.shrink_to_fit();
  anyMarked_ = false;
  endResetModel();
}

void PreviewListModel::SetOutcomes(std::vector<Destination> outcomes) {
  if (outcomes.size() != entries_.size()) outcomes.clear();
  outcomes_ = std::move(outcomes);
  anyMarked_ = std::any_of(outcomes_.begin(), outcomes_.end(), [](Destination d) { return IsMarked(d); });
  if (anyMarked_ && blankMark_.isNull()) {
    const int size = QApplication::style()->pixelMetric(QStyle::PM_SmallIconSize);
    QPixmap blank(size, size);
    blank.fill(Qt::transparent);
    blankMark_ = QIcon(blank);
  }
  if (!entries_.empty())
    emit dataChanged(index(0, 0), index(rowCount() - 1, kColumnCount - 1),
                     {Qt::DecorationRole, Qt::ToolTipRole, Qt::AccessibleDescriptionRole, kOutcomeRole});
}

Destination PreviewListModel::OutcomeAt(std::size_t row) const {
  if (row < outcomes_.size()) return outcomes_[row];
  return ClassifyEntry(entries_.at(row)) == PreviewDetail::Unchanged ? Destination::Unchanged : Destination::Renames;
}

int PreviewListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : int(entries_.size());
}

int PreviewListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kColumnCount; }

QVariant PreviewListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= int(entries_.size())) return {};
  const std::size_t row = size_t(index.row());
  switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole: break;
    case kOutcomeRole: return int(OutcomeAt(row));
    case Qt::ToolTipRole:
    case Qt::AccessibleDescriptionRole: {
      const std::string reason = DestinationReason(OutcomeAt(row));
      return reason.empty() ? QVariant() : QVariant(FromBytes(reason));
    }
    case Qt::DecorationRole: {
      const Destination outcome = OutcomeAt(row);
      if (index.column() != kNewName) return {};
      if (!IsMarked(outcome)) return anyMarked_ ? QVariant(blankMark_) : QVariant();
      return QApplication::style()->standardIcon(WillFail(outcome) ? QStyle::SP_MessageBoxWarning
                                                                   : QStyle::SP_MessageBoxCritical);
    }
    default: return {};
  }
  const PreviewEntry& entry = entries_[row];
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
  if (!outcomes_.empty()) outcomes_.erase(outcomes_.begin() + row, outcomes_.begin() + row + count);
  endRemoveRows();
  return true;
}
