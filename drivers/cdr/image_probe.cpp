#include "drivers/cdr/image_probe.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <map>
#include <mutex>

#include "drivers/cdr/cdio_support.h"
#include "platform/unique_fd.h"

namespace cdr {
namespace {

constexpr std::size_t kMaxCachedAnswers = 1024;

// Shared by every thread that opens images; guarded by cacheMutex().
std::map<std::string, ProbeResult>& cache() {
  static std::map<std::string, ProbeResult> answers;
  return answers;
}
std::mutex& cacheMutex() {
  static std::mutex m;
  return m;
}

pid_t waitFor(pid_t pid, int& status) {
  pid_t got;
  do got = ::waitpid(pid, &status, 0);
  while (got < 0 && errno == EINTR);
  return got;
}

ProbeResult runProbe(const std::function<bool()>& attempt, std::chrono::milliseconds timeout,
                     bool& ran) {
  ProbeResult result;
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC) != 0) {
    result.why = "no pipe for a trial open";
    return result;
  }
  platform::UniqueFd readEnd(ends[0]), writeEnd(ends[1]);
  pid_t pid;
  {
    std::lock_guard<std::mutex> lock(cdioMutex());
    pid = ::fork();
  }
  if (pid == 0) {
    // Whatever libcdio or the C library would print while failing stays
    // out of the host's output: the parent says why in one line.
    const int devNull = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (devNull >= 0) ::dup2(devNull, 2);
    char answer = 'n';
    try {
      answer = attempt() ? 'y' : 'n';
    } catch (...) {
    }
    ssize_t put;
    do put = ::write(writeEnd.get(), &answer, 1);
    while (put < 0 && errno == EINTR);
    ::_exit(0);
  }
  if (pid < 0) {
    result.why = "no process for a trial open";
    return result;
  }
  ran = true;
  writeEnd.reset();

  // The answer byte, or the end of the pipe when the child died, within the bound.
  char answer = 0;
  bool answered = false, timedOut = false;
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      timedOut = true;
      break;
    }
    pollfd p{readEnd.get(), POLLIN, 0};
    const int ready = ::poll(&p, 1, static_cast<int>(left.count()));
    if (ready < 0 && errno == EINTR) continue;
    if (ready == 0) {
      timedOut = true;
      break;
    }
    const ssize_t got = ::read(readEnd.get(), &answer, 1);
    if (got < 0 && errno == EINTR) continue;
    answered = got == 1;
    break;
  }
  if (timedOut) ::kill(pid, SIGKILL);
  int status = 0;
  const bool reaped = waitFor(pid, status) == pid;

  if (timedOut) {
    result.why = "libcdio did not finish reading it within " + std::to_string(timeout.count()) + " ms";
  } else if (answered && (answer == 'y' || answer == 'n')) {
    result.answer = answer == 'y' ? ProbeAnswer::kOpens : ProbeAnswer::kRefused;
  } else if (reaped && WIFSIGNALED(status)) {
    result.why = "libcdio crashed on it (signal " + std::to_string(WTERMSIG(status)) + ")";
  } else if (reaped && WIFEXITED(status)) {
    // A sanitizer's report ends the child with a status instead of a signal.
    result.why = "libcdio crashed on it (exit status " + std::to_string(WEXITSTATUS(status)) + ")";
  } else {
    result.why = "libcdio crashed on it (the trial open ended without an answer)";
  }
  return result;
}

}  // namespace

std::chrono::milliseconds probeTimeout() {
  if (const char* text = std::getenv("CDR_PROBE_TIMEOUT_MS"); text && *text) {
    char* end = nullptr;
    const long ms = std::strtol(text, &end, 10);
    if (*end == '\0' && ms >= 100 && ms <= 600000) return std::chrono::milliseconds(ms);
  }
  return std::chrono::milliseconds(10000);
}

std::string fileIdentity(const struct stat& st) {
  return std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino) + ":" +
         std::to_string(st.st_size) + ":" + std::to_string(st.st_mtim.tv_sec) + "." +
         std::to_string(st.st_mtim.tv_nsec) + ":" + std::to_string(st.st_ctim.tv_sec) + "." +
         std::to_string(st.st_ctim.tv_nsec) + ";";
}

ProbeResult probeOnce(const std::string& key, const std::function<bool()>& attempt,
                      std::chrono::milliseconds timeout) {
  {
    std::lock_guard<std::mutex> lock(cacheMutex());
    const auto it = cache().find(key);
    if (it != cache().end()) return it->second;
  }
  bool ran = false;
  ProbeResult result = runProbe(attempt, timeout, ran);
  if (!ran) return result;  // no pipe or process this time: ask again next time
  std::lock_guard<std::mutex> lock(cacheMutex());
  if (cache().size() >= kMaxCachedAnswers) cache().clear();
  cache()[key] = result;
  return result;
}

}  // namespace cdr
