#pragma once

#include <QObject>
#include <QString>
#include <QTest>
#include <gtest/gtest.h>

#include <functional>

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "app/Main.h"
#include "support/TempDir.h"
#include "widgets/Dialogs.h"
#include "widgets/WidgetBridge.h"

class FileViewModel;
class QMimeData;
class PreviewListModel;
class QTreeView;
class RenameListModel;

// A widget, menu item, timer or other named object of the window, found by its
// objectName; the test fails when there is none.
template <typename T = QWidget>
T* Find(const QObject& root, const QString& name) {
  T* found = root.findChild<T*>(name);
  if (!found) ADD_FAILURE() << "no " << T::staticMetaObject.className() << " named " << name.toStdString();
  return found;
}
template <typename T = QWidget>
T* Find(const QObject& root, const char* name) {
  return Find<T>(root, QString::fromLatin1(name));
}

// The models behind the three lists.
FileViewModel* FileModel(const TfrmMain& w);
RenameListModel* RenameModel(const TfrmMain& w);
PreviewListModel* PreviewModel(const TfrmMain& w);

// Drag enter, move and drop as a window system delivers them; true when the
// drop was taken.
bool DropOn(QWidget* viewport, const QMimeData& mime);

// Waits (processing events) until the condition holds; false when it still
// does not hold after the time-out. Use as EXPECT_TRUE(WaitUntil(...)).
bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = 5000);

// The file view's rows, in display order.
std::vector<std::string> FileViewNames(TfrmMain& w);

// Records every message box the window shows and answers it without blocking:
// with the next queued answer, else Ok (or No for a Yes/No question).
class DialogRecorder {
 public:
  DialogRecorder();
  ~DialogRecorder();
  void QueueAnswer(DialogAnswer answer) { answers_.push_back(answer); }
  const std::vector<DialogRequest>& boxes() const { return boxes_; }
  int count() const { return int(boxes_.size()); }
  const DialogRequest& last() const { return boxes_.back(); }
  void clear() { boxes_.clear(); }

 private:
  std::vector<DialogRequest> boxes_;
  std::deque<DialogAnswer> answers_;
};

// A real main window on temporary program and home folders. Settings may be
// written into the home folder before the window is made.
class TestWindow {
 public:
  TestWindow();
  ~TestWindow();
  TfrmMain& Open();               // makes the window (runs its start-up)
  // The same with another program folder (where the undo file goes).
  TfrmMain& OpenWithProgramFolder(const std::string& folder);
  TfrmMain& window() { return *window_; }
  TfrmMain* operator->() { return window_.get(); }
  void Close();                   // closes it (runs its shut-down)

  void WriteSettings(const std::string& text) const;
  std::string ReadSettings() const;
  std::string SettingsPath() const { return home.path() + "/.Quillon.ini"; }
  // The window's state folder (rename journals), inside the temporary home.
  std::string StatePath() const { return home.path() + "/.local/state/quillon"; }

  TempDir programFolder;
  TempDir home;
  TempDir files;  // a folder for test files
  DialogRecorder dialogs;

 private:
  std::unique_ptr<TfrmMain> window_;
};

