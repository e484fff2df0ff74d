#pragma once
// The drive library contract (cdr.dll): plain C functions named CD_*, looked
// up by name. The component and the library both include this header, so the
// contract has one source. 0 means success wherever a result is tested.
#include <cstddef>
#include <cstdint>

extern "C" {

// CD_TestUnitReady answers.
enum : std::int32_t {
  kCdReady = 0,
  kCdNoDisc = 7,
  kCdBecomingReady = 12,  // the table of contents is being read
};

// Access modes of CD_Initialize2. Mode 0 offers the drives the library's
// configuration names (real devices, disc images, simulated drives), or,
// with no configuration, every real drive found; mode 1 adds the entries
// kept for the fallback and, when the configuration cannot be used at all,
// the real drives found. The component asks for mode 0 first and for mode 1
// only when mode 0 yields no drive on an NT-family system.
enum : std::uint32_t { kCdAccessDevices = 0, kCdAccessDevicesAndImages = 1 };

constexpr std::size_t kCdSectorBytes = 2352;  // raw CD-DA: 44.1 kHz, 16-bit, stereo
constexpr std::uint32_t kCdMaxTracks = 99;

// Device record: the library owns it. The component reads only the display
// name, a NUL-terminated 8-bit (Windows-1252) string 4 bytes in, and never
// more than kCdDeviceNameBytes of it.
constexpr std::size_t kCdDeviceNameBytes = 256;
struct CdDeviceRecord {
  std::uint32_t id;
  char name[kCdDeviceNameBytes];
};
static_assert(offsetof(CdDeviceRecord, name) == 4, "name starts 4 bytes in");

#pragma pack(push, 1)
// One table of contents entry (33 bytes). Minutes and seconds count the
// 2-second lead-in (sector 0 is 0:02). The frame fields are never read.
struct CdTocEntry {
  std::uint8_t control;  // bit 0x04: data track
  std::uint32_t startMinute;
  std::uint32_t startSecond;
  std::uint32_t startFrame;
  std::uint32_t startSector;  // LBA
  std::uint32_t lengthMinute;
  std::uint32_t lengthSecond;
  std::uint32_t lengthFrame;
  std::uint32_t lengthSectors;
};
// Table of contents record (3308 bytes, little-endian, no padding); entries
// are indexed by track number, entry 0 describes the lead-out.
struct CdToc {
  std::uint32_t firstTrack;
  std::uint32_t lastTrack;
  CdTocEntry entries[100];
};
#pragma pack(pop)
static_assert(sizeof(CdTocEntry) == 33, "packed TOC entry");
static_assert(sizeof(CdToc) == 3308, "packed TOC record");

constexpr std::uint8_t kCdControlData = 0x04;

// A buffer handle from CD_AllocateBuffer, released by CD_FreeBuffer.
typedef void* CdBufferHandle;

// The 19 functions, in the order the loader looks them up.
typedef std::int32_t (*CD_Initialize2_t)(std::uint32_t accessMode, std::uint32_t flags);
typedef std::int32_t (*CD_GetDeviceCount_t)(std::uint32_t* count);
typedef std::int32_t (*CD_GetDevices_t)(CdDeviceRecord*** devices);
typedef std::int32_t (*CD_TestUnitReady_t)(std::uint32_t device);
typedef std::int32_t (*CD_ReadTOC_t)(std::uint32_t device, CdToc* toc);
typedef std::int32_t (*CD_Eject_t)(std::uint32_t device);
typedef std::int32_t (*CD_Load_t)(std::uint32_t device);
typedef std::int32_t (*CD_Lock_t)(std::uint32_t device);
typedef std::int32_t (*CD_Unlock_t)(std::uint32_t device);
typedef std::int32_t (*CD_GetMaxBuffer_t)(std::uint32_t device, std::uint32_t* bytes);
typedef std::int32_t (*CD_AllocateBuffer_t)(std::uint32_t device, std::uint32_t bytes,
                                            void** buffer, CdBufferHandle* handle);
typedef std::int32_t (*CD_FreeBuffer_t)(CdBufferHandle handle);
// Reads `count` raw sectors from `firstSector` (LBA) into a buffer from
// CD_AllocateBuffer of at least count * 2352 bytes. flags: 1 = raw CD-DA.
typedef std::int32_t (*CD_ReadCDDA_t)(std::uint32_t device, std::uint32_t firstSector,
                                      std::uint32_t count, void* buffer, std::uint32_t flags);
typedef std::int32_t (*CD_SetSpeed_t)(std::uint32_t device, std::uint32_t speed);
typedef std::int32_t (*CD_GetSpeed_t)(std::uint32_t device, std::uint32_t* speed);
typedef std::int32_t (*CD_PrepareCDDA_t)(std::uint32_t device);
// Copies the disc's CD-Text block (raw packs) into buffer; *bytes in: size of
// buffer, out: bytes written. Nonzero when the disc has none.
typedef std::int32_t (*CD_ReadCDText_t)(std::uint32_t device, void* buffer, std::uint32_t* bytes);
typedef std::int32_t (*CD_LockVolume_t)(std::uint32_t device);
typedef std::int32_t (*CD_UnlockVolume_t)(std::uint32_t device);

}  // extern "C"
