#pragma once

#include <QElapsedTimer>
#include <QObject>

#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "rename/RenameEngine.h"

class QTimer;

// Runs one long piece of work (a rename run, an undo) in a worker thread, so
// that the window keeps repainting and can offer Cancel meanwhile. A GUI
// timer watches the work's RunControl; once the work has taken longer than
// the progress delay it reports how far it got. When the work has ended the
// worker is joined and the finished handler runs on the GUI thread.
//
// Unlike a search, the work is never abandoned: it records what it renamed
// in the journal and must be allowed to complete that. Cancel stops it
// between two entries.
class BackgroundRun : public QObject {
  Q_OBJECT

 public:
  using Work = std::function<void(RenameEngine::RunControl& control)>;
  // done and total as the work reports them (total 0: not known).
  using ProgressHandler = std::function<void(std::size_t done, std::size_t total)>;
  // `error` is the text of an exception that escaped the work, else empty.
  using FinishedHandler = std::function<void(const std::string& error)>;
  struct Handlers {
    std::function<bool()> cancelWanted;  // asked at every look; may be empty
    ProgressHandler progress;            // once the progress delay has passed
    FinishedHandler finished;
  };

  static constexpr int kPollInterval = 40;     // ms between looks at the work
  static constexpr int kProgressDelay = 500;   // ms before progress is shown

  explicit BackgroundRun(QObject* parent = nullptr);
  // Cancels a running work and waits for it.
  ~BackgroundRun() override;

  // False (and nothing started) while a work is running.
  bool Start(Work work, Handlers handlers);
  void RequestCancel();
  bool IsRunning() const { return running_; }
  // The window is closing: cancels the work, waits for it and runs the
  // finished handler before this returns.
  void FinishNow();
  // The window goes: cancels the work and waits for it, without handlers.
  void CancelAndWait();
  // How long a work runs before its progress shows (the tests shorten it).
  void SetProgressDelay(int milliseconds) { progressDelay_ = milliseconds; }

 private:
  struct State {
    RenameEngine::RunControl control;
    std::atomic<bool> ended{false};
    std::string error;  // written by the worker before `ended`
  };

  void Poll();
  void Finish();

  Handlers handlers_;
  QTimer* poll_ = nullptr;
  QElapsedTimer started_;
  int progressDelay_ = kProgressDelay;
  bool running_ = false;
  std::shared_ptr<State> state_;
  std::thread worker_;
};

// For a work's closing steps: runs `aside` on a thread of its own while
// `here` runs in the calling thread, and returns once both have ended (one
// after the other when no thread can be had). `aside` must not throw.
void SideBySide(const std::function<void()>& aside, const std::function<void()>& here);
