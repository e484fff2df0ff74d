#pragma once
// Why the calling thread's last stream open failed, for ACD2_LastError: the
// component only tells 0 from nonzero, so the reason travels beside the
// result. One text a thread, so streams opened on other threads never see
// each other's reasons.
#include <string>

namespace encoders {

// Sets the reason (UTF-8). Never throws: a reason that cannot be stored is
// dropped.
void setLastError(const std::string& reason) noexcept;
void clearLastError() noexcept;
const std::string& lastError() noexcept;

}  // namespace encoders
