#pragma once

#include <QMimeData>

#include "browser/FileViewModel.h"
#include "renamelist/RenameListModel.h"

// Drags that start in the program's own file view or rename list carry the
// rows in one of the program's own formats; anything else comes from another
// program.
inline bool IsOwnDrag(const QMimeData* mime) {
  return mime && (mime->hasFormat(QString::fromLatin1(FileViewModel::kMimeType)) ||
                  mime->hasFormat(QString::fromLatin1(RenameListModel::kMimeType)));
}
