#pragma once
// READ SUB-CHANNEL: the Q sub-channel's current position, the disc's media
// catalogue number and a track's ISRC, the codes taken from the CUE sheet's
// CATALOG and ISRC lines.
#include <cstddef>
#include <cstdint>

#include "disc_codes.h"
#include "disc_image.h"
#include "drive_model.h"

namespace emulated_drive {

// The Q sub-channel at a sector, as the drive reports where its head is.
struct QPosition {
  std::uint8_t control = 0, track = 1, index = 1;
  std::uint32_t absolute = 0;  // LBA
  std::int32_t relative = 0;   // sectors from the track's INDEX 01
};
QPosition positionAt(const DiscImage& disc, std::uint32_t lba);

// The reply to the READ SUB-CHANNEL cdb, at most `room` bytes, for a drive
// whose head is at `head`, with the audio status given (13h a play just
// completed, 15h nothing to say).
Answer readSubChannel(const std::uint8_t* cdb, std::size_t cdbLength, const DiscImage& disc,
                      const DiscCodes& codes, std::uint32_t head, std::uint8_t audioStatus,
                      std::uint8_t* data, std::size_t room);

}  // namespace emulated_drive
