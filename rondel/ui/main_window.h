#pragma once
// The component's main window. Only one exists at a time; the process-wide
// pointer lets the "Device" callback reach it.
#include <atomic>
#include <cstdint>
#include <string>

#include "sdk/ui/window.h"

namespace rondel {

class MainWindow : public qom::ui::Window {
 public:
  explicit MainWindow(qom::ui::Window* parent);
  ~MainWindow() override;

  // Selects the first drive whose name equals `name` exactly; leaves the
  // selection as it was when none does.
  void selectDriveByName(const std::string& name);
  std::uint32_t selectedDrive() const { return selectedDrive_.load(); }

 private:
  std::atomic<std::uint32_t> selectedDrive_{0};
};

// The window that exists now, or null (window thread).
MainWindow* mainWindow();

}  // namespace rondel
