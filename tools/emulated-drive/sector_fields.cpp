#include "sector_fields.h"

#include <cstring>

namespace emulated_drive {
namespace {

constexpr std::size_t kRaw = 2352;

bool anyMain(const SectorFields& f) { return f.sync || f.header || f.userData || f.edcEcc; }

}  // namespace

bool fieldsAsked(std::uint8_t mainChannel, std::uint8_t subChannel, SectorFields& fields) {
  fields = SectorFields{};
  fields.sync = (mainChannel & 0x80) != 0;
  fields.header = (mainChannel & 0x60) != 0;  // header and sub-header codes; mode 1 has only the header
  fields.userData = (mainChannel & 0x10) != 0;
  fields.edcEcc = (mainChannel & 0x08) != 0;
  switch ((mainChannel >> 1) & 0x03) {
    case 0: break;
    case 1: fields.c2Bytes = 294; break;
    case 2: fields.c2Bytes = 296; break;
    default: return false;  // reserved
  }
  return (subChannel & 0x07) == 0;
}

std::size_t sectorBytes(const SectorFields& f, bool dataSector) {
  std::size_t main = 0;
  if (!dataSector) {
    main = anyMain(f) ? kRaw : 0;
  } else {
    main = (f.sync ? 12 : 0) + (f.header ? 4 : 0) + (f.userData ? 2048 : 0) + (f.edcEcc ? 288 : 0);
  }
  return main + f.c2Bytes;
}

void copyFields(const std::uint8_t* raw, bool dataSector, const SectorFields& f, std::uint8_t* out) {
  std::size_t at = 0;
  const auto take = [&](std::size_t from, std::size_t length) {
    std::memcpy(out + at, raw + from, length);
    at += length;
  };
  if (!dataSector) {
    if (anyMain(f)) take(0, kRaw);
  } else {
    if (f.sync) take(0, 12);
    if (f.header) take(12, 4);
    if (f.userData) take(16, 2048);
    if (f.edcEcc) take(2064, 288);
  }
  std::memset(out + at, 0, f.c2Bytes);
}

}  // namespace emulated_drive
