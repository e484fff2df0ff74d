// A stand-in drive library for the loader tests, built once per variant as
// build/bin/testdrives/<variant>/cdr.dll. The knobs below (compile
// definitions) turn it into a library with one particular fault:
//
//   FAKE_CDR_RECORDS=n          device records it owns (default 3: "Fake A"...)
//   FAKE_CDR_DEVICE_COUNT=n     what CD_GetDeviceCount reports (default: the records)
//   FAKE_CDR_OMIT_SET_SPEED     CD_SetSpeed is not exported
//   FAKE_CDR_REFUSE_MODE0       CD_Initialize2 refuses access mode 0
//   FAKE_CDR_GET_DEVICES_FAILS  CD_GetDevices answers nonzero
//   FAKE_CDR_LONG_NAME          record 0's name fills its whole field, no NUL
//   FAKE_CDR_BAD_TOCS           CD_ReadTOC serves the track-number table below
//
// Device i owns record i. CD_ReadTOC and CD_TestUnitReady reveal which device
// index they were given: the table of contents of device i ends at track i + 1
// (lead-out at sector 10000 * (i + 1)), and FakeCdr_LastDevice() answers the
// index of the latest call. FakeCdr_InitializeCalls(mode) counts the calls of
// CD_Initialize2 per access mode since this copy of the library was loaded.
#include <cstring>

#include "sdk/cdr_api.h"

#ifndef FAKE_CDR_RECORDS
#define FAKE_CDR_RECORDS 3
#endif
#ifndef FAKE_CDR_DEVICE_COUNT
#define FAKE_CDR_DEVICE_COUNT FAKE_CDR_RECORDS
#endif

#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

// Exactly as many records and pointers as the library owns, so a loader
// that believes a larger count reads past them (AddressSanitizer sees it).
CdDeviceRecord g_records[FAKE_CDR_RECORDS];
CdDeviceRecord* g_recordList[FAKE_CDR_RECORDS];
bool g_recordsBuilt = false;

std::uint32_t g_initializeCalls[3];  // mode 0, mode 1, any other mode
std::int32_t g_lastDevice = -1;

void buildRecords() {
  if (g_recordsBuilt) return;
  g_recordsBuilt = true;
  for (int i = 0; i < FAKE_CDR_RECORDS; ++i) {
    std::memset(&g_records[i], 0, sizeof g_records[i]);
    g_records[i].id = 0xA0u + static_cast<std::uint32_t>(i);
    std::memcpy(g_records[i].name, "Fake ", 5);
    g_records[i].name[5] = static_cast<char>('A' + i);
    g_recordList[i] = &g_records[i];
  }
#ifdef FAKE_CDR_LONG_NAME
  std::memset(g_records[0].name, 'N', sizeof g_records[0].name);
#endif
}

bool knownDevice(std::uint32_t device) { return device < FAKE_CDR_RECORDS; }

#ifdef FAKE_CDR_BAD_TOCS
// Per device: the track numbers reported and how the call answers.
enum TocAction { kWrite, kSucceedWithoutWriting, kWriteAndFail };
struct TocCase {
  std::uint32_t first, last;
  TocAction action;
};
const TocCase kTocCases[] = {
    {0, 5, kWrite},                  // 0: no track 0
    {1, 100, kWrite},                // 1: past track 99
    {7, 3, kWrite},                  // 2: reversed
    {99, 99, kWrite},                // 3: one track, the highest number
    {1, 99, kWrite},                 // 4: full disc
    {0, 0, kSucceedWithoutWriting},  // 5: "success" with nothing written
    {1, 5, kWriteAndFail},           // 6: plausible data, but the call failed
};
static_assert(sizeof kTocCases / sizeof kTocCases[0] == FAKE_CDR_RECORDS,
              "one case per device record");
#endif

}  // namespace

