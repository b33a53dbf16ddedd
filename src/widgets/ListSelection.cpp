#include "widgets/ListSelection.h"

#include <QItemSelectionModel>
#include <QTreeView>

#include <algorithm>

std::vector<int> SelectedRows(const QTreeView* list) {
  std::vector<int> rows;
  const QItemSelectionModel* selection = list->selectionModel();
  if (!selection) return rows;
  for (const QItemSelectionRange& range : selection->selection()) {
    if (range.parent().isValid()) continue;
    for (int row = range.top(); row <= range.bottom(); ++row) rows.push_back(row);
  }
  std::sort(rows.begin(), rows.end());
  rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
  return rows;
}

void RemoveFirstSelectedItem(QTreeView* list) {
  if (!list || !list->model() || !list->selectionModel()) return;
  int first = -1;
  for (const QItemSelectionRange& range : list->selectionModel()->selection()) {
    if (!range.isValid() || range.parent().isValid()) continue;
    if (first < 0 || range.top() < first) first = range.top();
  }
  if (first >= 0) list->model()->removeRow(first);
}
