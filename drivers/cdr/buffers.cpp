#include "drivers/cdr/buffers.h"

#include <cstring>
#include <new>

#include "drivers/cdr/drive.h"

namespace cdr {
namespace {

constexpr std::align_val_t kAlignment{4096};

void freeBlock(std::uintptr_t address) {
  ::operator delete(reinterpret_cast<void*>(address), kAlignment);
}

}  // namespace

BufferTable::~BufferTable() {
  for (const auto& [address, block] : blocks_) freeBlock(address);
}

std::int32_t BufferTable::allocate(std::size_t bytes, void** data, CdBufferHandle* handle) {
  if (!data || !handle || bytes == 0 || bytes > kMaxBufferBytes) return kBadArgument;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (blocks_.size() >= kMaxLiveBuffers) return kNoMemory;
  }
  void* p = ::operator new(bytes, kAlignment, std::nothrow);
  if (!p) return kNoMemory;
  std::memset(p, 0, bytes);
  const auto address = reinterpret_cast<std::uintptr_t>(p);

  std::lock_guard<std::mutex> lock(mutex_);
  if (blocks_.size() >= kMaxLiveBuffers) {
    freeBlock(address);
    return kNoMemory;
  }
  const std::uintptr_t id = nextHandle_++;
  try {
    addressOf_.emplace(id, address);
    blocks_.emplace(address, Block{id, bytes});
  } catch (...) {
    addressOf_.erase(id);
    freeBlock(address);
    throw;
  }
  *data = p;
  *handle = reinterpret_cast<CdBufferHandle>(id);
  return kOk;
}

std::int32_t BufferTable::release(CdBufferHandle handle) {
  const auto id = reinterpret_cast<std::uintptr_t>(handle);
  std::lock_guard<std::mutex> lock(mutex_);
  const auto it = addressOf_.find(id);
  if (it == addressOf_.end()) return kBadArgument;
  const std::uintptr_t address = it->second;
  addressOf_.erase(it);
  blocks_.erase(address);
  freeBlock(address);
  return kOk;
}

bool BufferTable::spanFits(const void* p, std::size_t bytes) const {
  const auto address = reinterpret_cast<std::uintptr_t>(p);
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = blocks_.upper_bound(address);  // first block starting after p
  if (it == blocks_.begin()) return true;
  --it;
  const std::size_t offset = address - it->first;
  if (offset >= it->second.bytes) return true;  // past that block: not ours
  return bytes <= it->second.bytes - offset;
}

BufferTable& buffers() {
  static BufferTable table;
  return table;
}

}  // namespace cdr