FAKE_EXPORT std::int32_t CD_Initialize2(std::uint32_t accessMode, std::uint32_t) {
  ++g_initializeCalls[accessMode < 2 ? accessMode : 2];
#ifdef FAKE_CDR_REFUSE_MODE0
  if (accessMode == kCdAccessDevices) return 1;
#endif
  buildRecords();
  return 0;
}

FAKE_EXPORT std::int32_t CD_GetDeviceCount(std::uint32_t* count) {
  if (count == nullptr) return 1;
  *count = FAKE_CDR_DEVICE_COUNT;
  return 0;
}

FAKE_EXPORT std::int32_t CD_GetDevices(CdDeviceRecord*** devices) {
  if (devices == nullptr) return 1;
#ifdef FAKE_CDR_GET_DEVICES_FAILS
  *devices = g_recordList;
  return 1;
#else
  buildRecords();
  *devices = g_recordList;
  return 0;
#endif
}

FAKE_EXPORT std::int32_t CD_TestUnitReady(std::uint32_t device) {
  g_lastDevice = static_cast<std::int32_t>(device);
  return knownDevice(device) ? kCdReady : kCdNoDisc;
}

FAKE_EXPORT std::int32_t CD_ReadTOC(std::uint32_t device, CdToc* toc) {
  g_lastDevice = static_cast<std::int32_t>(device);
  if (toc == nullptr || !knownDevice(device)) return 1;
#ifdef FAKE_CDR_BAD_TOCS
  const TocCase& c = kTocCases[device];
  if (c.action == kSucceedWithoutWriting) return 0;
  toc->firstTrack = c.first;
  toc->lastTrack = c.last;
  return c.action == kWriteAndFail ? 1 : 0;
#else
  toc->firstTrack = 1;
  toc->lastTrack = device + 1;
  toc->entries[0].startSector = 10000u * (device + 1);
  return 0;
#endif
}

// The rest answer plainly; the loader only has to find them.
#define FAKE_PLAIN(name) \
  FAKE_EXPORT std::int32_t CD_##name(std::uint32_t) { return 0; }
FAKE_PLAIN(Eject) FAKE_PLAIN(Load) FAKE_PLAIN(Lock) FAKE_PLAIN(Unlock)
FAKE_PLAIN(PrepareCDDA) FAKE_PLAIN(LockVolume) FAKE_PLAIN(UnlockVolume)
FAKE_EXPORT std::int32_t CD_GetMaxBuffer(std::uint32_t, std::uint32_t* bytes) {
  if (bytes != nullptr) *bytes = 0;
  return 1;
}
FAKE_EXPORT std::int32_t CD_AllocateBuffer(std::uint32_t, std::uint32_t, void** buffer,
                                           CdBufferHandle* handle) {
  if (buffer != nullptr) *buffer = nullptr;
  if (handle != nullptr) *handle = nullptr;
  return 1;
}
FAKE_EXPORT std::int32_t CD_FreeBuffer(CdBufferHandle) { return 0; }
FAKE_EXPORT std::int32_t CD_ReadCDDA(std::uint32_t, std::uint32_t, std::uint32_t, void*,
                                     std::uint32_t) {
  return 1;
}
#ifndef FAKE_CDR_OMIT_SET_SPEED
FAKE_EXPORT std::int32_t CD_SetSpeed(std::uint32_t, std::uint32_t) { return 0; }
#endif
FAKE_EXPORT std::int32_t CD_GetSpeed(std::uint32_t, std::uint32_t* speed) {
  if (speed != nullptr) *speed = 0;
  return 0;
}
FAKE_EXPORT std::int32_t CD_ReadCDText(std::uint32_t, void*, std::uint32_t* bytes) {
  if (bytes != nullptr) *bytes = 0;
  return 1;
}

// Test probes.
FAKE_EXPORT std::uint32_t FakeCdr_InitializeCalls(std::uint32_t accessMode) {
  return g_initializeCalls[accessMode < 2 ? accessMode : 2];
}
FAKE_EXPORT std::int32_t FakeCdr_LastDevice() { return g_lastDevice; }
