#include "widgets/WidgetBridge.h"

#include <QAction>
#include <QVariant>

namespace {
const char* const kTagProperty = "tag";
}  // namespace

int Tag(const QObject* object) { return object ? object->property(kTagProperty).toInt() : 0; }

void SetTag(QObject* object, int value) { object->setProperty(kTagProperty, value); }

void Invoke(QAction* item) {
  if (item && item->isEnabled()) item->trigger();
}
