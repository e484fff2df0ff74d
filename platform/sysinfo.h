#pragma once
// The system-family query the drive loader uses to decide on its second
// attempt. This platform answers "NT family" (2): it offers the device-level
// access that the second access mode stands for. QOM_PLATFORM_ID in the
// environment overrides the answer (tests use 1 for the other family).
#include <optional>

namespace platform {

constexpr int kPlatformWin32Windows = 1;  // VER_PLATFORM_WIN32_WINDOWS
constexpr int kPlatformWin32Nt = 2;       // VER_PLATFORM_WIN32_NT

int systemPlatformId();
// In-process override for unit tests; nullopt restores the normal answer.
void setSystemPlatformIdForTesting(std::optional<int> id);

}  // namespace platform
