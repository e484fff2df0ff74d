#pragma once
// Read buffers handed out by CD_AllocateBuffer. Handles are table keys, never
// addresses, so a stale or made-up handle is refused instead of freed.
#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>

#include "sdk/cdr_api.h"

namespace cdr {

constexpr std::size_t kMaxBufferBytes = std::size_t{64} << 20;
// Enough for any reader; stops a runaway caller from draining memory.
constexpr std::size_t kMaxLiveBuffers = 1024;

class BufferTable {
 public:
  BufferTable() = default;
  ~BufferTable();
  BufferTable(const BufferTable&) = delete;
  BufferTable& operator=(const BufferTable&) = delete;

  // Zeroed memory of bytes (1..kMaxBufferBytes), page-aligned.
  std::int32_t allocate(std::size_t bytes, void** data, CdBufferHandle* handle);
  std::int32_t release(CdBufferHandle handle);

  // Whether bytes may be written at p. A span starting inside a buffer of
  // this table must end inside it; memory of the caller's own is taken on
  // trust, as its size cannot be known here.
  bool spanFits(const void* p, std::size_t bytes) const;

 private:
  struct Block {
    std::uintptr_t handle;
    std::size_t bytes;
  };
  mutable std::mutex mutex_;
  std::uintptr_t nextHandle_ = 1;
  std::map<std::uintptr_t, std::uintptr_t> addressOf_;  // handle -> address
  std::map<std::uintptr_t, Block> blocks_;              // address -> block
};

BufferTable& buffers();

}  // namespace cdr
