#pragma once
// The component's main window through the real rondel.qom, cdr.dll and
// encoders in a headless window host, for drills that must act at an exact
// point of a rip: the rip worker can be held at a status text of the
// drill's choice until the window thread has done something (a click), so
// the drill does not depend on timing.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <string>

#include "drill_support.h"
#include "integration/main_window_fixture.h"

namespace drills {

// The window with simulated drives, lookups off, files below a temporary
// output folder given in Z:\ form, and a loop that records every status.
class DrillWindow : public testing_support::RipFixture {
 public:
  using RipFixture::RipFixture;

  // Once track `track` shows `status`, `action` runs on the window thread
  // while the thread that wrote the status (the rip worker) waits. Armed on
  // the window thread before the copy starts. A test device: a real view's
  // refresh never blocks.
  void arm(std::uint32_t track, const std::string& status, std::function<void()> action) {
    qomhost::HeadlessDriver& driver = loop().driver;
    qom::ui::Window* target = &list();
    auto fired = fired_;
    loop().onStatus = [=, &driver](std::uint32_t t, const std::string& s) {
      if (t != track || s != status || fired->exchange(true)) return;
      if (driver.isWindowThread()) return action();
      // Shared: the bounded wait may give up while the task is still queued.
      auto done = std::make_shared<std::promise<void>>();
      std::future<void> ran = done->get_future();
      driver.post(target, [action, done] {
        action();
        done->set_value();
      });
      ran.wait_for(std::chrono::seconds(20));
    };
  }
  bool fired() const { return *fired_; }

  std::string value(const char* key) {
    qom::ConfigItem* item = session().findItem(key);
    return item != nullptr ? item->text() : "<no such item>";
  }
  std::string configText() const { return drills::configText(configFolder()); }
  // A track's last status, kept by the window also when its row is gone.
  std::string trackStatus(std::uint32_t track) {
    return window()->property("rip.status." + std::to_string(track));
  }

 private:
  std::shared_ptr<std::atomic<bool>> fired_ = std::make_shared<std::atomic<bool>>(false);
};

}  // namespace drills
