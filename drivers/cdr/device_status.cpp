#include "drivers/cdr/device_status.h"

#include "drivers/cdr/drive.h"
#include "platform/ascii.h"

namespace cdr {
namespace {

constexpr std::uint8_t kKeyNotReady = 0x02;
constexpr std::uint8_t kKeyUnitAttention = 0x06;
constexpr std::uint8_t kAscNotReady = 0x04;
constexpr std::uint8_t kAscqBecomingReady = 0x01;
constexpr std::uint8_t kAscqOperationInProgress = 0x07;
constexpr std::uint8_t kAscNoMedium = 0x3A;
constexpr std::uint8_t kAscNotSelfConfigured = 0x3E;

}  // namespace

Sense senseFromBytes(const std::uint8_t* bytes, int count) {
  Sense sense;
  if (!bytes || count < 4) return sense;
  const std::uint8_t response = bytes[0] & 0x7f;
  if (response == 0x70 || response == 0x71) {
    sense.present = true;
    sense.key = bytes[2] & 0x0f;
    if (count >= 14) {
      sense.asc = bytes[12];
      sense.ascq = bytes[13];
    }
  } else if (response == 0x72 || response == 0x73) {
    sense.present = true;
    sense.key = bytes[1] & 0x0f;
    sense.asc = bytes[2];
    sense.ascq = bytes[3];
  }
  return sense;
}

std::int32_t readinessFromDrive(bool unitReady, const Sense& sense, Tray tray) {
  if (unitReady) return kCdReady;
  if (sense.present) {
    if (sense.key == kKeyNotReady) {
      if (sense.asc == kAscNoMedium) return kCdNoDisc;
      if (sense.asc == kAscNotReady &&
          (sense.ascq == kAscqBecomingReady || sense.ascq == kAscqOperationInProgress))
        return kCdBecomingReady;
      if (sense.asc == kAscNotSelfConfigured) return kCdBecomingReady;
    }
    if (sense.key == kKeyUnitAttention) return kCdBecomingReady;
  }
  if (tray == Tray::kOpen) return kCdNoDisc;
  return kNotReady;
}

std::string vendorAndModel(std::string_view vendor, std::string_view model) {
  std::string name = platform::inquiryField(vendor);
  const std::string m = platform::inquiryField(model);
  if (!m.empty()) name += (name.empty() ? "" : " ") + m;
  return name;
}

std::string deviceDisplayName(std::string_view vendor, std::string_view model,
                              std::string_view path) {
  const std::string name = vendorAndModel(vendor, model);
  if (name.empty()) return std::string(path);
  return name + " (" + std::string(path) + ")";
}

}  // namespace cdr
