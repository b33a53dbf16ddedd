#pragma once

#include <QString>

#include <cstddef>
#include <functional>
#include <string>

#include "browser/DirListing.h"

class QWidget;

// What the window does for its rooms: the status line and the busy pane,
// the Options menu's check marks, the switch between browsing and preview
// layout, and the lock while a recursive search runs.
class WindowServices {
 public:
  // The status line; any text that does not start with "Ready" also shows
  // the busy pane with that text (and clears CancelRequested).
  virtual void ShowStatus(const QString& text) = 0;
  virtual QString StatusText() const = 0;
  // Cancel was pressed since the busy pane last showed a text.
  virtual bool CancelRequested() const = 0;
  // The busy pane's two lines during a search; the first is shortened in
  // its middle to fit.
  virtual void ShowBusyProgress(const QString& firstLine, const QString& secondLine) = 0;
  // The busy pane's progress bar and counts during a long rename or undo
  // (total 0: a bar that only shows that work goes on). Any ShowStatus
  // hides it again.
  virtual void ShowRunProgress(const QString& firstLine, std::size_t done, std::size_t total) = 0;
  // Disables (or restores) everything that could change the lists while a
  // search, a rename run or an undo works in the background; when
  // `cancellable`, Cancel is offered meanwhile and holds the keyboard focus.
  virtual void LockForBackgroundWork(bool lock, bool cancellable) = 0;
  // Browsing layout (true) or preview layout (false).
  virtual void HideViewControls(bool browse) = 0;
  // File > Refresh, as a click on it.
  virtual void RefreshFiles() = 0;
  // The same in two halves, for work that ends in the background: the
  // reader touches no widget and runs in the work's thread; its rows are
  // then shown as Refresh shows them.
  virtual std::function<DirListing::FolderRows()> RefreshReader() const = 0;
  virtual void ShowRefreshedFiles(DirListing::FolderRows listing) = 0;

  struct Options {
    bool caseSensitive = false;
    bool includeExtension = false;
    bool undoFile = true;
  };
  virtual Options CurrentOptions() const = 0;
  // The folder of the executable, with a trailing delimiter.
  virtual const std::string& ProgramFolder() const = 0;
  // The user's state folder, where the rename journals (and an undo file the
  // program folder cannot take) go; empty when there is none.
  virtual const std::string& StateFolder() const = 0;
  // The parent of the rooms' message boxes.
  virtual QWidget* DialogParent() = 0;

 protected:
  ~WindowServices() = default;
};
