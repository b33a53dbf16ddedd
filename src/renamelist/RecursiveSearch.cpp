#include "renamelist/RecursiveSearch.h"

#include <QTimer>

#include <chrono>

#include "browser/DirListing.h"
#include "platform/Paths.h"
#include "renamelist/FindH.h"

RecursiveSearch::RecursiveSearch(QObject* parent) : QObject(parent) {
  setObjectName(QStringLiteral("recursiveSearch"));
  poll_ = new QTimer(this);
  poll_->setObjectName(QStringLiteral("tmrRecursivePoll"));
  poll_->setInterval(kPollInterval);
  connect(poll_, &QTimer::timeout, this, &RecursiveSearch::Poll);
  abandon_ = new QTimer(this);
  abandon_->setSingleShot(true);
  abandon_->setInterval(kAbandonAfter);
  connect(abandon_, &QTimer::timeout, this, &RecursiveSearch::Abandon);
}

// A worker that is still busy gets a moment to end after the stop; one that
// is blocked is left to end by itself, the process does not wait for it.
RecursiveSearch::~RecursiveSearch() {
  if (!worker_.joinable()) return;
  state_->stop = true;
  std::unique_lock<std::mutex> lock(state_->mutex);
  const bool ended =
      state_->ended.wait_for(lock, std::chrono::milliseconds(kAbandonAfter), [this] { return state_->done; });
  lock.unlock();
  if (ended)
    worker_.join();
  else
    worker_.detach();
}

void RecursiveSearch::SetHandlers(BatchHandler onBatch, FinishedHandler onFinished) {
  onBatch_ = std::move(onBatch);
  onFinished_ = std::move(onFinished);
}

bool RecursiveSearch::Start(const std::string& folder, const std::string& mask, bool stopAtFirstFile) {
  if (running_) return false;
  if (worker_.joinable()) worker_.join();  // ended already: it was polled done
  state_ = std::make_shared<State>();
  state_->stopAtNextFile = stopAtFirstFile;
  state_->progress = {Paths::WithTrailingDelimiter(folder), 0};
  running_ = true;
  worker_ = std::thread(&RecursiveSearch::RunWorker, state_, folder, mask);
  poll_->start();
  return true;
}

// The worker: it reaches nothing but its own copy of the shared state, so it
// may outlive the search object.
void RecursiveSearch::RunWorker(const std::shared_ptr<State>& state, const std::string& folder,
                                const std::string& mask) {
  // The search is asked for every file and the mask is applied here, so that
  // the stop flag is read at every file the search passes, not only at the
  // matching ones: a search for a rare pattern stops as promptly as any.
  // An empty mask takes every file, as FindFilesRecursive does.
  const DirListing::PatternMatcher matcher(mask.empty() ? std::string_view("*") : std::string_view(mask));
  std::string lastFolder;
  std::string lastPath;
  FindH::FindFilesRecursive(folder, "*", [&](const std::string& found, const std::string& name) {
    if (matcher.Matches(name)) {
      if (found != lastFolder) {
        lastFolder = found;
        lastPath = Paths::WithoutTrailingDelimiter(found);
      }
      std::lock_guard<std::mutex> lock(state->mutex);
      state->pending.push_back({name, lastPath});
      state->progress.folder = found;
      ++state->progress.found;
    }
    return !state->stop.load(std::memory_order_relaxed) && !state->stopAtNextFile.load(std::memory_order_relaxed);
  }, &state->stop);
  {
    std::lock_guard<std::mutex> lock(state->mutex);
    state->done = true;
  }
  state->ended.notify_all();
}

void RecursiveSearch::RequestStop() {
  if (!running_) return;
  state_->stop = true;
  if (!abandon_->isActive()) abandon_->start();
}

void RecursiveSearch::Poll() {
  if (!running_) return;
  std::vector<RenameListEntry> batch;
  Progress progress;
  bool done;
  {
    std::lock_guard<std::mutex> lock(state_->mutex);
    batch.swap(state_->pending);
    progress = state_->progress;
    done = state_->done;
  }
  if (!done) {
    if (onBatch_) onBatch_(batch, progress);
    return;
  }
  worker_.join();
  Finish(batch, progress);
}

// The stopped worker did not end in time: take what it found so far and let
// it go.
void RecursiveSearch::Abandon() {
  if (!running_) return;
  std::vector<RenameListEntry> batch;
  Progress progress;
  {
    std::lock_guard<std::mutex> lock(state_->mutex);
    batch.swap(state_->pending);
    progress = state_->progress;
  }
  worker_.detach();
  Finish(batch, progress);
}

void RecursiveSearch::Finish(std::vector<RenameListEntry>& batch, const Progress& progress) {
  poll_->stop();
  abandon_->stop();
  running_ = false;
  if (onBatch_) onBatch_(batch, progress);
  if (onFinished_) onFinished_(state_->stop.load() || state_->stopAtNextFile.load());
}
