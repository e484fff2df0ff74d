#pragma once
// A program a test runs in the background (a server, a proxy): started with
// its output going to a log file, waited for until it accepts connections or
// prints a line, and ended when the object goes (SIGTERM, then SIGKILL if it
// has not ended within a bound). Only the process this object started is
// ever signalled.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace testing_support {

// A TCP port on 127.0.0.1 that was free a moment ago (the kernel's choice
// for port 0). 0 when none could be had.
inline std::uint16_t freeTcpPort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return 0;
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof addr;
  std::uint16_t port = 0;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &length) == 0)
    port = ntohs(addr.sin_port);
  ::close(fd);
  return port;
}

// True when something accepts connections on 127.0.0.1:port.
inline bool portAccepts(std::uint16_t port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return false;
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(port);
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
  ::close(fd);
  return ok;
}

// Polls `done` every `step` until it holds or `bound` passes; answers its
// last answer. For state another process changes (a log line, a file),
// which nothing here can be woken by.
template <class Done>
bool waitUntil(Done done, std::chrono::milliseconds bound = std::chrono::seconds(20),
               std::chrono::milliseconds step = std::chrono::milliseconds(5)) {
  const auto until = std::chrono::steady_clock::now() + bound;
  while (!done()) {
    if (std::chrono::steady_clock::now() > until) return done();
    std::this_thread::sleep_for(step);
  }
  return true;
}

class BackgroundProcess {
 public:
  // argv[0] is a full path (see findProgram). `env` entries ("KEY=value")
  // replace or add to this process's environment. stdout and stderr go to
  // `logPath`.
  BackgroundProcess(const std::vector<std::string>& argv, const std::string& logPath,
                    const std::vector<std::string>& env = {})
      : logPath_(logPath) {
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    // A key given here replaces the inherited one: with both present, the
    // child's getenv would find the inherited one first.
    std::vector<std::string> envText;
    for (char** e = environ; *e != nullptr; ++e) {
      const std::string entry = *e;
      const std::string key = entry.substr(0, entry.find('=') + 1);
      bool replaced = false;
      for (const std::string& given : env) replaced = replaced || given.rfind(key, 0) == 0;
      if (!replaced) envText.push_back(entry);
    }
    envText.insert(envText.end(), env.begin(), env.end());
    std::vector<char*> envp;
    for (std::string& e : envText) envp.push_back(e.data());
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (posix_spawn(&pid_, args[0], &actions, nullptr, args.data(), envp.data()) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
  }
  ~BackgroundProcess() { stop(); }
  BackgroundProcess(const BackgroundProcess&) = delete;
  BackgroundProcess& operator=(const BackgroundProcess&) = delete;

  bool started() const { return pid_ > 0 || status_.has_value(); }
  pid_t pid() const { return pid_; }
  // False once the process has ended (and been reaped).
  bool running() {
    int status = 0;
    if (pid_ > 0 && ::waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      status_ = status;
    }
    return pid_ > 0;
  }
  // Sends `sig` to the process this object started, while it runs.
  bool signal(int sig) { return pid_ > 0 && ::kill(pid_, sig) == 0; }

  // The wait status once the process has ended by itself; nothing if it is
  // still running after `bound`.
  std::optional<int> waitExit(std::chrono::milliseconds bound = std::chrono::seconds(30)) {
    waitFor([] { return false; }, bound);
    return status_;
  }

  // Waits until 127.0.0.1:port accepts a connection; false when the process
  // ended first or `bound` passed.
  bool waitForPort(std::uint16_t port, std::chrono::milliseconds bound = std::chrono::seconds(15)) {
    return waitFor([&] { return portAccepts(port); }, bound);
  }

  // Waits until the log holds a line that starts with `prefix`; that line
  // goes to `line`.
  bool waitForLine(const std::string& prefix, std::string* line = nullptr,
                   std::chrono::milliseconds bound = std::chrono::seconds(15)) {
    return waitFor(
        [&] {
          std::istringstream in(log());
          for (std::string l; std::getline(in, l);)
            if (l.rfind(prefix, 0) == 0) {
              if (line != nullptr) *line = l;
              return true;
            }
          return false;
        },
        bound);
  }

  // The port of the first "listening on 127.0.0.1:PORT" line the process
  // logs (bounded); 0 when none came.
  int listeningPort() {
    const std::string prefix = "listening on 127.0.0.1:";
    std::string line;
    return waitForLine(prefix, &line) ? std::atoi(line.c_str() + prefix.size()) : 0;
  }

  bool logHas(const std::string& text) const { return log().find(text) != std::string::npos; }

  std::string log() const {
    std::ifstream in(logPath_, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
  }

  // Ends the process: SIGTERM, and SIGKILL if it is still there after
  // `bound`. Answers its wait status (-1 when it was not running).
  int stop(std::chrono::milliseconds bound = std::chrono::seconds(5)) {
    if (pid_ <= 0) return -1;
    ::kill(pid_, SIGTERM);
    int status = 0;
    const auto until = std::chrono::steady_clock::now() + bound;
    while (::waitpid(pid_, &status, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() > until) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, &status, 0);
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    pid_ = -1;
    status_ = status;
    return status;
  }

 private:
  template <class Condition>
  bool waitFor(Condition done, std::chrono::milliseconds bound) {
    const auto until = std::chrono::steady_clock::now() + bound;
    while (std::chrono::steady_clock::now() < until) {
      if (done()) return true;
      int status = 0;
      if (pid_ <= 0) return done();
      if (::waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        status_ = status;
        return done();
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }

  std::string logPath_;
  pid_t pid_ = -1;
  std::optional<int> status_;  // the wait status, once reaped
};

}  // namespace testing_support
