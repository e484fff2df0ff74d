#pragma once
// The open streams of one encoder library, addressed by 32-bit handles that
// the library hands out: table keys, never addresses, so a stale or made-up
// handle is refused instead of followed. 0 is never a handle.
//
// Any thread may call. The table's own mutex guards the map and the handle
// counter and is held only for look-ups; each slot's mutex guards its stream
// while it encodes, so streams on different threads run in parallel.
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>

#include "encoders/common/encoder_stream.h"

namespace encoders {

// Enough for any caller (the component keeps one stream open); stops a
// runaway caller from filling the disk with temporary files.
constexpr std::size_t kMaxOpenStreams = 64;

struct StreamSlot {
  std::mutex mutex;
  std::unique_ptr<EncoderStream> stream;  // guarded by mutex; null once closed
  bool failed = false;  // guarded by mutex; a compress was refused or failed
};

class StreamTable {
 public:
  StreamTable() = default;
  // Streams still open (leaked by the caller, or the library unloaded in the
  // middle of a rip) are abandoned: their temporary files are removed.
  ~StreamTable() = default;
  StreamTable(const StreamTable&) = delete;
  StreamTable& operator=(const StreamTable&) = delete;

  // The new stream's handle, or 0 when the table is full.
  std::uint32_t add(std::unique_ptr<EncoderStream> stream);
  // The slot of an open stream, or null. The caller locks the slot and must
  // check that its stream is still there (a close may have run meanwhile).
  std::shared_ptr<StreamSlot> find(std::uint32_t handle) const;
  // As find(), and the handle is gone from the table afterwards.
  std::shared_ptr<StreamSlot> take(std::uint32_t handle);

 private:
  mutable std::mutex mutex_;
  std::uint32_t next_ = 1;                                       // guarded by mutex_
  std::map<std::uint32_t, std::shared_ptr<StreamSlot>> slots_;  // guarded by mutex_
};

// This library's table (each encoder library has its own copy).
StreamTable& streamTable();

}  // namespace encoders
