#pragma once
// The component's main window through the real rondel.qom, cdr.dll and
// encoders in a headless window host, for drills that must act at an exact
// point of a rip: the loop can hold the rip worker at a status text of its
// choice until the window thread has done something (a click), so the
// drill does not depend on timing.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <string>

#include "drill_support.h"
#include "host/view/headless_driver.h"
#include "host/view/window_host.h"
#include "integration/rip_fixture.h"
#include "sdk/rondel_window.h"

namespace drills {

// Forwards to the headless driver. When a track's status cell first shows
// the armed text, the thread that wrote it (the rip worker) waits until the
// armed action has run on the window thread. A test device: a real view's
// refresh never blocks.
class HoldingLoop final : public testing_support::ForwardingLoop {
 public:

  // Once track `track` shows `status`, `action` runs on the window thread
  // before the writer goes on.
  void arm(std::uint32_t track, std::string status, std::function<void()> action) {
    std::lock_guard<std::mutex> lock(mutex_);
    track_ = track;
    status_ = std::move(status);
    action_ = std::move(action);
  }
  bool fired() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return fired_;
  }

  void refresh(qom::ui::Window* target) override {
    auto* list = qom::ui::windowAs<qom::ui::ListView>(target);
    if (list == nullptr) return;
    std::function<void()> action;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (!action_) return;
      bool shows = false;
      for (int r = 0; r < list->rowCount(); ++r)
        shows = shows || (list->itemData(r) == track_ &&
                          list->cell(r, rondel::window::kColumnStatus) == status_);
      if (!shows) return;
      action = std::move(action_);
      action_ = nullptr;
      fired_ = true;
    }
    if (driver.isWindowThread()) {
      action();
      return;
    }
    // Shared: the bounded wait may give up while the task is still queued.
    auto done = std::make_shared<std::promise<void>>();
    std::future<void> ran = done->get_future();
    driver.post(target, [action, done] {
      action();
      done->set_value();
    });
    ran.wait_for(std::chrono::seconds(20));
  }

 private:
  // Written by the test (window thread), read by whichever thread refreshes
  // the list.
  mutable std::mutex mutex_;
  std::uint32_t track_ = 0;
  std::string status_;
  std::function<void()> action_;
  bool fired_ = false;
};

// The window with simulated drives, lookups off, files below a temporary
// output folder given in Z:\ form, and a holding loop.
class DrillWindow : public testing_support::RipFixture {
 public:
  explicit DrillWindow(const testing_support::DrivesJson& drives)
      : RipFixture(drives, std::make_unique<HoldingLoop>()) {}

  // Destroys the window (the host's hide), mid-rip or mid-lookup.
  void close() { hide(); }
  std::string value(const char* key) {
    qom::ConfigItem* item = session().findItem(key);
    return item != nullptr ? item->text() : "<no such item>";
  }
  std::string configText() const { return drills::configText(configFolder()); }

  HoldingLoop& loop() { return static_cast<HoldingLoop&>(eventLoop()); }
  // A track's last status, kept by the window also when its row is gone.
  std::string trackStatus(std::uint32_t track) {
    return window()->property("rip.status." + std::to_string(track));
  }
};

}  // namespace drills
