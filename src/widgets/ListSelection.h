#pragma once

#include <vector>

class QTreeView;

// The selected rows of a list view (top level only), ascending, each once.
std::vector<int> SelectedRows(const QTreeView* list);

// Removes the topmost selected row of a list view whose model can remove
// rows, and nothing else.
void RemoveFirstSelectedItem(QTreeView* list);
