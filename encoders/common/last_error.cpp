#include "encoders/common/last_error.h"

#include <cstring>

namespace encoders {
namespace {

constexpr std::size_t kReasonBytes = 1024;
thread_local char t_lastError[kReasonBytes];  // this thread's only

}  // namespace

void setLastError(const std::string& reason) noexcept {
  const std::size_t n = reason.size() < kReasonBytes - 1 ? reason.size() : kReasonBytes - 1;
  std::memcpy(t_lastError, reason.data(), n);
  t_lastError[n] = '\0';
}

void clearLastError() noexcept { t_lastError[0] = '\0'; }

const char* lastError() noexcept { return t_lastError; }

}  // namespace encoders
