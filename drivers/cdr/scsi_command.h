#pragma once
// MMC commands sent to a device node with the SG_IO ioctl, each with its own
// time-out. libcdio's Linux driver sends its MMC commands through
// CDROM_SEND_PACKET without passing the caller's time-out on, so the
// kernel's default (tens of seconds) would bound a drive that hangs; the
// commands the window's poll and the reader depend on go this way instead.
#include <cstddef>
#include <cstdint>
#include <string>

#include "drivers/cdr/device_status.h"

namespace cdr {

struct ScsiResult {
  bool good = false;      // the command completed with GOOD status
  bool answered = false;  // the drive answered at all (false: time-out, gone)
  Sense sense;            // with a CHECK CONDITION, what the drive said
};

// An open device node (non-blocking; read-write when allowed, else
// read-only), closed with the object.
class ScsiDevice {
 public:
  explicit ScsiDevice(const std::string& path);
  ~ScsiDevice();
  ScsiDevice(const ScsiDevice&) = delete;
  ScsiDevice& operator=(const ScsiDevice&) = delete;
  bool isOpen() const { return fd_ >= 0; }

  // cdb of cdbLength (6..16) bytes; data of `bytes` bytes read from the
  // drive (null and 0 for none).
  ScsiResult run(const std::uint8_t* cdb, std::size_t cdbLength, void* data, std::size_t bytes,
                 unsigned timeoutMs) const;

 private:
  int fd_ = -1;
};

}  // namespace cdr
