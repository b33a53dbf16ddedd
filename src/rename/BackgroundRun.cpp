#include "rename/BackgroundRun.h"

#include <QTimer>

#include <exception>
#include <optional>
#include <system_error>
#include <utility>

BackgroundRun::BackgroundRun(QObject* parent) : QObject(parent) {
  setObjectName(QStringLiteral("backgroundRun"));
  poll_ = new QTimer(this);
  poll_->setObjectName(QStringLiteral("tmrRunPoll"));
  poll_->setInterval(kPollInterval);
  connect(poll_, &QTimer::timeout, this, &BackgroundRun::Poll);
}

BackgroundRun::~BackgroundRun() { CancelAndWait(); }

void BackgroundRun::CancelAndWait() {
  poll_->stop();
  running_ = false;
  if (!worker_.joinable()) return;
  state_->control.cancel = true;
  worker_.join();
}

bool BackgroundRun::Start(Work work, Handlers handlers) {
  if (running_) return false;
  if (worker_.joinable()) worker_.join();
  handlers_ = std::move(handlers);
  state_ = std::make_shared<State>();
  running_ = true;
  started_.start();
  worker_ = std::thread([this, state = state_, work = std::move(work)] {
    try {
      work(state->control);
    } catch (const std::exception& e) {
      state->error = e.what();
    } catch (...) {
      state->error = "unknown error";
    }
    state->ended.store(true, std::memory_order_release);
    // The GUI thread looks at once rather than at its next tick. This object
    // outlives the worker: it joins the worker before it goes.
    QMetaObject::invokeMethod(this, &BackgroundRun::Poll, Qt::QueuedConnection);
  });
  poll_->start();
  return true;
}

void BackgroundRun::RequestCancel() {
  if (running_) state_->control.cancel = true;
}

void BackgroundRun::FinishNow() {
  if (!running_) return;
  state_->control.cancel = true;
  worker_.join();
  Finish();
}

void BackgroundRun::Poll() {
  if (!running_) return;
  if (state_->ended.load(std::memory_order_acquire)) {
    worker_.join();
    Finish();
    return;
  }
  if (handlers_.cancelWanted && handlers_.cancelWanted()) state_->control.cancel = true;
  if (started_.elapsed() >= progressDelay_ && handlers_.progress)
    handlers_.progress(state_->control.done.load(std::memory_order_relaxed),
                       state_->control.total.load(std::memory_order_relaxed));
}

void BackgroundRun::Finish() {
  poll_->stop();
  running_ = false;
  // The handlers may start the next work: they are taken out first.
  const Handlers handlers = std::move(handlers_);
  handlers_ = {};
  if (handlers.finished) handlers.finished(state_->error);
}

void SideBySide(const std::function<void()>& aside, const std::function<void()>& here) {
  std::optional<std::jthread> thread;
  try {
    thread.emplace(aside);
  } catch (const std::system_error&) {
    aside();
  }
  here();
}
