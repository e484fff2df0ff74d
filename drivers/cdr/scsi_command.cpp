#include "drivers/cdr/scsi_command.h"

#include <fcntl.h>
#include <scsi/sg.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>

namespace cdr {

// Read-write where the user may: the kernel lets PREVENT ALLOW MEDIUM
// REMOVAL through SG_IO only on a device opened for writing (non-blocking,
// so no medium is needed for it). Read-only otherwise, for the rest.
ScsiDevice::ScsiDevice(const std::string& path)
    : fd_(::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC)) {
  if (fd_ < 0) fd_ = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
}

ScsiDevice::~ScsiDevice() {
  if (fd_ >= 0) ::close(fd_);
}

ScsiResult ScsiDevice::run(const std::uint8_t* cdb, std::size_t cdbLength, void* data,
                           std::size_t bytes, unsigned timeoutMs) const {
  ScsiResult result;
  if (fd_ < 0 || cdbLength < 6 || cdbLength > 16 || bytes > 0x7fffffff) return result;
  std::uint8_t command[16] = {};
  std::copy(cdb, cdb + cdbLength, command);
  std::uint8_t senseBytes[32] = {};
  sg_io_hdr_t io{};
  io.interface_id = 'S';
  io.dxfer_direction = bytes > 0 ? SG_DXFER_FROM_DEV : SG_DXFER_NONE;
  io.cmd_len = static_cast<unsigned char>(cdbLength);
  io.cmdp = command;
  io.dxferp = data;
  io.dxfer_len = static_cast<unsigned>(bytes);
  io.mx_sb_len = sizeof senseBytes;
  io.sbp = senseBytes;
  io.timeout = timeoutMs;
  if (::ioctl(fd_, SG_IO, &io) != 0) return result;  // device gone, or no SCSI device
  // A time-out, a reset or a lost connection: no answer from the drive.
  if (io.host_status != 0) return result;
  result.answered = true;
  if (io.status == 0 && (io.driver_status & 0x0f) == 0) {
    result.good = true;
    return result;
  }
  result.sense = senseFromBytes(senseBytes, std::min<int>(io.sb_len_wr, sizeof senseBytes));
  return result;
}

}  // namespace cdr
