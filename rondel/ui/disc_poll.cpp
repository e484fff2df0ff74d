// Following the selected drive: the poll tick and its disc states, reading
// a ready disc, and forgetting a disc that went away.
#include "rondel/drive/drive_library.h"
#include "rondel/ui/entries_drop_down.h"
#include "rondel/ui/main_window.h"

namespace rondel {
namespace {

// Set while a poll tick runs. Process-wide: a tick that would start while
// another one (of any window) runs is skipped, never queued.
std::atomic<bool> g_pollBusy{false};

DiscState stateOf(std::int32_t answer) {
  switch (answer) {
    case kCdReady: return DiscState::Ready;
    case kCdNoDisc: return DiscState::NoDisc;
    case kCdBecomingReady: return DiscState::ReadingToc;
    default: return DiscState::NotReady;
  }
}

// Holds the busy flag for one tick; released on every way out.
class PollBusy {
 public:
  PollBusy() : taken_(!g_pollBusy.exchange(true)) {}
  ~PollBusy() {
    if (taken_) g_pollBusy.store(false);
  }
  PollBusy(const PollBusy&) = delete;
  PollBusy& operator=(const PollBusy&) = delete;
  bool taken() const { return taken_; }

 private:
  const bool taken_;
};

}  // namespace

void MainWindow::setStatus(const char* text) { status_->setText(text); }

void MainWindow::pollTick() {
  PollBusy busy;
  if (!busy.taken()) return;
  const int drive = selectedDrive_.load();
  CdDrive* cd = drive >= 0 ? driveAt(static_cast<std::uint32_t>(drive)) : nullptr;
  if (cd == nullptr) return;
  if (drive != lastPolledDrive_) {
    // The rows are the last drive's disc: they go before the new drive is
    // asked anything, so whatever it answers, no copy can use them.
    if (lastPolledDrive_ >= 0) discGone();
    discState_ = DiscState::Undetermined;
    // Whoever reads the window learns the drive it actually polls, which
    // is not always the one "Device" names.
    setProperty(window::kPolledDriveProperty, std::to_string(drive));
  }
  lastPolledDrive_ = drive;

  const DiscState next = stateOf(cd->testUnitReady());
  if (next != discState_) {
    // The state is stored before the actions run, so a disc that stays in
    // is read once, even when its table of contents could not be read.
    discState_ = next;
    switch (next) {
      case DiscState::Ready:
        setStatus(window::kStatusReady);
        discReady();
        break;
      case DiscState::NoDisc:
        setStatus(window::kStatusNoDisc);
        discGone();
        break;
      case DiscState::ReadingToc: setStatus(window::kStatusReadingToc); break;
      default:
        setStatus(window::kStatusNotReady);
        discGone();
        break;
    }
  }
}

void MainWindow::discReady() {
  // The drive this tick polled: "Device" may change on another thread
  // meanwhile, and the next tick starts afresh for that one.
  CdDrive* cd = driveAt(static_cast<std::uint32_t>(lastPolledDrive_));
  if (cd == nullptr) return;
  CdToc read{};
  if (!cd->readTocRetrying(read)) {
    // Whatever rows are listed may be another disc's (one swapped while the
    // drive was becoming ready): they go, and the status says why nothing
    // is listed. The state stays ready, so there is no further attempt
    // until the drive's state changes (an eject, another drive).
    discGone();
    setStatus(kStatusCannotReadDisc);
    return;
  }
  toc_ = read;

  discPresent_.store(1);
  // A disc that came back during a copy is listed, but the copy buttons
  // stay off until that copy ends.
  updateCopyButtons();
  supersedeLookups();
  resetAccurateRip(true);
  trackList_->deleteAll();
  fillTrackList();
}

void MainWindow::discGone() {
  // The disc's lookup ends with it: nothing it finds may reach the
  // drop-down of a window that shows no disc.
  supersedeLookups();
  resetAccurateRip(false);
  discPresent_.store(0);
  updateCopyButtons();
  trackList_->deleteAll();
  for (qom::ui::Edit* f : {artistField_.get(), albumField_.get(), yearField_.get(),
                           genreField_.get(), trackField_.get()})
    f->setText("");
}

void MainWindow::clearEntries() {
  {
    std::lock_guard<std::mutex> lock(entriesMutex_);
    entriesMap_.clear();
  }
  if (entries_) entries_->deleteAll();
}

}  // namespace rondel
