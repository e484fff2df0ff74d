#include "encoders/common/last_error.h"

namespace encoders {
namespace {

thread_local std::string t_lastError;  // this thread's only

}  // namespace

void setLastError(const std::string& reason) noexcept {
  try {
    t_lastError = reason;
  } catch (...) {
    t_lastError.clear();
  }
}

void clearLastError() noexcept { t_lastError.clear(); }

const std::string& lastError() noexcept { return t_lastError; }

}  // namespace encoders
