#pragma once
// The real rondel.qom in an in-process host with simulated drives
// (HostFixture), its main window shown by the host's window host in a
// headless loop (MainWindowFixture), and the same window for ripping
// (RipFixture): a loop that records every text a track's status cell shows
// (the worker writes it from its own thread, and each write reaches the
// loop's refresh on that thread, in order), and an output folder in a
// temporary directory (Z:\ form: nothing goes to $HOME). The test's thread
// is the window thread; poll ticks are fired by hand.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "host/core/host_session.h"
#include "host/view/headless_driver.h"
#include "host/view/window_host.h"
#include "sdk/rondel_window.h"
#include "sdk/ui/drop_down.h"
#include "sdk/ui/edit.h"
#include "sdk/ui/label.h"
#include "sdk/ui/list_view.h"
#include "sdk/ui/push_button.h"
#include "support/temp_dir.h"

namespace testing_support {

// A whole drive library configuration, for drives that need more than a
// name (readiness scripts, track layouts, faults).
struct DrivesJson {
  std::string text;
};

// One simulated drive entry: `fields` are extra JSON members such as
// R"("readiness": [7, 0])"; `tracks` is the JSON array of tracks.
inline std::string simDrive(const std::string& name, const std::string& tracks, const std::string& fields = "") {
  return R"({"type": "simulated", "name": ")" + name + R"(", "tracks": )" + tracks +
         (fields.empty() ? "" : ", " + fields) + "}";
}

// The JSON array of audio tracks of these lengths in sectors.
inline std::string tracks(const std::vector<int>& sectors) {
  std::string t;
  for (int s : sectors) t += (t.empty() ? "" : ", ") + std::string(R"({"sectors": )") + std::to_string(s) + "}";
  return "[" + t + "]";
}

// A simulated drive's audio: a sine tone, which encoders do not squash to
// nothing as they do silence.
constexpr const char* kSine = R"("audio": {"generator": "sine"})";

inline DrivesJson drives(const std::vector<std::string>& entries) {
  std::string joined;
  for (const std::string& e : entries) joined += (joined.empty() ? "" : ",\n") + e;
  return {"{\"drives\": [\n" + joined + "\n]}\n"};
}

// Two audio tracks: 13230 sectors (2:56) and 9000 sectors (2:00).
constexpr const char* kTwoTracks = R"([{"sectors": 13230}, {"sectors": 9000}])";
constexpr const char* kThreeTracks = R"([{"sectors": 13230}, {"sectors": 9000}, {"sectors": 4500}])";

// A drive library configuration with simulated drives of the given names,
// each with kTwoTracks.
inline std::string simDrivesConfig(const std::vector<std::string>& names) {
  std::vector<std::string> entries;
  for (const std::string& name : names) entries.push_back(simDrive(name, kTwoTracks));
  return drives(entries).text;
}

class HostFixture {
 public:
  explicit HostFixture(const std::vector<std::string>& driveNames)
      : HostFixture(DrivesJson{simDrivesConfig(driveNames)}, 0) {}
  // (The second argument keeps a braced list of names from meaning this.)
  HostFixture(const DrivesJson& config, int)
      : cdrConfig_("CDR_CONFIG", dir_.write("cdr.json", config.text)) {}

  std::unique_ptr<qomhost::HostSession> start() {
    qomhost::HostSession::Options options;
    options.configFolder = configFolder();
    options.baseFolder = binDir();
    return std::make_unique<qomhost::HostSession>(options);
  }
  std::string configFolder() const { return dir_.file("config"); }

