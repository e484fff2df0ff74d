#include "rondel/rip/rip_session.h"

#include <exception>
#include <memory>

#include "platform/winpath.h"
#include "rondel/drive/drive_library.h"
#include "rondel/rip/output_paths.h"
#include "sdk/rondel_window.h"

namespace rondel {
namespace {

// Shown in the row of a job whose worker thread could not be started; the
// copy goes on with the next job.
using window::kStatusNoThread;

// The session whose copy runs, or null: one copy at a time in the process.
// Taken and given back under g_copyLock, never while holding it longer.
std::mutex g_copyLock;
const RipSession* g_copyingSession = nullptr;

bool claimCopy(const RipSession* session) {
  std::lock_guard<std::mutex> lock(g_copyLock);
  if (g_copyingSession != nullptr) return false;
  g_copyingSession = session;
  return true;
}

void releaseCopy(const RipSession* session) {
  std::lock_guard<std::mutex> lock(g_copyLock);
  if (g_copyingSession == session) g_copyingSession = nullptr;
}

}  // namespace

bool RipSession::start(std::vector<RipJob> jobs) {
  if (jobs.empty() || !claimCopy(this)) return false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (closing_ || copying_) {
      releaseCopy(this);
      return false;
    }
    device_ = jobs.front().deviceIndex;
    written_.clear();
    for (RipJob& job : jobs) jobs_.push_back(std::move(job));
    copying_ = true;
    // A cancel that raced the end of the previous copy must not cancel
    // this one before it starts.
    cancel_.store(false);
  }
  startNext();
  return true;
}

bool RipSession::copying() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return copying_;
}

void RipSession::startNext() {
  bool ejectWanted = false;
  std::uint32_t device = 0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    // Cancelled (or closing): drop the rest, no eject.
    const bool cancelled = cancel_.exchange(false);
    while (!closing_ && !cancelled && !jobs_.empty()) {
      RipJob job = std::move(jobs_.front());
      jobs_.pop_front();
      const std::uint32_t track = job.trackNumber;
      try {
        auto context = std::make_unique<RipWorkerContext>();
        static_cast<RipJob&>(*context) = std::move(job);
        context->owner = this;
        running_ = std::thread(RipWorker, std::move(context));
        return;
      } catch (const std::exception&) {
        // No worker, so nothing would start the next job: say so in the
        // row and go on.
        listener_.trackStatus(track, kStatusNoThread);
      }
    }
    endCopyLocked();
    if (closing_) return;
    ejectWanted = !cancelled;
    device = device_;
  }
  listener_.copyEnded();
  // Outside the lock: a real drive takes a while to open its tray.
  if (ejectWanted && listener_.ejectWhenFinished()) {
    if (CdDrive* drive = driveAt(device)) drive->eject();
  }
}

void RipSession::endCopyLocked() {
  jobs_.clear();
  if (copying_) releaseCopy(this);
  copying_ = false;
}

void RipSession::setTrackStatus(std::uint32_t trackNumber, const char* text) {
  listener_.trackStatus(trackNumber, text != nullptr ? text : "");
}

void RipSession::trackFileWritten(std::uint32_t trackNumber, const std::string& windowsPath) {
  // The library's name is the job's path plus its extension (job paths
  // leave room for it, so no library shortens them).
  if (auto native = platform::toNativePath(windowsPath)) {
    std::lock_guard<std::mutex> lock(mutex_);
    written_.insert(withoutExtension(*native));
  }
  listener_.trackFileWritten(trackNumber, windowsPath);
}

bool RipSession::pathWrittenBefore(const std::string& windowsPath) {
  const auto native = platform::toNativePath(windowsPath);
  if (!native) return false;
  std::lock_guard<std::mutex> lock(mutex_);
  return written_.count(*native) > 0;
}

void RipSession::ripWorkerEnded() {
  std::thread previous;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    // The calling thread is running_ (or nothing, when close() has taken it
    // to join): park it for a later join.
    previous = std::move(ended_);
    ended_ = std::move(running_);
  }
  // A worker that ended before this one; it holds no lock and is only
  // unwinding, so the join is short.
  if (previous.joinable()) previous.join();
  startNext();
}

void RipSession::close() {
  std::thread running, ended;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    closing_ = true;
    running = std::move(running_);
    ended = std::move(ended_);
    if (running.joinable()) cancel_.store(true);
  }
  // The worker ends "Cancelled" at its next block (or normally with its
  // last one); its call of startNext sees closing_ and starts nothing.
  if (running.joinable()) running.join();
  if (ended.joinable()) ended.join();
  std::lock_guard<std::mutex> lock(mutex_);
  endCopyLocked();
}

}  // namespace rondel
