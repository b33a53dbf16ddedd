#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <string>

// Names and paths are the file system's bytes; widgets hold QString. These
// two are the only crossings, for what is shown and what is typed.
inline QString FromBytes(const std::string& bytes) {
  return QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
}
inline std::string ToBytes(const QString& text) {
  const QByteArray bytes = text.toUtf8();
  return std::string(bytes.constData(), std::size_t(bytes.size()));
}

// Runs a function on the events of one object before the object sees them;
// owned by that object.
class EventHook : public QObject {
 public:
  EventHook(QObject* target, std::function<bool(QEvent*)> hook) : QObject(target), hook_(std::move(hook)) {
    target->installEventFilter(this);
  }
  bool eventFilter(QObject*, QEvent* event) override { return hook_(event); }

 private:
  std::function<bool(QEvent*)> hook_;
};

class QAction;

// The integer tag value that some widgets carry (operation numbers,
// KeepRenameList, CancelRequested).
int Tag(const QObject* object);
void SetTag(QObject* object, int value);

// Runs a menu item exactly as a click on it: nothing while it is disabled.
void Invoke(QAction* item);
