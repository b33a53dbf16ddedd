#pragma once

#include <QObject>

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "renamelist/RenameListEntry.h"

class QTimer;

// Runs the recursive file search (FindFilesRecursive) in a worker thread and
// hands what it finds to the GUI thread in batches, in exactly the order the
// search produces. A GUI timer collects the batches; it never waits on the
// worker. Stopping is an atomic flag that the search reads before it reads
// or enters each folder and at every file it passes.
//
// A worker that does not end soon after a stop (it may be blocked in a folder
// read on a stalled network or FUSE mount) is abandoned: the search finishes
// as stopped, the thread is detached and ends whenever its system call
// returns. Everything it touches lives in a shared state it co-owns, so
// nothing is freed under it. The entries found before the stop are kept;
// whatever the abandoned worker finds later is dropped with its state.
class RecursiveSearch : public QObject {
  Q_OBJECT

 public:
  struct Progress {
    std::string folder;     // folder of the file found last, trailing delimiter
    std::size_t found = 0;  // files found so far
  };
  // Runs on the GUI thread with the entries found since the last call.
  using BatchHandler = std::function<void(std::vector<RenameListEntry>& batch, const Progress& progress)>;
  // Runs on the GUI thread once the worker has ended (or was abandoned) and
  // every entry has been handed over; `stopped` tells whether the search was
  // stopped early.
  using FinishedHandler = std::function<void(bool stopped)>;

  static constexpr int kPollInterval = 30;     // ms between batches
  static constexpr int kAbandonAfter = 250;    // ms a stopped worker has to end

  explicit RecursiveSearch(QObject* parent = nullptr);
  ~RecursiveSearch() override;

  void SetHandlers(BatchHandler onBatch, FinishedHandler onFinished);
  // Starts a search of `folder` for files matching `mask`. False (and nothing
  // started) while a search is running. With `stopAtFirstFile` the stop is
  // requested from the start: the search ends at the first file it passes.
  bool Start(const std::string& folder, const std::string& mask, bool stopAtFirstFile = false);
  // Asks the running search to stop; it finishes within kAbandonAfter plus a
  // poll interval, blocked or not.
  void RequestStop();
  bool IsRunning() const { return running_; }

 private:
  // Shared between the worker and the GUI thread; the worker co-owns it.
  struct State {
    std::atomic<bool> stop{false};  // read before every folder and file
    std::atomic<bool> stopAtNextFile{false};  // read at every file
    std::mutex mutex;
    std::condition_variable ended;
    std::vector<RenameListEntry> pending;
    Progress progress;
    bool done = false;
  };

  void Poll();
  void Abandon();
  void Finish(std::vector<RenameListEntry>& batch, const Progress& progress);
  static void RunWorker(const std::shared_ptr<State>& state, const std::string& folder, const std::string& mask);

  BatchHandler onBatch_;
  FinishedHandler onFinished_;
  QTimer* poll_ = nullptr;
  QTimer* abandon_ = nullptr;
  bool running_ = false;

  std::thread worker_;
  std::shared_ptr<State> state_;
};
