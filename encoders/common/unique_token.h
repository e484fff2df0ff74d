#pragma once
#include <cstdint>

namespace encoders {

// A 64-bit value distinct for every call in this process (any thread) and
// unlikely to repeat across processes: temporary file names, Ogg serials.
std::uint64_t uniqueToken();

}  // namespace encoders
