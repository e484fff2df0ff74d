#pragma once
// MODE SENSE and MODE SELECT, (6) and (10), as a current read-only CD/DVD
// drive answers them: the read error recovery page (01h), the CD device
// parameters page (0Dh), the CD audio control page (0Eh) and the
// capabilities and mechanical status page (2Ah, what MMC clients check for
// CD-DA reading), alone or all together
// (3Fh); any other page is an invalid field. MODE SENSE (6) gives a block
// descriptor unless the cdb disables them (older SCSI clients set and read
// the block length there); MODE SENSE (10) gives none, as MMC drives do.
#include <cstddef>
#include <cstdint>

#include "drive_model.h"
#include "mode_settings.h"

namespace emulated_drive {

// What page 2Ah reports of the drive's present state.
struct MechanismState {
  bool locked = false;
  std::uint32_t speedKbs = 0;  // 0: the drive's top speed
};

// The fastest the emulated drive claims to read (48x CD).
constexpr std::uint32_t kMaxReadKbs = 48 * 176;

// The reply to the MODE SENSE cdb, at most `room` bytes into data.
Answer modeSense(const std::uint8_t* cdb, std::size_t cdbLength, std::uint8_t* data, std::size_t room,
                 const MechanismState& state, const ModeSettings& settings);

// MODE SELECT with its parameter list (`sent` bytes at `list`): a block
// descriptor sets the density code and block length (2048, 2336, 2340 or
// 2352); the drive's pages are taken and left as they are, since none of
// their fields is changeable.
Answer modeSelect(const std::uint8_t* cdb, std::size_t cdbLength, const std::uint8_t* list,
                  std::size_t sent, ModeSettings& settings);

}  // namespace emulated_drive
