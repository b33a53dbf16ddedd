#pragma once

class QAction;
class QMenu;
class QWidget;

// While a recursive search runs, everything that could change the lists is
// disabled. Each widget's or item's own enabled state is kept aside and given
// back afterwards, so that (for example) the Add menu's states survive.
void HoldForSearch(QWidget* widget, bool lock);
void HoldForSearch(QAction* item, bool lock);
// A menu: its title item, the menu itself and every item in it.
void HoldForSearch(QMenu* menu, bool lock);
