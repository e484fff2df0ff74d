#pragma once
// The copy commands of the main window and the process-wide rip job queue.
// "Copy Selected" and "Copy All" turn rows into rip jobs, queue them and
// start the first; each ending rip worker starts the next through its
// window (MainWindow::startNextRipJob, rondel/ui/ripping.cpp). One copy runs
// at a time: a copy command given while jobs run is ignored.
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>

#include "rondel/output/rip_job.h"

namespace rondel {

class MainWindow;

// No drive has had a job built yet.
constexpr std::uint32_t kNoRipDevice = 0xFFFF;

// The process-wide queue and what goes with it. Every field is read and
// written under `mutex` only: by the copy commands (window thread), by
// MainWindow::startNextRipJob (window thread or an ending rip worker's
// thread) and by a window's destruction. The windows' running-worker state
// sits under the same mutex, so one lock orders all of it.
struct RipJobQueue {
  std::mutex mutex;
  std::deque<RipJob> jobs;
  // The device of the job built last; the eject after the last job uses it.
  std::uint32_t lastRipDevice = kNoRipDevice;
  // From a copy command that queued jobs until the job starter finds the
  // queue empty or the copy cancelled.
  bool copying = false;
};
RipJobQueue& ripJobQueue();

// Window thread.
void copySelected(MainWindow& window);
void copyAll(MainWindow& window);
// Raises the window's cancel flag; the running worker stops at its next
// block and the job starter then drops the rest of the queue. Any thread.
void cancelCopying(MainWindow& window);

// The folder the files go below (Windows form, at most 260 characters):
// "Output Folder" when "Use Output Folder" is on, else the host's folder
// browser titled "Select output folder."; nullopt when the user cancelled
// or the host offers no browser. Window thread.
std::optional<std::string> chooseOutputFolder(MainWindow& window);

}  // namespace rondel
