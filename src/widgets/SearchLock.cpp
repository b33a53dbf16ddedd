#include "widgets/SearchLock.h"

#include <QAction>
#include <QMenu>
#include <QVariant>

namespace {
const char* const kEnabledBeforeSearch = "enabledBeforeSearch";
}  // namespace

void HoldForSearch(QWidget* widget, bool lock) {
  if (lock) {
    widget->setProperty(kEnabledBeforeSearch, !widget->testAttribute(Qt::WA_Disabled));
    widget->setEnabled(false);
  } else {
    widget->setEnabled(widget->property(kEnabledBeforeSearch).toBool());
    widget->setProperty(kEnabledBeforeSearch, QVariant());
  }
}

void HoldForSearch(QAction* item, bool lock) {
  if (lock) {
    item->setProperty(kEnabledBeforeSearch, item->isEnabled());
    item->setEnabled(false);
  } else {
    item->setEnabled(item->property(kEnabledBeforeSearch).toBool());
    item->setProperty(kEnabledBeforeSearch, QVariant());
  }
}

void HoldForSearch(QMenu* menu, bool lock) {
  HoldForSearch(menu->menuAction(), lock);
  for (QAction* item : menu->actions()) HoldForSearch(item, lock);
  HoldForSearch(static_cast<QWidget*>(menu), lock);
}
