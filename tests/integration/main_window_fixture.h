#pragma once
// The component's main window, shown by the host's window host in a
// headless loop, with simulated drives. The test's thread is the window
// thread; poll ticks are fired by hand.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host/view/headless_driver.h"
#include "host/view/window_host.h"
#include "host_fixture.h"
#include "sdk/ui/drop_down.h"
#include "sdk/ui/edit.h"
#include "sdk/ui/label.h"
#include "sdk/ui/list_view.h"
#include "sdk/ui/push_button.h"

namespace testing_support {

inline const qom::Guid kRondelGuid = *qom::Guid::parse("{DAC1B44B-F86A-4150-A6B4-DE7A638702F7}");

// The control named `name` in `frame` as model class Model. A missing
// control is a test failure (thrown), not a crash.
template <class Model>
Model* findControl(qom::ui::Container* frame, const char* name) {
  Model* found = qom::ui::windowAs<Model>(frame != nullptr ? frame->findByName(name) : nullptr);
  if (found == nullptr) throw std::runtime_error(std::string("no control named ") + name);
  return found;
}

// The headless driver as a window's loop, for loops that also watch what
// the window's controls show (each refresh, on the thread that changed them).
class ForwardingLoop : public qom::ui::EventLoop {
 public:
  bool isWindowThread() const override { return driver.isWindowThread(); }
  void post(qom::ui::Window* target, std::function<void()> task) override {
    driver.post(target, std::move(task));
  }
  void startTimer(qom::ui::Window* target, int id, int periodMs) override {
    driver.startTimer(target, id, periodMs);
  }
  void stopTimer(qom::ui::Window* target, int id) override { driver.stopTimer(target, id); }
  void forget(qom::ui::Window* target) override { driver.forget(target); }

  qomhost::HeadlessDriver driver;
};

class MainWindowFixture {
 public:
  // "Use Freedb" starts off, so the status settles at "Ready" within the
  // tick that reads a disc; the lookup tests switch it on. `loop` may watch
  // the controls (a plain ForwardingLoop watches nothing).
  explicit MainWindowFixture(const DrivesJson& config,
                             std::unique_ptr<ForwardingLoop> loop = std::make_unique<ForwardingLoop>())
      : host_(config, 0), session_(host_.start()), loop_(std::move(loop)) {
    setItem("Use Freedb", "0");
  }

  // Shows the window; answers false when the host made none.
  bool show() {
    windows_ = std::make_unique<qomhost::WindowHost>(session_->host(), *loop_);
    frame_ = windows_->show(kRondelGuid);
    return frame_ != nullptr && window() != nullptr;
  }
  void hide() {
    windows_->hide(kRondelGuid);
    frame_ = nullptr;
  }

  qomhost::HostSession& session() { return *session_; }
  qomhost::HeadlessDriver& driver() { return loop_->driver; }
  qom::ui::Container* frame() { return frame_; }
  qom::ui::Window* window() { return windows_->window(kRondelGuid); }
  // The main window is a container (title, timers, size preferences).
  qom::ui::Container* container() {
    return qom::ui::windowAs<qom::ui::Container>(window());
  }

  // One poll tick now.
  bool tick() { return driver().fireTimer(window(), 1); }
  // Runs the window thread until `done` holds; false after a generous bound.
  template <class Done>
  bool runUntil(Done done, std::chrono::seconds bound = std::chrono::seconds(60)) {
    return driver().runUntil(done, bound);
  }
  // Ends the host session (the component unloads), then starts a new one
  // from the same configuration folder.
  void restartSession() {
    close();
    session_.reset();
    session_ = host_.start();
  }
  std::string configFolder() const { return host_.configFolder(); }
  bool setDevice(const std::string& name) { return setItem("Device", name); }
  bool setItem(const std::string& key, const std::string& value) {
    qom::ConfigItem* item = session_->findItem(key);
    return item != nullptr && item->setText(value.c_str());
  }

  qom::ui::ListView& list() { return *find<qom::ui::ListView>("Tracks"); }
  qom::ui::Edit& edit(const char* name) { return *find<qom::ui::Edit>(name); }
  qom::ui::Label& status() { return *find<qom::ui::Label>("Status"); }
  qom::ui::PushButton& button(const char* name) {
    return *find<qom::ui::PushButton>(name);
  }
  qom::ui::DropDown& entries() {
    return *find<qom::ui::DropDown>("Entries");
  }

  // Column `column` of every row, in order.
  std::vector<std::string> column(int column) {
    std::vector<std::string> cells;
    for (int r = 0; r < list().rowCount(); ++r) cells.push_back(list().cell(r, column));
    return cells;
  }

 protected:
  ForwardingLoop& eventLoop() { return *loop_; }
  // Closes the window (and ends its threads) if it is open.
  void close() {
    windows_.reset();
    frame_ = nullptr;
  }

 private:
  template <class Model>
  Model* find(const char* name) {
    return findControl<Model>(frame_, name);
  }

  // Declared so that the windows go first, then the loop, then the host.
  HostFixture host_;
  std::unique_ptr<qomhost::HostSession> session_;
  std::unique_ptr<ForwardingLoop> loop_;
  std::unique_ptr<qomhost::WindowHost> windows_;
  qom::ui::Container* frame_ = nullptr;
};

}  // namespace testing_support
