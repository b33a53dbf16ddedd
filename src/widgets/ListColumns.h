#pragma once

#include <QObject>
#include <QPointer>

#include <vector>

class QTreeView;

// How many rows a column's width is measured on: the rows in view first,
// then their neighbours. A list of 100,000 rows is never measured whole.
constexpr int kColumnSampleRows = 256;

// Keeps the columns of a list view (or the one column of a tree) sized to
// their content. After every change of the rows (a new listing, rows added or
// removed, a cell edited, a tree node opened or closed) each column gets the
// width of its widest cell in the sample, never less than its design width or
// its caption. The last column also fills whatever width the view has left,
// so that the rows are drawn across the whole view; wider content scrolls
// sideways instead of being cut off.
class ColumnAutoSizer : public QObject {
 public:
  ColumnAutoSizer(QTreeView* view, std::vector<int> designWidths);

  // Measures the sample and sizes every column.
  void SizeNow();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Gives the last column the larger of its content width and the room left.
  void FillLastColumn();
  int LastColumn() const;

  QTreeView* view_;
  // Gone once the view is being torn down, when a tree's own model can still
  // report its last reset.
  QPointer<QWidget> viewport_;
  std::vector<int> designWidths_;
  int lastContentWidth_ = 0;
  bool sizing_ = false;
};
