#pragma once
// The main window through the real rondel.qom, cdr.dll and encoders, for
// ripping: simulated drives, a headless loop that records every text a
// track's status cell shows (the worker writes it from its own thread, and
// each write reaches the loop's refresh on that thread, in order), and an
// output folder in a temporary directory (Z:\ form: nothing goes to $HOME).
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "host/view/headless_driver.h"
#include "host/window_host.h"
#include "main_window_fixture.h"

namespace testing_support {

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

// Watches the status column.
class RecordingLoop final : public ForwardingLoop {
 public:
  void refresh(qom::ui::Window* target) override {
    auto* list = qom::ui::windowAs<qom::ui::ListView>(target);
    if (list == nullptr) return;
    std::vector<std::pair<std::uint32_t, std::string>> fresh;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      for (int r = 0; r < list->rowCount(); ++r) {
        const std::string status = list->cell(r, 4);
        std::vector<std::string>& seen = statuses_[list->itemData(r)];
        if (!status.empty() && (seen.empty() || seen.back() != status)) {
          seen.push_back(status);
          fresh.emplace_back(list->itemData(r), status);
        }
      }
    }
    if (onStatus)
      for (const auto& [track, status] : fresh) onStatus(track, status);
  }
  // Told of each new status text on the thread that wrote it (the rip
  // worker's, for the texts a job shows), before that thread goes on. Set
  // it before the copy starts.
  std::function<void(std::uint32_t track, const std::string& status)> onStatus;
  // Every distinct status text track `track` showed, in order.
  std::vector<std::string> statuses(std::uint32_t track) {
    std::lock_guard<std::mutex> lock(mutex_);
    return statuses_[track];
  }

 private:
  std::mutex mutex_;
  std::map<std::uint32_t, std::vector<std::string>> statuses_;
};

class RipFixture {
 public:
  explicit RipFixture(const DrivesJson& config) : host_(config, 0), session_(host_.start()) {
    set("Use Freedb", "0");
    set("Use Output Folder", "1");
    set("Output Folder", windowsForm(out_.path()));
  }
  // "/tmp/x" -> "Z:\tmp\x" (a "/" in the folder would become "-").
  static std::string windowsForm(std::string native) {
    std::replace(native.begin(), native.end(), '/', '\\');
    return "Z:" + native;
  }
  ~RipFixture() { windows_.reset(); }

  // Shows the window and reads the disc (one poll tick).
  bool showReady() {
    windows_ = std::make_unique<qomhost::WindowHost>(session_->host(), loop_);
    frame_ = windows_->show(kRondelGuid);
    if (window() == nullptr || !loop_.driver.fireTimer(window(), 1)) return false;
    return status().text() == "Ready" && list().rowCount() > 0;
  }
  void hide() {
    windows_->hide(kRondelGuid);
    frame_ = nullptr;
  }
  bool set(const char* key, const std::string& value) {
    qom::ConfigItem* item = session_->findItem(key);
    return item != nullptr && item->setText(value.c_str());
  }

  qomhost::HostSession& session() { return *session_; }
  RecordingLoop& loop() { return loop_; }
  qom::ui::Window* window() { return windows_->window(kRondelGuid); }
  qom::ui::ListView& list() { return *find<qom::ui::ListView>("Tracks"); }
  qom::ui::Label& status() { return *find<qom::ui::Label>("Status"); }
  qom::ui::Edit& edit(const char* name) { return *find<qom::ui::Edit>(name); }
  qom::ui::PushButton& button(const char* name) { return *find<qom::ui::PushButton>(name); }
  std::string cellStatus(int row) { return list().cell(row, 4); }

  // Runs the window thread until `done` holds; false after a generous bound.
  template <class Done>
  bool runUntil(Done done, std::chrono::seconds bound = std::chrono::seconds(60)) {
    return loop_.driver.runUntil(done, bound);
  }
  // Runs until the copy has ended: "Cancel copying" is off again.
  bool waitIdle() {
    return runUntil([&] { return !button("Cancel copying").enabled(); });
  }

  // The output folder (native) and a file below it.
  const TempDir& out() const { return out_; }
  std::string outFile(const std::string& relative) const { return out_.path() + "/" + relative; }
  std::vector<std::string> filesWritten() const {
    std::vector<std::string> files;
    for (const auto& e : std::filesystem::recursive_directory_iterator(out_.path()))
      if (e.is_regular_file()) files.push_back(e.path().string().substr(out_.path().size() + 1));
    std::sort(files.begin(), files.end());
    return files;
  }

 private:
  template <class Model>
  Model* find(const char* name) {
    return findControl<Model>(frame_, name);
  }

  HostFixture host_;
  TempDir out_;
  std::unique_ptr<qomhost::HostSession> session_;
  RecordingLoop loop_;
  std::unique_ptr<qomhost::WindowHost> windows_;
  qom::ui::Container* frame_ = nullptr;
};

}  // namespace testing_support
