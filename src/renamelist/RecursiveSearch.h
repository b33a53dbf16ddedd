#pragma once

#include <QObject>

#include <atomic>
#include <cstddef>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "renamelist/RenameListEntry.h"

class QTimer;

// Runs the recursive file search (FindFilesRecursive) in a worker thread and
// hands what it finds to the GUI thread in batches, in exactly the order the
// search produces. A GUI timer collects the batches; it never waits on the
// worker. Stopping is an atomic flag that the search's callback reads, so a
// stop ends the search at the next file it passes.
//
// Destroying the object stops and joins the worker.
class RecursiveSearch : public QObject {
  Q_OBJECT

 public:
  struct Progress {
    std::string folder;     // folder being searched, trailing delimiter
    std::size_t found = 0;  // files found so far
  };
  // Runs on the GUI thread with the entries found since the last call.
  using BatchHandler = std::function<void(std::vector<RenameListEntry>& batch, const Progress& progress)>;
  // Runs on the GUI thread once the worker has ended and every entry has been
  // handed over; `stopped` tells whether the search was stopped early.
  using FinishedHandler = std::function<void(bool stopped)>;

  static constexpr int kPollInterval = 30;  // ms between batches

  explicit RecursiveSearch(QObject* parent = nullptr);
  ~RecursiveSearch() override;

  void SetHandlers(BatchHandler onBatch, FinishedHandler onFinished);
  // Starts a search of `folder` for files matching `mask`. False (and nothing
  // started) while a search is running. With `stopAtFirstFile` the stop is
  // requested from the start: the search ends at the first file it passes.
  bool Start(const std::string& folder, const std::string& mask, bool stopAtFirstFile = false);
  // Asks the running search to stop; it ends within a fraction of a second.
  void RequestStop();
  bool IsRunning() const { return running_; }

 private:
  void Poll();
  bool AddFoundFile(const std::string& folder, const std::string& name, bool matches);
  void Join();

  BatchHandler onBatch_;
  FinishedHandler onFinished_;
  QTimer* poll_ = nullptr;
  bool running_ = false;

  std::thread worker_;
  std::atomic<bool> stop_{false};

  // Shared between the worker and the GUI thread.
  std::mutex mutex_;
  std::vector<RenameListEntry> pending_;
  Progress progress_;
  bool done_ = false;

  // Worker only: the Path text of the folder last seen.
  std::string lastFolder_;
  std::string lastPath_;
};
