#include "renamelist/RecursiveSearch.h"

#include <QTimer>

#include "browser/DirListing.h"
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

bool RecursiveSearch::Start(const std::string& folder, const std::string& mask, bool stopAtFirstFile) {
  if (running_) return false;
  Join();
  stop_ = stopAtFirstFile;
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
    // The search is asked for every file and the mask is applied here, so that
    // the stop flag is read at every file the search passes, not only at the
    // matching ones: a search for a rare pattern stops as promptly as any.
    // An empty mask takes every file, as FindFilesRecursive does.
    const DirListing::PatternMatcher matcher(mask.empty() ? std::string_view("*") : std::string_view(mask));
    FindH::FindFilesRecursive(folder, "*", [this, &matcher](const std::string& found, const std::string& name) {
      return AddFoundFile(found, name, matcher.Matches(name));
    });
    {
      std::lock_guard<std::mutex> lock(mutex_);
      done_ = true;
    }
    // Hand over the rest now rather than at the next tick. The destructor
    // joins this thread before the object goes, and a call still queued
    // then is dropped with it.
    QMetaObject::invokeMethod(this, &RecursiveSearch::Poll, Qt::QueuedConnection);
  });
  poll_->start();
  return true;
}

void RecursiveSearch::RequestStop() { stop_ = true; }

// The worker's callback: queue a matching entry (name, folder without its
// trailing delimiter) and go on unless asked to stop.
bool RecursiveSearch::AddFoundFile(const std::string& folder, const std::string& name, bool matches) {
  const bool newFolder = folder != lastFolder_;
  if (newFolder) {
    lastFolder_ = folder;
    lastPath_ = Paths::WithoutTrailingDelimiter(folder);
  }
  if (matches || newFolder) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (newFolder) progress_.folder = folder;
    if (matches) {
      pending_.push_back({name, lastPath_});
      ++progress_.found;
    }
  }
  return !stop_.load(std::memory_order_relaxed);
}

void RecursiveSearch::Poll() {
  if (!running_) return;
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
