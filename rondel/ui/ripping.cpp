// The window's side of ripping: the job starter, the rip worker's owner
// (status cells, the cancel flag, the written files) and stopping a copy
// when the window goes.
//
// Threads: startNextRipJob runs on the window thread (end of a copy
// command) and on an ending worker's thread (ripWorkerEnded). Everything it
// reads or changes of the queue and of the window's worker state is under
// ripJobQueue().mutex; button and cell writes go through the models, which
// are safe from any thread.
#include <cstdio>
#include <memory>
#include <exception>

#include "rondel/drive/drive_library.h"
#include "rondel/output/rip_jobs.h"
#include "rondel/shell/config_items.h"
#include "rondel/ui/main_window.h"

namespace rondel {
namespace {

// Shown in the row of a job whose worker thread could not be started; the
// copy goes on with the next job.
using window::kStatusNoThread;

std::unique_ptr<RipWorkerContext> contextFor(RipOwner* owner, const RipJob& job) {
  auto context = std::make_unique<RipWorkerContext>();
  static_cast<RipJob&>(*context) = job;
  context->owner = owner;
  return context;
}

}  // namespace

void MainWindow::startNextRipJob() {
  RipJobQueue& queue = ripJobQueue();
  std::uint32_t ejectDevice = kNoRipDevice;
  {
    std::lock_guard<std::mutex> lock(queue.mutex);
    // Cancelled (or the window is going): drop the rest, no eject.
    const bool cancelled = cancelFlag_.exchange(0) != 0;
    while (!ripClosing_ && !cancelled && !queue.jobs.empty()) {
      const RipJob job = queue.jobs.front();
      queue.jobs.pop_front();
      try {
        ripThread_ = std::thread(RipWorker, contextFor(this, job));
        return;
      } catch (const std::exception&) {
        // No worker, so nothing would start the next job: say so in the
        // row and go on.
        setTrackStatus(job.trackNumber, kStatusNoThread);
      }
    }
    const bool finished = !ripClosing_ && !cancelled;
    queue.jobs.clear();
    queue.copying = false;
    cancelButton().setEnabled(false);
    // A disc that went away meanwhile left the copy buttons off; they stay
    // off until the next disc is read.
    if (!ripClosing_ && discPresent()) {
      copySelectedButton().setEnabled(true);
      copyAllButton().setEnabled(true);
    }
    if (finished && config().getInt(key::kEject) != 0) ejectDevice = queue.lastRipDevice;
  }
  // Outside the lock: a real drive takes a while to open its tray.
  if (ejectDevice != kNoRipDevice && driveAt(ejectDevice) != nullptr && cdr().CD_Eject != nullptr)
    cdr().CD_Eject(driveAt(ejectDevice)->deviceIndex());
}

void MainWindow::setTrackStatus(std::uint32_t trackNumber, const char* text) {
  const std::string status = text != nullptr ? text : "";
  // The cell of the track's row, found afresh each time: the rows may have
  // been refilled since the job was queued. The property keeps the text
  // when the row is gone (a disc pulled, the list emptied).
  for (int row = 0; row < trackList_->rowCount(); ++row) {
    if (trackList_->itemData(row) == trackNumber) {
      trackList_->setCell(row, kColumnStatus, status);
      break;
    }
  }
  setProperty(window::ripStatusProperty(trackNumber), status);
}

bool MainWindow::cancelRequested() const { return cancelFlag_.load() != 0; }

void MainWindow::trackFileWritten(std::uint32_t trackNumber, const std::string& windowsPath) {
  setProperty(window::ripFileProperty(trackNumber), windowsPath);
}

void MainWindow::ripWorkerEnded() {
  std::thread previous;
  {
    std::lock_guard<std::mutex> lock(ripJobQueue().mutex);
    // The calling thread is ripThread_ (or nothing, when the destruction
    // has taken it to join): park it for a later join.
    previous = std::move(endedRipThread_);
    endedRipThread_ = std::move(ripThread_);
  }
  // A worker that ended before this one; it holds no lock and is only
  // unwinding, so the join is short.
  if (previous.joinable()) previous.join();
  startNextRipJob();
}

void MainWindow::stopRipping() {
  std::thread running, ended;
  {
    std::lock_guard<std::mutex> lock(ripJobQueue().mutex);
    ripClosing_ = true;
    running = std::move(ripThread_);
    ended = std::move(endedRipThread_);
    if (running.joinable()) cancelFlag_.store(1);
  }
  // The worker ends "Cancelled" at its next block (or normally with its
  // last one); its call of startNextRipJob sees ripClosing_ and starts
  // nothing. Both joins happen while every control still exists.
  if (running.joinable()) running.join();
  if (ended.joinable()) ended.join();
}

}  // namespace rondel
