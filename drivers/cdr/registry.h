#pragma once
// The drives on offer. CD_Initialize2 builds a new set from the
// configuration each time it is called; a set, once built, is never changed
// or freed while the library stays loaded, so device records and drive slots
// handed out stay valid for threads still holding them. Re-initialising
// retires the previous set's drives: calls that still reach them fail
// cleanly (kBadDevice) instead of touching freed memory.
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "drivers/cdr/drive.h"

namespace cdr {

// One drive and the mutex that serialises the calls made on it.
class DriveSlot {
 public:
  explicit DriveSlot(std::unique_ptr<Drive> drive) : drive_(std::move(drive)) {}

  template <class F>
  std::int32_t call(F&& f) {
    std::lock_guard<std::mutex> lock(mutex_);
    return drive_ ? f(*drive_) : kBadDevice;
  }
  // Releases the drive (its files, its device) once no call is running on it.
  void retire();

 private:
  std::mutex mutex_;
  std::unique_ptr<Drive> drive_;
};

struct DriveSet {
  std::vector<std::unique_ptr<DriveSlot>> slots;
  std::unique_ptr<CdDeviceRecord[]> records;
  std::vector<CdDeviceRecord*> pointers;  // one per drive, then a null
};

class Registry {
 public:
  // Offers the drives of accessMode: those CDR_CONFIG names, or without it
  // every real drive found (README.md, "Access modes"). Problems go to
  // stderr, one line each. Nonzero only for an unknown access mode.
  std::int32_t initialize(std::uint32_t accessMode);
  // The current set, or null before the first CD_Initialize2.
  const DriveSet* current() const { return current_.load(std::memory_order_acquire); }
  // The slot of a device index of the current set, or null.
  DriveSlot* slot(std::uint32_t device) const;

 private:
  std::mutex initMutex_;
  std::vector<std::unique_ptr<DriveSet>> sets_;  // every set ever built
  std::atomic<DriveSet*> current_{nullptr};
};

Registry& registry();

}  // namespace cdr
