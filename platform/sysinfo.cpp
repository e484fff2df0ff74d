#include "platform/sysinfo.h"

#include <cstdlib>
#include <cstring>
#include <mutex>

namespace platform {
namespace {

std::mutex& overrideMutex() {
  static std::mutex m;
  return m;
}

std::optional<int>& overrideValue() {
  static std::optional<int> value;
  return value;
}

// Only a plain decimal in the range the system could ever report; anything
// else in the variable is ignored rather than half-parsed.
std::optional<int> fromEnvironment() {
  const char* text = std::getenv("QOM_PLATFORM_ID");
  if (text == nullptr) return std::nullopt;
  const std::size_t len = strnlen(text, 3);
  if (len == 0 || len > 2) return std::nullopt;
  int value = 0;
  for (std::size_t i = 0; i < len; ++i) {
    if (text[i] < '0' || text[i] > '9') return std::nullopt;
    value = value * 10 + (text[i] - '0');
  }
  if (value > 10) return std::nullopt;
  return value;
}

}  // namespace

int systemPlatformId() {
  {
    std::lock_guard<std::mutex> lock(overrideMutex());
    if (overrideValue()) return *overrideValue();
  }
  return fromEnvironment().value_or(kPlatformWin32Nt);
}

void setSystemPlatformIdForTesting(std::optional<int> id) {
  std::lock_guard<std::mutex> lock(overrideMutex());
  overrideValue() = id;
}

}  // namespace platform
