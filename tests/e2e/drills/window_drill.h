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
#include "host/window_host.h"
#include "integration/rip_fixture.h"

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
        shows = shows || (list->itemData(r) == track_ && list->cell(r, 4) == status_);
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
// output folder given in Z:\ form.
class DrillWindow {
 public:
  explicit DrillWindow(const testing_support::DrivesJson& drives)
      : host_(drives, 0), session_(host_.start()) {
    set("Use Freedb", "0");
    set("Use Output Folder", "1");
    std::string folder = out_.path();
    std::replace(folder.begin(), folder.end(), '/', '\\');
    set("Output Folder", "Z:" + folder);
  }
  ~DrillWindow() { windows_.reset(); }

  // Shows the window and reads the disc (one poll tick).
  bool showReady() {
    windows_ = std::make_unique<qomhost::WindowHost>(session_->host(), loop_);
    frame_ = windows_->show(testing_support::kRondelGuid);
    if (window() == nullptr || !loop_.driver.fireTimer(window(), 1)) return false;
    return status().text() == "Ready" && list().rowCount() > 0;
  }
  // Destroys the window (the host's hide), mid-rip or mid-lookup.
  void close() {
    windows_->hide(testing_support::kRondelGuid);
    frame_ = nullptr;
  }
  bool set(const char* key, const std::string& value) {
    qom::ConfigItem* item = session_->findItem(key);
    return item != nullptr && item->setText(value.c_str());
  }
  // Ends the host session (the component unloads), then starts a new one
  // from the same configuration folder: what it reads back is what
  // survived.
  void restartSession() {
    windows_.reset();
    session_.reset();
    session_ = host_.start();
  }
  std::string value(const char* key) {
    qom::ConfigItem* item = session_->findItem(key);
    return item != nullptr ? item->text() : "<no such item>";
  }
  std::string configText() const { return drills::configText(host_.configFolder()); }

  HoldingLoop& loop() { return loop_; }
  qom::ui::Window* window() { return windows_->window(testing_support::kRondelGuid); }
  qom::ui::ListView& list() { return *find<qom::ui::ListView>("Tracks"); }
  qom::ui::Label& status() { return *find<qom::ui::Label>("Status"); }
  qom::ui::PushButton& button(const char* name) { return *find<qom::ui::PushButton>(name); }
  // A track's last status, kept by the window also when its row is gone.
  std::string trackStatus(std::uint32_t track) {
    return window()->property("rip.status." + std::to_string(track));
  }

  template <class Done>
  bool runUntil(Done done, std::chrono::seconds bound = std::chrono::seconds(60)) {
    return loop_.driver.runUntil(done, bound);
  }
  // Until the copy has ended: "Cancel copying" is off again.
  bool waitIdle() {
    return runUntil([&] { return !button("Cancel copying").enabled(); });
  }

  std::string out() const { return out_.path(); }
  std::string outFile(const std::string& relative) const { return out_.path() + "/" + relative; }

 private:
  template <class Model>
  Model* find(const char* name) {
    return testing_support::findControl<Model>(frame_, name);
  }

  // Declared so that the windows go first, then the loop, then the host.
  testing_support::HostFixture host_;
  testing_support::TempDir out_;
  std::unique_ptr<qomhost::HostSession> session_;
  HoldingLoop loop_;
  std::unique_ptr<qomhost::WindowHost> windows_;
  qom::ui::Container* frame_ = nullptr;
};

}  // namespace drills
