#pragma once
// Why the calling thread's last stream open failed, for ACD2_LastError: the
// component only tells 0 from nonzero, so the reason travels beside the
// result. One text a thread, so streams opened on other threads never see
// each other's reasons. The text lives in a plain character array: a
// thread_local object with a destructor would make the C library keep the
// encoder loaded after its last dlclose, and an unload must remove the
// temporary files of streams left open.
#include <string>

namespace encoders {

// Sets the reason (UTF-8). Never throws: a reason that cannot be stored is
// dropped.
void setLastError(const std::string& reason) noexcept;
void clearLastError() noexcept;
// The reason, cut to the buffer's 1 KiB.
const char* lastError() noexcept;

}  // namespace encoders
