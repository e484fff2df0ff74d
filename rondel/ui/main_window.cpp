#include "rondel/ui/main_window.h"

#include "rondel/drive/drive_library.h"
#include "rondel/shell/config_items.h"

namespace rondel {
namespace {
std::atomic<MainWindow*> g_mainWindow{nullptr};
}

MainWindow* mainWindow() { return g_mainWindow.load(); }

MainWindow::MainWindow(qom::ui::Window* parent) : qom::ui::Window(parent) {
  selectDriveByName(config().getString(key::kDevice));
  g_mainWindow.store(this);
}

MainWindow::~MainWindow() {
  MainWindow* self = this;
  g_mainWindow.compare_exchange_strong(self, nullptr);
}

void MainWindow::selectDriveByName(const std::string& name) {
  int index = findDriveByName(name);
  if (index >= 0) selectedDrive_.store(static_cast<std::uint32_t>(index));
}

}  // namespace rondel
