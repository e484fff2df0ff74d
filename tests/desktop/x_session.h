#pragma once
// An X server of the test's own (Xvfb on a free display number) and the
// tools the desktop tests drive it with. Every process started here is
// ended by its pid.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "support/run_command.h"

namespace desktop_test {

using testing_support::findProgram;
using Clock = std::chrono::steady_clock;
constexpr auto kWait = std::chrono::seconds(30);

// Polls `done` until it holds or `bound` passes; answers its last answer.
inline bool waitFor(const std::function<bool()>& done, std::chrono::milliseconds bound = kWait) {
  const auto end = Clock::now() + bound;
  for (;;) {
    if (done()) return true;
    if (Clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

// A started program; output goes to files (never a pipe that could fill).
class Process {
 public:
  Process(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnv,
          const std::string& outFile) {
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) env.emplace_back(*e);
    for (const std::string& e : extraEnv) {
      const std::string key = e.substr(0, e.find('=') + 1);
      env.erase(std::remove_if(env.begin(), env.end(), [&](const std::string& x) { return x.rfind(key, 0) == 0; }),
                env.end());
      env.push_back(e);
    }
    std::vector<char*> args, envp;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    for (const std::string& e : env) envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outFile.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    if (posix_spawn(&pid_, args[0], &actions, nullptr, args.data(), envp.data()) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
  }
  ~Process() {
    if (running()) {
      ::kill(pid_, SIGKILL);
      int status = 0;
      ::waitpid(pid_, &status, 0);
    }
  }
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  pid_t pid() const { return pid_; }
  bool started() const { return pid_ > 0; }
  // False once it has ended (and been reaped).
  bool running() {
    if (pid_ <= 0 || exitCode_) return false;
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) != pid_) return true;
    exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return false;
  }
  void signal(int number) {
    if (running()) ::kill(pid_, number);
  }
  // The exit code after waiting up to `bound`, or nullopt if still running.
  std::optional<int> waitExit(std::chrono::milliseconds bound = kWait) {
    waitFor([this] { return !running(); }, bound);
    return exitCode_;
  }

 private:
  pid_t pid_ = -1;
  std::optional<int> exitCode_;
};

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
          std::vector<std::string>{}, logFile);
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
        Process probe({xdotool, "getdisplaygeometry"}, {"DISPLAY=:" + std::to_string(n)}, "/dev/null");
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
    if (server_) {
      server_->signal(SIGTERM);
      server_->waitExit(std::chrono::seconds(10));
    }
  }
  bool ok() const { return server_ != nullptr; }
  const std::string& display() const { return display_; }

 private:
  std::unique_ptr<Process> server_;
  std::string display_;
};

// Skips when the X tools are missing here; fails in CI, where setup
// installs them.
inline std::string missingTools() {
  std::string missing;
  for (const char* tool : {"Xvfb", "xdotool"})
    if (findProgram(tool).empty()) missing += std::string(missing.empty() ? "" : ", ") + tool;
  return missing;
}

}  // namespace desktop_test

#define DESKTOP_TEST_REQUIRE_X_TOOLS()                                                      \
  do {                                                                                      \
    const std::string missing = desktop_test::missingTools();                               \
    if (!missing.empty()) {                                                                 \
      if (std::getenv("CI") != nullptr) FAIL() << "missing in CI: " << missing;             \
      GTEST_SKIP() << "needs " << missing << " (scripts/setup installs xvfb and xdotool)"; \
    }                                                                                       \
  } while (false)
