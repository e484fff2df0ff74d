#pragma once
// A buffer from the drive library (CD_AllocateBuffer), given back through
// CD_FreeBuffer when it goes. CD_ReadCDDA wants its buffers from there.
//
// Threads: owned by one thread at a time (the reader while it runs, the rip
// worker otherwise); the drive library accepts the calls from any thread.
#include <cstdint>

#include "sdk/cdr_api.h"

namespace rondel {
class CdDrive;
}

namespace rondel {

class DriveBuffer {
 public:
  DriveBuffer() = default;
  ~DriveBuffer() { reset(); }
  DriveBuffer(DriveBuffer&& other) noexcept { swap(other); }
  DriveBuffer& operator=(DriveBuffer&& other) noexcept {
    if (this != &other) {
      reset();
      swap(other);
    }
    return *this;
  }
  DriveBuffer(const DriveBuffer&) = delete;
  DriveBuffer& operator=(const DriveBuffer&) = delete;

  // Allocates `bytes` bytes for `drive`, giving back what was held first.
  // False (and empty) when the library is not loaded or refuses. The drive
  // outlives the buffer: drives stay for the component's life.
  bool allocate(const CdDrive& drive, std::uint32_t bytes);
  void reset();

  std::uint8_t* data() const { return data_; }
  std::uint32_t size() const { return size_; }
  bool empty() const { return data_ == nullptr; }

 private:
  void swap(DriveBuffer& other) noexcept;

  const CdDrive* drive_ = nullptr;  // set while a buffer is held
  std::uint8_t* data_ = nullptr;
  CdBufferHandle handle_ = nullptr;
  std::uint32_t size_ = 0;
};

}  // namespace rondel
