#pragma once

#include <QString>

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "app/Dialogs.h"
#include "app/WidgetBridge.h"
#include "app/Main.h"
#include "support/TempDir.h"

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
  TfrmMain& window() { return *window_; }
  TfrmMain* operator->() { return window_.get(); }
  void Close();                   // closes it (runs its shut-down)

  void WriteSettings(const std::string& text) const;
  std::string ReadSettings() const;
  std::string SettingsPath() const { return home.path() + "/.Quillon.ini"; }

  TempDir programFolder;
  TempDir home;
  TempDir files;  // a folder for test files
  DialogRecorder dialogs;

 private:
  std::unique_ptr<TfrmMain> window_;
};

