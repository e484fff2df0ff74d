#pragma once
// What the fault drills share: a child process the drill can signal and
// wait for, a `qomhost` process with its own folders, and the checks of
// what must survive a fault:
// the output folder's files (no temporary ones), an MP3 file's decoded
// length, the configuration file, and this process's thread count.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "support/background_process.h"
#include "support/run_command.h"
#include "support/temp_dir.h"

namespace drills {

using Clock = std::chrono::steady_clock;
using testing_support::filesBelow;
using testing_support::waitUntil;

// A program in the background with its output in one log file; the drill
// chooses the signal and reads the exit status.
using ChildProcess = testing_support::BackgroundProcess;

// A wait status as a shell shows it: the exit code, or 128 + the signal.
inline int shellCode(int status) {
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Stereo frames an independent decoder (mpg123) gets out of an MP3 file;
// -1 when it cannot decode it.
inline long decodedFrames(const std::string& file) {
  const auto r = testing_support::runCommand({testing_support::findProgram("mpg123"), "-q", "-s", file});
  return r.exitCode == 0 ? static_cast<long>(r.out.size() / 4) : -1;
}
constexpr long kFramesPerSector = 588;

// Threads of this process now.
inline int threadCount() {
  int count = 0;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task")) {
    (void)entry;
    ++count;
  }
  return count;
}

// The thread count to come back to. ThreadSanitizer starts a background
// thread of its own with the process's first new thread, so one thread is
// started and joined before counting; a joined thread stays listed until
// the kernel has reaped it, so the count waits for that.
inline int threadBaseline() {
  pid_t tid = 0;
  std::thread([&] { tid = static_cast<pid_t>(::syscall(SYS_gettid)); }).join();
  waitUntil([&] { return !std::filesystem::exists("/proc/self/task/" + std::to_string(tid)); });
  return threadCount();
}

// Whether the thread count comes back to `baseline` (threads just joined
// may stay listed for a moment).
inline ::testing::AssertionResult threadsBackTo(int baseline) {
  if (waitUntil([&] { return threadCount() == baseline; }, std::chrono::seconds(5)))
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << threadCount() << " threads, " << baseline << " before";
}

// The configuration as qomhost keeps it in `configDir`.
inline std::string configText(const std::string& configDir) {
  return testing_support::readFile(configDir + "/config.json");
}

// The real `qomhost` as a separate process for a drill: its own
// configuration folder, a drive library configuration (CDR_CONFIG) and an
// output folder in one temporary directory, lookups off unless the drill
// points it at a server.
class QomhostDrill {
 public:
  // `drives` is the drive library's JSON configuration.
  explicit QomhostDrill(const std::string& drives)
      : cdrConfig_("CDR_CONFIG", dir_.write("cdr.json", drives)) {}

  std::string host() const { return testing_support::binDir() + "/qomhost"; }
  std::string configDir() const { return dir_.file("config"); }
  std::string out() const { return dir_.file("out"); }
  std::string outFile(const std::string& relative) const { return out() + "/" + relative; }
  std::string log(const std::string& name) const { return dir_.file(name); }

  // qomhost with the drill's configuration folder and `args`.
  std::vector<std::string> command(const std::vector<std::string>& args) const {
    std::vector<std::string> argv{host(), "--config-dir", configDir()};
    argv.insert(argv.end(), args.begin(), args.end());
    return argv;
  }
  testing_support::CommandResult run(const std::vector<std::string>& args) const {
    return testing_support::runCommand(command(args));
  }
  void set(const std::string& key, const std::string& value) const {
    const auto r = run({"config", "set", key, value});
    ASSERT_EQ(r.exitCode, 0) << key << ": " << r.err;
  }

  // The configuration must come through a fault byte for byte, and still
  // load: a later qomhost reads back what it held.
  void expectConfigIntact(const std::string& before, const std::string& key,
                          const std::string& value) const {
    EXPECT_EQ(configText(configDir()), before);
    const auto r = run({"config", "get", key});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, value + "\n");
  }

 private:
  testing_support::TempDir dir_;
  testing_support::ScopedEnv cdrConfig_;
};

}  // namespace drills
