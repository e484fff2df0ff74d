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
#include "host/view/window_host.h"
#include "main_window_fixture.h"
#include "sdk/rondel_window.h"

namespace testing_support {

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

 private:
  std::mutex mutex_;
  std::map<std::uint32_t, std::vector<std::string>> statuses_;
};

class RipFixture : public MainWindowFixture {
 public:
  explicit RipFixture(const DrivesJson& config,
                      std::unique_ptr<ForwardingLoop> loop = std::make_unique<RecordingLoop>())
      : MainWindowFixture(config, std::move(loop)) {
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
  bool showReady() { return show() && tick() && status().text() == "Ready" && list().rowCount() > 0; }
  bool set(const char* key, const std::string& value) { return setItem(key, value); }

  // (With the default loop.)
  RecordingLoop& loop() { return static_cast<RecordingLoop&>(eventLoop()); }
  std::string cellStatus(int row) { return list().cell(row, rondel::window::kColumnStatus); }
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
  TempDir out_;
};

}  // namespace testing_support
