#pragma once
// The main window of the real rondel.qom in a headless host, for the road of
// one disc: an image drive playing a made disc, lookups on against a local
// cddb-server, the output folder in a temporary directory (Z:\ form), and a
// loop that records every status text of every track. The test's thread is
// the window thread.
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "integration/host_fixture.h"
#include "integration/rip_fixture.h"

namespace road_test {

using testing_support::DrivesJson;

class RoadWindow {
 public:
  RoadWindow(const std::string& cuePath, const std::string& server)
      : host_(DrivesJson{R"({"drives": [{"type": "image", "name": "Road Image", "path": ")" + cuePath +
                         R"("}]})"},
              0),
        // Short lookup time-outs: a fault ends in seconds, not in a minute.
        timeouts_("RONDEL_LOOKUP_TIMEOUTS", "2000,2000,10000"),
        session_(host_.start()) {
    set("Use Freedb", "1");
    set("Freedb Server", server);
    set("EMail", "road@example.org");
    set("Use Output Folder", "1");
    set("Output Folder", testing_support::RipFixture::windowsForm(out_.path()));
    set("Eject", "1");
  }
  ~RoadWindow() { windows_.reset(); }  // the window (and its threads) before the host
  RoadWindow(const RoadWindow&) = delete;
  RoadWindow& operator=(const RoadWindow&) = delete;

  bool show() {
    windows_ = std::make_unique<qomhost::WindowHost>(session_->host(), loop_);
    frame_ = windows_->show(testing_support::kRondelGuid);
    return window() != nullptr;
  }
  bool set(const char* key, const std::string& value) {
    qom::ConfigItem* item = session_->findItem(key);
    return item != nullptr && item->setText(value.c_str());
  }

  // One poll tick now.
  bool tick() { return loop_.driver.fireTimer(window(), 1); }
  // Runs the window thread in real time (posted tasks and the 500 ms poll)
  // until `done` holds; false after the bound.
  template <class Done>
  bool runUntil(Done done, std::chrono::seconds bound = std::chrono::seconds(60)) {
    return loop_.driver.runUntil(done, bound);
  }
  bool runUntilStatus(const std::string& text) {
    return runUntil([&] { return status().text() == text; });
  }

  testing_support::RecordingLoop& loop() { return loop_; }
  qom::ui::Window* window() { return windows_->window(testing_support::kRondelGuid); }
  qom::ui::ListView& list() { return *find<qom::ui::ListView>("Tracks"); }
  qom::ui::Label& status() { return *find<qom::ui::Label>("Status"); }
  qom::ui::Edit& edit(const char* name) { return *find<qom::ui::Edit>(name); }
  qom::ui::PushButton& button(const char* name) { return *find<qom::ui::PushButton>(name); }
  qom::ui::DropDown& entries() { return *find<qom::ui::DropDown>("Entries"); }

  // Column `column` of every row, in order.
  std::vector<std::string> column(int column) {
    std::vector<std::string> cells;
    for (int r = 0; r < list().rowCount(); ++r) cells.push_back(list().cell(r, column));
    return cells;
  }

  const testing_support::TempDir& out() const { return out_; }

 private:
  template <class Model>
  Model* find(const char* name) {
    return testing_support::findControl<Model>(frame_, name);
  }

  // Declared so that the windows go first, then the loop, then the host.
  testing_support::HostFixture host_;
  testing_support::ScopedEnv timeouts_;
  testing_support::TempDir out_;
  std::unique_ptr<qomhost::HostSession> session_;
  testing_support::RecordingLoop loop_;
  std::unique_ptr<qomhost::WindowHost> windows_;
  qom::ui::Container* frame_ = nullptr;
};

}  // namespace road_test
