// The C entry points of cdr.dll. Each one checks what the caller passed,
// finds the drive and forwards to it under the drive's mutex; no exception
// ever leaves through them.
#include <chrono>
#include <new>
#include <thread>

#include "drivers/cdr/buffers.h"
#include "drivers/cdr/drive.h"
#include "drivers/cdr/registry.h"
#include "platform/c_boundary.h"
#include "sdk/cdr_api.h"

#define CDR_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

using namespace cdr;

// The most sectors one read may ask for: what the largest buffer holds.
constexpr std::uint32_t kMaxReadSectors = kMaxBufferBytes / kCdSectorBytes;

template <class F>
std::int32_t guarded(F&& f) noexcept {
  return platform::guardedCall(std::forward<F>(f), kNoMemory, kInternal);
}

// Runs f(drive) on a device of the current set under its mutex.
template <class F>
std::int32_t onDrive(std::uint32_t device, F&& f) noexcept {
  return guarded([&] {
    DriveSlot* slot = registry().slot(device);
    return slot ? slot->call(f) : kBadDevice;
  });
}

}  // namespace

CDR_EXPORT std::int32_t CD_Initialize2(std::uint32_t accessMode, std::uint32_t /*flags*/) {
  return guarded([&] { return registry().initialize(accessMode); });
}

CDR_EXPORT std::int32_t CD_GetDeviceCount(std::uint32_t* count) {
  return guarded([&] {
    if (!count) return kBadArgument;
    const DriveSet* set = registry().current();
    *count = set ? static_cast<std::uint32_t>(set->slots.size()) : 0;
    return set ? kOk : kBadDevice;
  });
}

CDR_EXPORT std::int32_t CD_GetDevices(CdDeviceRecord*** devices) {
  return guarded([&] {
    if (!devices) return kBadArgument;
    const DriveSet* set = registry().current();
    if (!set) return kBadDevice;
    // The component does not write through these; the array lives with the set.
    *devices = const_cast<CdDeviceRecord**>(set->pointers.data());
    return kOk;
  });
}

CDR_EXPORT std::int32_t CD_TestUnitReady(std::uint32_t device) {
  return onDrive(device, [](Drive& d) { return d.testUnitReady(); });
}

CDR_EXPORT std::int32_t CD_ReadTOC(std::uint32_t device, CdToc* toc) {
  if (!toc) return kBadArgument;
  return onDrive(device, [&](Drive& d) { return d.readToc(*toc); });
}

CDR_EXPORT std::int32_t CD_Eject(std::uint32_t device) {
  return onDrive(device, [](Drive& d) { return d.eject(); });
}

CDR_EXPORT std::int32_t CD_Load(std::uint32_t device) {
  return onDrive(device, [](Drive& d) { return d.load(); });
}

CDR_EXPORT std::int32_t CD_Lock(std::uint32_t device) {
  return onDrive(device, [](Drive& d) { return d.lock(); });
}

CDR_EXPORT std::int32_t CD_Unlock(std::uint32_t device) {
  return onDrive(device, [](Drive& d) { return d.unlock(); });
}

CDR_EXPORT std::int32_t CD_GetMaxBuffer(std::uint32_t device, std::uint32_t* bytes) {
  if (!bytes) return kBadArgument;
  return onDrive(device, [&](Drive& d) {
    *bytes = d.maxTransferBytes();
    return kOk;
  });
}

CDR_EXPORT std::int32_t CD_AllocateBuffer(std::uint32_t device, std::uint32_t bytes, void** buffer,
                                          CdBufferHandle* handle) {
  return guarded([&] {
    if (!registry().slot(device)) return kBadDevice;
    return buffers().allocate(bytes, buffer, handle);
  });
}

CDR_EXPORT std::int32_t CD_FreeBuffer(CdBufferHandle handle) {
  return guarded([&] { return buffers().release(handle); });
}

CDR_EXPORT std::int32_t CD_ReadCDDA(std::uint32_t device, std::uint32_t firstSector,
                                    std::uint32_t count, void* buffer, std::uint32_t /*flags*/) {
  if (!buffer || count == 0 || count > kMaxReadSectors) return kBadArgument;
  return guarded([&] {
    if (!buffers().spanFits(buffer, std::size_t{count} * kCdSectorBytes)) return kBadArgument;
    std::chrono::steady_clock::time_point doneAt{};
    const std::int32_t rc = onDrive(device, [&](Drive& d) {
      const std::int32_t result = d.readCdda(firstSector, count, buffer);
      doneAt = d.readDoneAt();
      return result;
    });
    // A speed-limited drive keeps its caller here, after the drive's mutex
    // is released: the window thread's polls go on meanwhile.
    std::this_thread::sleep_until(doneAt);
    return rc;
  });
}

CDR_EXPORT std::int32_t CD_SetSpeed(std::uint32_t device, std::uint32_t speed) {
  return onDrive(device, [&](Drive& d) { return d.setSpeed(speed); });
}

CDR_EXPORT std::int32_t CD_GetSpeed(std::uint32_t device, std::uint32_t* speed) {
  if (!speed) return kBadArgument;
  return onDrive(device, [&](Drive& d) { return d.getSpeed(*speed); });
}

CDR_EXPORT std::int32_t CD_PrepareCDDA(std::uint32_t device) {
  return onDrive(device, [](Drive& d) { return d.prepare(); });
}

CDR_EXPORT std::int32_t CD_ReadCDText(std::uint32_t device, void* buffer, std::uint32_t* bytes) {
  if (!bytes || (!buffer && *bytes > 0)) return kBadArgument;
  return onDrive(device, [&](Drive& d) { return d.readCdText(buffer, *bytes); });
}

CDR_EXPORT std::int32_t CD_LockVolume(std::uint32_t device) {
  return onDrive(device, [](Drive& d) { return d.lockVolume(); });
}

CDR_EXPORT std::int32_t CD_UnlockVolume(std::uint32_t device) {
  return onDrive(device, [](Drive& d) { return d.unlockVolume(); });
}
