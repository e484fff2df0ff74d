#include "encoders/common/stream_table.h"

namespace encoders {

std::uint32_t StreamTable::add(std::unique_ptr<EncoderStream> stream) {
  auto slot = std::make_shared<StreamSlot>();
  slot->stream = std::move(stream);
  std::lock_guard<std::mutex> lock(mutex_);
  if (slots_.size() >= kMaxOpenStreams) return 0;
  // Handles are not reused soon after a close, so a caller holding a stale
  // one is refused rather than handed someone else's stream. After 2^32
  // opens the counter wraps and skips 0 and handles still in use.
  while (next_ == 0 || slots_.count(next_) != 0) ++next_;
  const std::uint32_t handle = next_++;
  slots_.emplace(handle, std::move(slot));
  return handle;
}

std::shared_ptr<StreamSlot> StreamTable::find(std::uint32_t handle) const {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto it = slots_.find(handle);
  return it == slots_.end() ? nullptr : it->second;
}

std::shared_ptr<StreamSlot> StreamTable::take(std::uint32_t handle) {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto it = slots_.find(handle);
  if (it == slots_.end()) return nullptr;
  std::shared_ptr<StreamSlot> slot = std::move(it->second);
  slots_.erase(it);
  return slot;
}

StreamTable& streamTable() {
  static StreamTable table;
  return table;
}

}  // namespace encoders
