#include "sg_driver.h"

#include <scsi/sg.h>

#include <algorithm>
#include <cerrno>

namespace emulated_drive {

bool SgDriver::ioctl(unsigned long request, void* argument, long& result) {
  auto* value = static_cast<int*>(argument);
  result = 0;
  switch (request) {
    case SG_GET_VERSION_NUM:
      *value = 30527;  // the version the block layer reports
      return true;
    case SG_EMULATED_HOST:
      *value = 0;  // a real host adapter, no emulated one
      return true;
    case SG_GET_RESERVED_SIZE:
      *value = reservedBytes_;
      return true;
    case SG_SET_RESERVED_SIZE:
      if (*value < 0) {
        result = -EINVAL;
        return true;
      }
      reservedBytes_ = std::min(*value, kMaxTransferBytes);
      return true;
    case SG_GET_TIMEOUT:  // the value is the result, not written through the argument
      result = timeoutTicks_;
      return true;
    case SG_SET_TIMEOUT:
      if (*value < 0) {
        result = -EIO;
        return true;
      }
      timeoutTicks_ = *value;
      return true;
    case SG_GET_SG_TABLESIZE:  // the sg driver's alone; the block layer refuses it
    case SG_GET_SCSI_ID:
      result = -ENOTTY;
      return true;
    default:
      return false;
  }
}

}  // namespace emulated_drive
