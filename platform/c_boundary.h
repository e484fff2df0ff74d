#pragma once
// The C entry points of the drive and encoder libraries answer result codes;
// no exception may cross them.
#include <cstdint>
#include <new>

namespace platform {

// Runs f and answers its result; an exception becomes `noMemory` (for
// std::bad_alloc) or `internal`.
template <class F>
std::int32_t guardedCall(F&& f, std::int32_t noMemory, std::int32_t internal) noexcept {
  try {
    return f();
  } catch (const std::bad_alloc&) {
    return noMemory;
  } catch (...) {
    return internal;
  }
}

}  // namespace platform
