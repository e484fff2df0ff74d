#pragma once
// What MODE SELECT may set on the emulated drive: the block descriptor's
// density code and block length, which MODE SENSE (6) reports back. The
// reads do not depend on them: READ CD names its own sector layout.
#include <cstdint>

namespace emulated_drive {

struct ModeSettings {
  std::uint8_t density = 0;
  std::uint32_t blockLength = 2048;
};

}  // namespace emulated_drive
