#pragma once
// A component's main window driven without a display, for the command line:
// the headless loop, a frame from WindowHost, and reading what the window's
// controls show (by the lookup names, columns and properties the window's
// contract header defines). Window thread = the caller's.
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/core/host_session.h"
#include "host/view/headless_driver.h"
#include "host/view/window_host.h"

namespace qomhost {

// One row of the track list as the window shows it.
struct ShownTrack {
  std::uint32_t number = 0;  // the row's item data
  std::string label, artist, title, length, status;
};

// The disc as the window shows it (Windows-1252 texts).
struct ShownDisc {
  std::string status, artist, album, year, genre, track;
  std::vector<ShownTrack> tracks;
  std::vector<std::string> entries;  // drop-down item texts, in order
  std::string entryShown;            // what the closed drop-down shows
  int entryIndex = -1;               // the chosen item's id (= its place), -1 for none
  std::string discId;                // the last lookup's disc identifier ("" without one)
  std::string queryUrl;              // the query URL that lookup sent
  int drive = -1;                    // the drive table index the window polls, -1 unknown
};

class HeadlessWindow {
 public:
  explicit HeadlessWindow(HostSession& session);
  ~HeadlessWindow();

  // Shows the first auto-popup window that has a track list. False when no
  // component offers one.
  bool open();
  qom::ui::Window* root() const { return root_; }
  // The component's own window inside the frame (its properties tell what
  // background work did), or null before open().
  qom::ui::Window* componentWindow() const;
  HeadlessDriver& driver() { return driver_; }

  // Runs the loop until the drive has settled: the status line says the
  // disc is ready (and read) or its table of contents cannot be read, or
  // that there is no disc or the drive is not ready, and that has held for
  // `quiet` (a drive may still be spinning up). Answers false on timeout.
  bool waitSettled(std::chrono::milliseconds timeout,
                   std::chrono::milliseconds quiet = std::chrono::milliseconds(2000));

  ShownDisc read() const;
  // Chooses the drop-down's item at `index` (0 = first, as read() lists
  // them) as a user would and runs the loop until the pick is applied. False
  // when there is no such item.
  bool pickEntry(int index);
  // A control of the window by lookup name, or null.
  qom::ui::Window* control(const std::string& name) const;

 private:
  HostSession& session_;
  HeadlessDriver driver_;
  std::unique_ptr<WindowHost> windows_;
  qom::ui::Window* root_ = nullptr;
  qom::Guid shown_{};
};

}  // namespace qomhost
