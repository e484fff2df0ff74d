#include "rondel/ui/main_window.h"

#include "rondel/drive/drive_library.h"
#include "rondel/ui/entries_drop_down.h"

namespace rondel {
namespace {
// The registered window and its alive flag. Written under g_windowLock by
// construction and destruction (window thread); the pointer is read under
// the lock by the "Device" callback (any thread), the flag without it by the
// lookup thread.
std::mutex g_windowLock;
MainWindow* g_mainWindow = nullptr;
std::atomic<bool> g_windowAlive{false};

// Runs `call` on every drive of the table.
template <class Call>
void forEachDrive(Call call) {
  for (std::uint32_t i = 0; i < driveCount(); ++i)
    if (CdDrive* drive = driveAt(i)) call(*drive);
}
}  // namespace

MainWindow* mainWindow() { return g_mainWindow; }
std::mutex& mainWindowLock() { return g_windowLock; }
bool windowAlive() { return g_windowAlive.load(); }

MainWindow::MainWindow(qom::ui::Window* parent, const WindowSettings& settings)
    : qom::ui::Container(parent), settings_(settings) {
  buildLayout();
  setTitle("Rondel 2");
  if (driveCount() > 0) {
    forEachDrive([](CdDrive& drive) { drive.lockVolume(); });
    selectedDrive_.store(0);
    selectDriveByName(settings_.device());
    startTimer(kPollTimerId, kPollPeriodMs);
  }
  std::lock_guard<std::mutex> lock(g_windowLock);
  g_mainWindow = this;
  g_windowAlive.store(true);
}

MainWindow::~MainWindow() {
  stopTimer(kPollTimerId);
  // The copy stops first: its worker writes into the controls.
  rip_.close();
  {
    // Only the registered window unregisters: with two windows open, the
    // older one going must not cut off the newer one.
    std::lock_guard<std::mutex> lock(g_windowLock);
    if (g_mainWindow == this) {
      g_windowAlive.store(false);
      g_mainWindow = nullptr;
    }
  }
  forEachDrive([](CdDrive& drive) { drive.unlockVolume(); });
  lookupStop_.store(true);
  lookups_.joinAll();
  clearEntries();
}

void MainWindow::selectDriveByName(const std::string& name) {
  const int index = findDriveByName(name);
  if (index >= 0) selectedDrive_.store(index);
}

void MainWindow::onTimer(int) { pollTick(); }

int MainWindow::onChildNotify(qom::ui::Window* child, int code, std::intptr_t a, std::intptr_t b) {
  if (child == nullptr) return qom::ui::Container::onChildNotify(child, code, a, b);
  switch (child->notifyId()) {
    case kIdArtistField:
      if (code == qom::ui::kNotifyEditKey) applyFieldToColumn(*artistField_, kColumnArtist);
      if (code == qom::ui::kNotifyEditEnter)
        stepToNextRow(*artistField_, *trackField_, kColumnArtist);
      break;
    case kIdTrackField:
      if (code == qom::ui::kNotifyEditKey) applyFieldToColumn(*trackField_, kColumnTrack);
      if (code == qom::ui::kNotifyEditEnter)
        stepToNextRow(*trackField_, *artistField_, kColumnTrack);
      break;
    case kIdTrackList:
      if (code == qom::ui::kNotifySelectionChanged) loadFieldsFromSelection();
      break;
    case kIdPreferences:
      if (code == qom::ui::kNotifyClick) openPreferences();
      break;
    case kIdCopySelected:
      if (code == qom::ui::kNotifyClick) copySelected();
      break;
    case kIdCopyAll:
      if (code == qom::ui::kNotifyClick) copyAll();
      break;
    case kIdCancel:
      if (code == qom::ui::kNotifyClick) rip_.cancel();
      break;
    default: break;
  }
  return 0;
}

}  // namespace rondel
