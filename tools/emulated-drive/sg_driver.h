#pragma once
// The SCSI generic ioctls the kernel's block layer answers itself for a
// CD-ROM device (/dev/srN): version, reserved buffer size, time-out and
// whether the host is emulated; the sg driver's own ioctls (table size,
// SCSI id) are refused as the block layer refuses them. Like the kernel,
// they reach no drive, so a hung drive answers them at once. One set of values per device (the
// kernel keeps them on the device's queue, not per descriptor). Used under
// the emulation's lock.
namespace emulated_drive {

class SgDriver {
 public:
  // Answers `request` when it is one of these ioctls: true, with the
  // result (>= 0) or -errno in `result`; false for any other request.
  bool ioctl(unsigned long request, void* argument, long& result);

 private:
  int reservedBytes_ = kMaxTransferBytes;
  int timeoutTicks_ = 0;  // clock ticks; 0: the kernel's default for SG_IO

 public:
  // The largest transfer the emulated host adapter takes in one command.
  static constexpr int kMaxTransferBytes = 128 * 1024;
};

}  // namespace emulated_drive
