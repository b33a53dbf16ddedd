#include "renamelist/RecursiveSearch.h"

#include <QTimer>

#include "platform/Paths.h"
#include "renamelist/FindH.h"

RecursiveSearch::RecursiveSearch(QObject* parent) : QObject(parent) {
  setObjectName(QStringLiteral("recursiveSearch"));
  poll_ = new QTimer(this);
  poll_->setObjectName(QStringLiteral("tmrRecursivePoll"));
  poll_->setInterval(kPollInterval);
  connect(poll_, &QTimer::timeout, this, &RecursiveSearch::Poll);
}

RecursiveSearch::~RecursiveSearch() {
  RequestStop();
  Join();
}

void RecursiveSearch::SetHandlers(BatchHandler onBatch, FinishedHandler onFinished) {
  onBatch_ = std::move(onBatch);
  onFinished_ = std::move(onFinished);
}

bool RecursiveSearch::Start(const std::string& folder, const std::string& mask) {
  if (running_) return false;
  Join();
  stop_ = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    pending_.clear();
    progress_ = {Paths::WithTrailingDelimiter(folder), 0};
    done_ = false;
  }
  lastFolder_.clear();
  lastPath_.clear();
  running_ = true;
  worker_ = std::thread([this, folder, mask] {
    FindFilesRecursive(folder, mask,
                       [this](const std::string& found, const std::string& name) { return AddFoundFile(found, name); });
    std::lock_guard<std::mutex> lock(mutex_);
    done_ = true;
  });
  poll_->start();
  return true;
}

void RecursiveSearch::RequestStop() { stop_ = true; }

// The worker's callback: queue the entry (name, folder without its trailing
// delimiter) and go on unless asked to stop.
bool RecursiveSearch::AddFoundFile(const std::string& folder, const std::string& name) {
  if (folder != lastFolder_) {
    lastFolder_ = folder;
    lastPath_ = Paths::WithoutTrailingDelimiter(folder);
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    pending_.push_back({name, lastPath_});
    progress_.folder = folder;
    ++progress_.found;
  }
  return !stop_.load(std::memory_order_relaxed);
}

void RecursiveSearch::Poll() {
  std::vector<RenameListEntry> batch;
  Progress progress;
  bool done;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    batch.swap(pending_);
    progress = progress_;
    done = done_;
  }
  if (onBatch_) onBatch_(batch, progress);
  if (!done) return;

  poll_->stop();
  Join();
  running_ = false;
  if (onFinished_) onFinished_(stop_.load());
}

void RecursiveSearch::Join() {
  if (worker_.joinable()) worker_.join();
}
