#include "widgets/ListColumns.h"

#include <QEvent>
#include <QHeaderView>
#include <QTreeView>

#include <algorithm>

ColumnAutoSizer::ColumnAutoSizer(QTreeView* view, std::vector<int> designWidths)
    : QObject(view), view_(view), viewport_(view->viewport()), designWidths_(std::move(designWidths)) {
  QHeaderView* header = view_->header();
  header->setResizeContentsPrecision(kColumnSampleRows);
  header->setStretchLastSection(false);
  for (int column = 0; column < int(designWidths_.size()); ++column)
    header->resizeSection(column, designWidths_[std::size_t(column)]);

  if (QAbstractItemModel* model = view_->model()) {
    connect(model, &QAbstractItemModel::modelReset, this, &ColumnAutoSizer::SizeNow);
    connect(model, &QAbstractItemModel::layoutChanged, this, &ColumnAutoSizer::SizeNow);
    connect(model, &QAbstractItemModel::rowsInserted, this, &ColumnAutoSizer::SizeNow);
    connect(model, &QAbstractItemModel::rowsRemoved, this, &ColumnAutoSizer::SizeNow);
    connect(model, &QAbstractItemModel::dataChanged, this, &ColumnAutoSizer::SizeNow);
  }
  connect(view_, &QTreeView::expanded, this, &ColumnAutoSizer::SizeNow);
  connect(view_, &QTreeView::collapsed, this, &ColumnAutoSizer::SizeNow);
  // A column the user drags to another width changes the room left for the
  // last one.
  connect(header, &QHeaderView::sectionResized, this, [this](int column) {
    if (!sizing_ && column != LastColumn()) FillLastColumn();
  });
  view_->viewport()->installEventFilter(this);
  SizeNow();
}

int ColumnAutoSizer::LastColumn() const {
  const QHeaderView* header = view_->header();
  for (int visual = header->count() - 1; visual >= 0; --visual) {
    const int column = header->logicalIndex(visual);
    if (!header->isSectionHidden(column)) return column;
  }
  return -1;
}

void ColumnAutoSizer::SizeNow() {
  if (!viewport_) return;
  QHeaderView* header = view_->header();
  const int last = LastColumn();
  sizing_ = true;
  for (int column = 0; column < header->count(); ++column) {
    if (header->isSectionHidden(column)) continue;
    // Through the base class, where the measuring is public.
    const QAbstractItemView* view = view_;
    int width = std::max(view->sizeHintForColumn(column), header->isHidden() ? 0 : header->sectionSizeHint(column));
    if (column < int(designWidths_.size())) width = std::max(width, designWidths_[std::size_t(column)]);
    if (column == last)
      lastContentWidth_ = width;
    else
      header->resizeSection(column, width);
  }
  sizing_ = false;
  FillLastColumn();
}

void ColumnAutoSizer::FillLastColumn() {
  if (!viewport_) return;
  QHeaderView* header = view_->header();
  const int last = LastColumn();
  if (last < 0) return;
  int others = 0;
  for (int column = 0; column < header->count(); ++column)
    if (column != last && !header->isSectionHidden(column)) others += header->sectionSize(column);
  const int width = std::max(lastContentWidth_, view_->viewport()->width() - others);
  if (header->sectionSize(last) == width) return;
  sizing_ = true;
  header->resizeSection(last, width);
  sizing_ = false;
}

bool ColumnAutoSizer::eventFilter(QObject* watched, QEvent* event) {
  if (watched == viewport_ && event->type() == QEvent::Resize) FillLastColumn();
  return QObject::eventFilter(watched, event);
}
