#pragma once
// Runs a program with arguments and collects its exit code and output.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

extern char** environ;

namespace testing_support {

struct CommandResult {
  int exitCode = -1;
  std::string out;
  std::string err;
};

// A program's full path from PATH (posix_spawn takes a full path), or "".
inline std::string findProgram(const std::string& name) {
  const char* path = std::getenv("PATH");
  const std::string dirs = path != nullptr ? path : "/usr/bin:/bin";
  std::size_t from = 0;
  while (from <= dirs.size()) {
    std::size_t to = dirs.find(':', from);
    if (to == std::string::npos) to = dirs.size();
    const std::string candidate = dirs.substr(from, to - from) + "/" + name;
    if (::access(candidate.c_str(), X_OK) == 0) return candidate;
    from = to + 1;
  }
  return {};
}

inline std::string drain(int fd) {
  std::string text;
  char buffer[4096];
  ssize_t n;
  while ((n = ::read(fd, buffer, sizeof buffer)) > 0) text.append(buffer, static_cast<size_t>(n));
  return text;
}

// Output goes through files, so a chatty program cannot block on a full pipe.
inline CommandResult runCommand(const std::vector<std::string>& argv) {
  CommandResult result;
  char outName[] = "/tmp/rondel-out-XXXXXX";
  char errName[] = "/tmp/rondel-err-XXXXXX";
  int outFd = ::mkstemp(outName), errFd = ::mkstemp(errName);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, outFd, 1);
  posix_spawn_file_actions_adddup2(&actions, errFd, 2);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  pid_t pid;
  if (posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ) == 0) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  posix_spawn_file_actions_destroy(&actions);
  ::lseek(outFd, 0, SEEK_SET);
  ::lseek(errFd, 0, SEEK_SET);
  result.out = drain(outFd);
  result.err = drain(errFd);
  ::close(outFd);
  ::close(errFd);
  ::unlink(outName);
  ::unlink(errName);
  return result;
}

// The names of `tools` that are not on PATH, comma-separated.
inline std::string missingTools(const std::vector<std::string>& tools) {
  std::string missing;
  for (const std::string& tool : tools)
    if (findProgram(tool).empty()) missing += (missing.empty() ? "" : ", ") + tool;
  return missing;
}

}  // namespace testing_support

// Skips when a program the test needs is missing here; fails in CI, where
// scripts/setup installs them all.
#define REQUIRE_TOOLS(...)                                                             \
  do {                                                                                 \
    const std::string missing = testing_support::missingTools({__VA_ARGS__});          \
    if (!missing.empty()) {                                                            \
      if (std::getenv("CI") != nullptr) FAIL() << "missing in CI: " << missing;        \
      GTEST_SKIP() << "needs " << missing << " (scripts/setup installs them)";         \
    }                                                                                  \
  } while (false)
