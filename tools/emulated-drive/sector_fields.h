#pragma once
// The parts of each sector a READ CD asks for (its cdb bytes 9 and 10):
// for an audio sector the 2352 bytes of samples whenever any main-channel
// field is asked; for a data sector (mode 1) the sync, header, user data
// and EDC/ECC fields asked, in that order; then the C2 error pointers
// (zeros: the emulated disc has no errors). Sub-channel data is not read
// (page 2Ah says so), and asking for it is an invalid field.
#include <cstddef>
#include <cstdint>

namespace emulated_drive {

struct SectorFields {
  bool sync = false, header = false, userData = false, edcEcc = false;
  std::size_t c2Bytes = 0;  // 0, 294 (pointers) or 296 (pointers with block error byte)
};

// The fields of cdb bytes 9 and 10; false when they ask for what the drive
// cannot give.
bool fieldsAsked(std::uint8_t mainChannel, std::uint8_t subChannel, SectorFields& fields);

// How many bytes one sector gives.
std::size_t sectorBytes(const SectorFields& fields, bool dataSector);

// The asked parts of one raw 2352-byte sector into out (sectorBytes long).
void copyFields(const std::uint8_t* raw, bool dataSector, const SectorFields& fields, std::uint8_t* out);

}  // namespace emulated_drive
