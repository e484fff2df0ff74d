#pragma once
// The rip session: the queue of rip jobs of one copy, the worker thread
// that runs them one after another, cancelling and the eject after a copy
// that ran every job. It owns all of ripping; its listener (the main window)
// only turns what it hears into cells and buttons.
//
// One copy runs at a time in the process: a session refuses to start while
// any session's copy runs, so two windows never read one drive at once.
#include <atomic>
#include <cstdint>
#include <deque>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "rondel/rip/rip_job.h"
#include "rondel/rip/rip_worker.h"

namespace rondel {

// What a session tells its owner.
class RipSessionListener {
 public:
  virtual ~RipSessionListener() = default;
  // A job's status text ("Copying 7%...", "Copied", an error): on the job's
  // worker thread, or on the thread of start() for a job whose thread could
  // not be made.
  virtual void trackStatus(std::uint32_t trackNumber, const std::string& text) = 0;
  // The file a job wrote, as the encoder named it (Windows form); only for
  // a job that ends "Copied". Worker thread.
  virtual void trackFileWritten(std::uint32_t trackNumber, const std::string& windowsPath) = 0;
  // Why a job failed, when its encoder library said (UTF-8). Worker thread.
  virtual void trackFailureReason(std::uint32_t /*trackNumber*/, const std::string& /*reason*/) {}
  // A job's checksums, before its status says "Copied"; only for a job that
  // ends so. Worker thread.
  virtual void trackChecked(std::uint32_t trackNumber, const TrackChecks& checks) = 0;
  // The copy has ended: every job ran, or it was cancelled. On the thread
  // that ended it (the last worker's, or start()'s). Never after close().
  virtual void copyEnded() = 0;
  // Asked as a copy ends that ran every job, so the setting is read at that
  // moment: eject the disc of the drive the copy read?
  virtual bool ejectWhenFinished() = 0;
};

class RipSession final : private RipOwner {
 public:
  explicit RipSession(RipSessionListener& listener) : listener_(listener) {}
  ~RipSession() override { close(); }
  RipSession(const RipSession&) = delete;
  RipSession& operator=(const RipSession&) = delete;

  // Queues the jobs (all of one drive) and starts the first. False, and
  // nothing queued, when there are none, while a copy runs (this session's
  // or another's) or after close(). Any thread.
  bool start(std::vector<RipJob> jobs);
  // True from a start() that queued jobs until the copy has ended. Any thread.
  bool copying() const;
  // "Cancel copying": the running job ends "Cancelled" at its next block,
  // the rest are dropped and nothing is ejected. Any thread.
  void cancel() { cancel_.store(true); }
  // Cancels the copy and waits for its worker; afterwards no job starts and
  // the listener hears nothing more. The owner calls it before it goes.
  void close();

 private:
  // Starts the next queued job, or ends the copy. Caller's thread: start()'s
  // or the ending worker's.
  void startNext();
  void endCopyLocked();

  // RipOwner: called on the worker thread.
  void setTrackStatus(std::uint32_t trackNumber, const char* text) override;
  bool cancelRequested() const override { return cancel_.load(); }
  void trackFileWritten(std::uint32_t trackNumber, const std::string& windowsPath) override;
  void trackFailureReason(std::uint32_t trackNumber, const std::string& reason) override {
    listener_.trackFailureReason(trackNumber, reason);
  }
  void trackChecked(std::uint32_t trackNumber, const TrackChecks& checks) override {
    listener_.trackChecked(trackNumber, checks);
  }
  bool pathWrittenBefore(const std::string& windowsPath) override;
  void ripWorkerEnded() override;

  RipSessionListener& listener_;
  std::atomic<bool> cancel_{false};

  // Under mutex_: the queue, the copy state and the threads. running_ is
  // the worker of the current job; a worker cannot join itself, so as it
  // ends it moves itself to ended_, which the next ending worker or close()
  // joins. closing_ is set by close(): from then on no job starts.
  mutable std::mutex mutex_;
  std::deque<RipJob> jobs_;
  std::uint32_t device_ = 0;  // the drive of the current copy; the eject uses it
  // The native files the current copy's jobs wrote, without extension, so a
  // later job of the copy never overwrites one (see pathWrittenBefore).
  std::set<std::string> written_;
  bool copying_ = false;
  bool closing_ = false;
  std::thread running_;
  std::thread ended_;
};

}  // namespace rondel
