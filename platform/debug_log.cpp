#include "platform/debug_log.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>

namespace platform {
namespace {

constexpr int kUnread = -1;  // the environment was not looked at yet
constexpr int kOff = 0;
constexpr int kOn = 1;

// Constant-initialised, so a line written during static construction (the
// component loads its libraries then) finds it ready. Its destructor closes
// the file and turns the log off, so a line written from a later static
// destructor is dropped instead of going to a closed descriptor.
class DebugLog {
 public:
  constexpr DebugLog() = default;
  ~DebugLog() { setTarget(nullptr); }
  DebugLog(const DebugLog&) = delete;
  DebugLog& operator=(const DebugLog&) = delete;

  bool enabled() noexcept {
    const int mode = mode_.load(std::memory_order_acquire);
    if (mode != kUnread) return mode == kOn;
    std::lock_guard<std::mutex> lock(mutex_);
    if (mode_.load(std::memory_order_relaxed) == kUnread) {
      const char* target = std::getenv("RONDEL_DEBUG_LOG");
      if (target == nullptr && std::getenv("RONDEL_DEBUG") != nullptr) target = "stderr";
      openLocked(target);
    }
    return mode_.load(std::memory_order_relaxed) == kOn;
  }

  void setTarget(const char* target) noexcept {
    std::lock_guard<std::mutex> lock(mutex_);
    openLocked(target);
  }

  // One write per line, so lines of other processes appending to the same
  // file stay whole too.
  void write(const char* line, std::size_t length) noexcept {
    std::lock_guard<std::mutex> lock(mutex_);
    if (mode_.load(std::memory_order_relaxed) != kOn) return;
    while (length > 0) {
      const ssize_t put = ::write(fd_, line, length);
      if (put < 0 && errno == EINTR) continue;
      if (put <= 0) return;  // a full disk loses the line, nothing else
      line += put;
      length -= static_cast<std::size_t>(put);
    }
  }

 private:
  void openLocked(const char* target) noexcept {
    if (fd_ > STDERR_FILENO) ::close(fd_);
    fd_ = -1;
    if (target != nullptr && std::strcmp(target, "stderr") == 0) {
      fd_ = STDERR_FILENO;
    } else if (target != nullptr && target[0] != '\0') {
      fd_ = ::open(target, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    }
    mode_.store(fd_ >= 0 ? kOn : kOff, std::memory_order_release);
  }

  std::mutex mutex_;  // guards fd_ and every change of mode_
  std::atomic<int> mode_{kUnread};
  int fd_ = -1;
};

DebugLog g_log;

// "2026-12-07T02:10:11.123Z rondel: " at `out`; gives its length.
std::size_t writePrefix(char* out, std::size_t size) noexcept {
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  std::tm utc{};
  ::gmtime_r(&now.tv_sec, &utc);
  char date[32];
  if (std::strftime(date, sizeof date, "%Y-%m-%dT%H:%M:%S", &utc) == 0) date[0] = '\0';
  const int n = std::snprintf(out, size, "%s.%03ldZ rondel: ", date, now.tv_nsec / 1000000);
  return n < 0 ? 0 : static_cast<std::size_t>(n) < size ? static_cast<std::size_t>(n) : size - 1;
}

}  // namespace

bool debugLogEnabled() noexcept { return g_log.enabled(); }

void debugLog(const char* topic, const char* format, ...) noexcept {
  if (!g_log.enabled()) return;
  char line[kDebugLineBytes];
  constexpr std::size_t kRoom = sizeof line - 1;  // the newline's place
  std::size_t length = writePrefix(line, kRoom);
  const int topicBytes =
      std::snprintf(line + length, kRoom - length, "%s: ", topic != nullptr ? topic : "");
  std::size_t textStart = length;
  if (topicBytes > 0) length = std::min(kRoom - 1, length + static_cast<std::size_t>(topicBytes));
  std::va_list args;
  va_start(args, format);
  const int textBytes = std::vsnprintf(line + length, kRoom - length, format, args);
  va_end(args);
  if (textBytes > 0) {
    const std::size_t wanted = length + static_cast<std::size_t>(textBytes);
    length = std::min(kRoom - 1, wanted);
    if (wanted > length) std::memcpy(line + length - 3, "...", 3);
  }
  // The topic and text come from callers that pass on outside texts (URLs,
  // server replies): one event stays one line.
  for (std::size_t i = textStart; i < length; ++i) {
    const auto c = static_cast<unsigned char>(line[i]);
    if (c < 0x20 || c == 0x7f) line[i] = '?';
  }
  line[length++] = '\n';
  g_log.write(line, length);
}

void setDebugLogTarget(const char* target) noexcept { g_log.setTarget(target); }

}  // namespace platform
