#include "rondel/rip/drive_buffer.h"

#include <utility>

#include "rondel/drive/drive_library.h"

namespace rondel {

bool DriveBuffer::allocate(std::uint32_t device, std::uint32_t bytes) {
  reset();
  const CdrFunctions& f = cdr();
  if (f.CD_AllocateBuffer == nullptr || f.CD_FreeBuffer == nullptr || bytes == 0) return false;
  void* data = nullptr;
  CdBufferHandle handle = nullptr;
  if (f.CD_AllocateBuffer(device, bytes, &data, &handle) != 0) return false;
  if (data == nullptr) {
    // A library that answers success without a buffer still gets its handle back.
    f.CD_FreeBuffer(handle);
    return false;
  }
  data_ = static_cast<std::uint8_t*>(data);
  handle_ = handle;
  size_ = bytes;
  return true;
}

void DriveBuffer::reset() {
  if (data_ == nullptr) return;
  const CdrFunctions& f = cdr();
  if (f.CD_FreeBuffer != nullptr) f.CD_FreeBuffer(handle_);
  data_ = nullptr;
  handle_ = nullptr;
  size_ = 0;
}

void DriveBuffer::swap(DriveBuffer& other) noexcept {
  std::swap(data_, other.data_);
  std::swap(handle_, other.handle_);
  std::swap(size_, other.size_);
}

}  // namespace rondel
