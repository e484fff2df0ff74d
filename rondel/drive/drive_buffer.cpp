#include "rondel/drive/drive_buffer.h"

#include <utility>

#include "rondel/drive/cd_drive.h"

namespace rondel {

bool DriveBuffer::allocate(const CdDrive& drive, std::uint32_t bytes) {
  reset();
  if (bytes == 0) return false;
  void* data = nullptr;
  CdBufferHandle handle = nullptr;
  if (!drive.allocateBuffer(bytes, &data, &handle)) return false;
  if (data == nullptr) {
    // A library that answers success without a buffer still gets its handle back.
    drive.freeBuffer(handle);
    return false;
  }
  drive_ = &drive;
  data_ = static_cast<std::uint8_t*>(data);
  handle_ = handle;
  size_ = bytes;
  return true;
}

void DriveBuffer::reset() {
  if (data_ == nullptr) return;
  drive_->freeBuffer(handle_);
  drive_ = nullptr;
  data_ = nullptr;
  handle_ = nullptr;
  size_ = 0;
}

void DriveBuffer::swap(DriveBuffer& other) noexcept {
  std::swap(drive_, other.drive_);
  std::swap(data_, other.data_);
  std::swap(handle_, other.handle_);
  std::swap(size_, other.size_);
}

}  // namespace rondel
