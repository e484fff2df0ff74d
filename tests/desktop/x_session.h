#pragma once
// An X server of the test's own (Xvfb on a free display number) and the
// polling the desktop tests wait with. Every process started here is ended
// by its pid.
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "support/background_process.h"
#include "support/run_command.h"
#include "support/temp_dir.h"

namespace desktop_test {

using testing_support::findProgram;
using Process = testing_support::BackgroundProcess;
using Clock = std::chrono::steady_clock;
constexpr auto kWait = std::chrono::seconds(30);

// Polls `done` until it holds or `bound` passes; answers its last answer.
inline bool waitFor(const std::function<bool()>& done, std::chrono::milliseconds bound = kWait) {
  return testing_support::waitUntil(done, bound, std::chrono::milliseconds(20));
}

// Xvfb on the first free display from a random base.
class XServer {
 public:
  explicit XServer(const std::string& logFile) {
    const std::string xvfb = findProgram("Xvfb");
    if (xvfb.empty()) return;
    std::mt19937 random(static_cast<unsigned>(::getpid()) ^
                        static_cast<unsigned>(Clock::now().time_since_epoch().count()));
    const int base = 200 + static_cast<int>(random() % 600);
    for (int n = base; n < base + 40 && !server_; ++n) {
      const std::string socket = "/tmp/.X11-unix/X" + std::to_string(n);
      const std::string lock = "/tmp/.X" + std::to_string(n) + "-lock";
      struct stat st;
      if (::stat(socket.c_str(), &st) == 0 || ::stat(lock.c_str(), &st) == 0) continue;
      // -noreset: by default the server resets when its last client goes,
      // and a client connecting meanwhile (qomhost right after the probe
      // below, or after a first qomhost ended) is refused.
      auto server = std::make_unique<Process>(
          std::vector<std::string>{xvfb, ":" + std::to_string(n), "-screen", "0", "1024x768x24", "-nolisten", "tcp",
                                   "-noreset"},
          logFile);
      // Ready once a client gets through (the socket appears a little
      // before the server answers); a server that lost a race for the
      // number ends, and the next number is tried.
      const std::string xdotool = findProgram("xdotool");
      // The lock file names the server that holds the number: a server that
      // lost the race may still run for a moment while the winner answers.
      const auto ours = [&] {
        std::ifstream in(lock);
        long pid = 0;
        return static_cast<bool>(in >> pid) && pid == server->pid();
      };
      const auto answers = [&] {
        if (::stat(socket.c_str(), &st) != 0 || !ours()) return false;
        Process probe({xdotool, "getdisplaygeometry"}, "/dev/null", {"DISPLAY=:" + std::to_string(n)});
        return probe.waitExit(std::chrono::seconds(10)) == 0;
      };
      if (waitFor([&] { return !server->running() || answers(); }, std::chrono::seconds(15)) &&
          server->running() && ours()) {
        server_ = std::move(server);
        display_ = ":" + std::to_string(n);
      }
    }
  }
  ~XServer() {
    if (server_) server_->stop(std::chrono::seconds(10));
  }
  bool ok() const { return server_ != nullptr; }
  const std::string& display() const { return display_; }

 private:
  std::unique_ptr<Process> server_;
  std::string display_;
};

// A screenshot of the whole display into build/desktop-test/NAME.png, for
// people to look at; without ffmpeg there is none.
inline void screenshot(const XServer& x, const std::string& name) {
  const std::string shots = testing_support::binDir() + "/../desktop-test";
  std::filesystem::create_directories(shots);
  const std::string ffmpeg = findProgram("ffmpeg");
  if (ffmpeg.empty()) return;
  auto shot = testing_support::runCommand({ffmpeg, "-loglevel", "error", "-y", "-f", "x11grab", "-video_size",
                                           "1024x768", "-i", x.display(), "-frames:v", "1",
                                           shots + "/" + name + ".png"});
  EXPECT_EQ(shot.exitCode, 0) << shot.err;
}

}  // namespace desktop_test