 private:
  TempDir dir_;
  ScopedEnv cdrConfig_;
};

inline const qom::Guid kRondelGuid = *qom::Guid::parse("{DAC1B44B-F86A-4150-A6B4-DE7A638702F7}");

// The control named `name` in `frame` as model class Model. A missing
// control is a test failure (thrown), not a crash.
template <class Model>
Model* findControl(qom::ui::Container* frame, const char* name) {
  Model* found = qom::ui::windowAs<Model>(frame != nullptr ? frame->findByName(name) : nullptr);
  if (found == nullptr) throw std::runtime_error(std::string("no control named ") + name);
  return found;
}

// The headless driver as the window's loop, watching the status column:
// it records every text a track's status cell shows, each on the thread
// that wrote it (the rip worker's, for the texts a job shows), in order.
class RecordingLoop final : public qom::ui::EventLoop {
 public:
  bool isWindowThread() const override { return driver.isWindowThread(); }
  void post(qom::ui::Window* target, std::function<void()> task) override { driver.post(target, std::move(task)); }
  void startTimer(qom::ui::Window* target, int id, int ms) override { driver.startTimer(target, id, ms); }
  void stopTimer(qom::ui::Window* target, int id) override { driver.stopTimer(target, id); }
  void forget(qom::ui::Window* target) override { driver.forget(target); }
  void refresh(qom::ui::Window* target) override {
    auto* list = qom::ui::windowAs<qom::ui::ListView>(target);
    if (list == nullptr) return;
    std::vector<std::pair<std::uint32_t, std::string>> fresh;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      for (int r = 0; r < list->rowCount(); ++r) {
        const std::string status = list->cell(r, rondel::window::kColumnStatus);
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

  qomhost::HeadlessDriver driver;

 private:
  std::mutex mutex_;
  std::map<std::uint32_t, std::vector<std::string>> statuses_;
};

class MainWindowFixture {
 public:
  // "Use Freedb" starts off, so the status settles at "Ready" within the
  // tick that reads a disc; the lookup tests switch it on.
  explicit MainWindowFixture(const DrivesJson& config)
      : host_(config, 0), session_(host_.start()), loop_(std::make_unique<RecordingLoop>()) {
    setItem("Use Freedb", "0");
  }

  // Shows the window; answers false when the host made none.
  bool show() {
    windows_ = std::make_unique<qomhost::WindowHost>(session_->host(), *loop_);
    frame_ = windows_->show(kRondelGuid);
    return frame_ != nullptr && window() != nullptr;
  }
  // Closes the window: its creator destroys it (a launcher click only
  // hides it).
  void hide() {
    windows_->close(kRondelGuid);
    frame_ = nullptr;
  }

  qomhost::HostSession& session() { return *session_; }
  qomhost::WindowHost& windowHost() { return *windows_; }
  qomhost::HeadlessDriver& driver() { return loop_->driver; }
  RecordingLoop& loop() { return *loop_; }
  qom::ui::Container* frame() { return frame_; }
  qom::ui::Window* window() { return windows_->window(kRondelGuid); }
  // The main window is a container (title, timers, size preferences).
  qom::ui::Container* container() { return qom::ui::windowAs<qom::ui::Container>(window()); }

  // One poll tick now.
  bool tick() { return driver().fireTimer(window(), 1); }
  // Shows the window and ticks once (a ready disc is read in that tick).
  bool showAndTick() { return show() && tick(); }
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

  qom::ui::ListView& list() { return *findControl<qom::ui::ListView>(frame_, "Tracks"); }
  qom::ui::Edit& edit(const char* name) { return *findControl<qom::ui::Edit>(frame_, name); }
  qom::ui::Label& status() { return *findControl<qom::ui::Label>(frame_, "Status"); }
  qom::ui::PushButton& button(const char* name) { return *findControl<qom::ui::PushButton>(frame_, name); }
  qom::ui::DropDown& entries() { return *findControl<qom::ui::DropDown>(frame_, "Entries"); }

  // Column `column` of every row, in order.
  std::vector<std::string> column(int column) {
    std::vector<std::string> cells;
    for (int r = 0; r < list().rowCount(); ++r) cells.push_back(list().cell(r, column));
    return cells;
  }

 protected:
  // Closes the window (and ends its threads) if it is open.
  void close() {
    windows_.reset();
    frame_ = nullptr;
  }

 private:
  // Declared so that the windows go first, then the loop, then the host.
  HostFixture host_;
  std::unique_ptr<qomhost::HostSession> session_;
  std::unique_ptr<RecordingLoop> loop_;
  std::unique_ptr<qomhost::WindowHost> windows_;
  qom::ui::Container* frame_ = nullptr;
};

class RipFixture : public MainWindowFixture {
 public:
  explicit RipFixture(const DrivesJson& config) : MainWindowFixture(config) {
    set("Use Output Folder", "1");
    set("Output Folder", windowsForm(out_.path()));
  }
  // "/tmp/x" -> "Z:\tmp\x" (a "/" in the folder would become "-").
  static std::string windowsForm(std::string native) {
    std::replace(native.begin(), native.end(), '/', '\\');
    return "Z:" + native;
  }
  ~RipFixture() { close(); }  // the window (and its rip worker) before the output folder

  // Shows the window and reads the disc (one poll tick).
  bool showReady() { return showAndTick() && status().text() == "Ready" && list().rowCount() > 0; }
  bool set(const char* key, const std::string& value) { return setItem(key, value); }

  std::string cellStatus(int row) { return list().cell(row, rondel::window::kColumnStatus); }
  // Runs until the copy has ended: "Cancel copying" is off again.
  bool waitIdle() { return runUntil([&] { return !button("Cancel copying").enabled(); }); }

  // The output folder (native) and a file below it.
  const TempDir& out() const { return out_; }
  std::string outFile(const std::string& relative) const { return out_.path() + "/" + relative; }
  std::vector<std::string> filesWritten() const { return filesBelow(out_.path()); }

 private:
  TempDir out_;
};

}  // namespace testing_support
