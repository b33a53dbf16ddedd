#pragma once

// The few ways every room makes its widgets: a name (also the objectName)
// and the design's geometry.

#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QStringList>
#include <QTreeView>

#include "platform/Build.h"

// Line edits and combo boxes are a little taller in the Linux build.
constexpr int kEditHeight = kThisBuild == Build::Linux ? 23 : 21;

template <typename Widget>
Widget* Make(QWidget* parent, const char* name, int left, int top, int width, int height) {
  auto* widget = new Widget(parent);
  widget->setObjectName(QString::fromLatin1(name));
  widget->setGeometry(left, top, width, height);
  return widget;
}

inline QLabel* MakeLabel(QWidget* page, const char* name, const QString& caption, int left, int top, int width,
                         int height) {
  auto* label = Make<QLabel>(page, name, left, top, width, height);
  label->setText(caption);
  return label;
}

inline QLineEdit* MakeEdit(QWidget* page, const char* name, const QString& text, int left, int top, int width,
                           QLabel* label = nullptr) {
  auto* edit = Make<QLineEdit>(page, name, left, top, width, kEditHeight);
  edit->setText(text);
  if (label) label->setBuddy(edit);
  return edit;
}

inline QComboBox* MakeCombo(QWidget* page, const char* name, const QStringList& items, const QString& text,
                            int left, int top, int width, const QString& accessibleName) {
  auto* combo = Make<QComboBox>(page, name, left, top, width, kEditHeight);
  combo->setEditable(true);
  combo->setInsertPolicy(QComboBox::NoInsert);
  combo->addItems(items);
  combo->setCurrentText(text);
  combo->setAccessibleName(accessibleName);
  return combo;
}

// A list view of rows (no tree lines), selected row by row.
inline QTreeView* MakeList(QWidget* parent, const char* name, int left, int top, int width, int height,
                           const QString& accessibleName, QAbstractItemView::SelectionMode selection) {
  auto* list = Make<QTreeView>(parent, name, left, top, width, height);
  list->setAccessibleName(accessibleName);
  list->setRootIsDecorated(false);
  list->setSelectionMode(selection);
  list->setSelectionBehavior(QAbstractItemView::SelectRows);
  list->setUniformRowHeights(true);
  return list;
}

// The panes right of the lists (operation pages, confirmation, busy pane).
constexpr int kPageWidth = 241;
constexpr int kPageHeight = 177;

inline QGroupBox* MakePane(QWidget* parent, const char* name, const QString& caption, int left) {
  auto* pane = Make<QGroupBox>(parent, name, left, 0, kPageWidth, kPageHeight);
  pane->setTitle(caption);
  return pane;
}

inline QAction* MakeItem(QMenu* menu, const char* name, const QString& caption, const QKeySequence& shortcut = {}) {
  QAction* item = menu->addAction(caption);
  item->setObjectName(QString::fromLatin1(name));
  if (!shortcut.isEmpty()) item->setShortcut(shortcut);
  return item;
}

inline QAction* MakeCheckItem(QMenu* menu, const char* name, const QString& caption) {
  QAction* item = MakeItem(menu, name, caption);
  item->setCheckable(true);
  return item;
}

inline QMenu* MakeMenu(QMenuBar* bar, const char* name, const QString& caption) {
  QMenu* menu = bar->addMenu(caption);
  menu->setObjectName(QString::fromLatin1(name));
  return menu;
}

inline QMenu* MakePopup(QWidget* window, const char* name) {
  auto* menu = new QMenu(window);
  menu->setObjectName(QString::fromLatin1(name));
  return menu;
}
