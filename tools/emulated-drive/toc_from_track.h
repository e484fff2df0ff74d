#pragma once
// READ TOC format 0 from a starting track (cdb byte 6), as drives answer it:
// the descriptors of that track and later ones and the lead-out's (AAh asks
// for the lead-out alone). Clients ask one track at a time this way.
#include <cstddef>
#include <cstdint>

namespace emulated_drive {

// Cuts a whole format 0 reply (`length` bytes at reply) to the descriptors
// from track `first` on and sets its data length; the new length, or 0
// when no track is that late (an invalid field).
std::size_t keepFromTrack(std::uint8_t* reply, std::size_t length, std::uint8_t first);

}  // namespace emulated_drive
