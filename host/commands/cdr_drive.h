#pragma once
// cdr.dll loaded by the host itself, for `qomhost offset find`: one drive
// picked by its display name, its table of contents, and raw reads through
// a buffer of the library's own. The component's window must be closed
// first: initialising the library again releases the drives it holds.
// One thread (the caller's).
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "host/commands/offset_search.h"
#include "platform/dynlib.h"
#include "sdk/cdr_api.h"

namespace qomhost {

class CdrDrive final : public SectorSource {
 public:
  ~CdrDrive() override;
  CdrDrive(const CdrDrive&) = delete;
  CdrDrive& operator=(const CdrDrive&) = delete;

  // Loads `library` (a native path), initialises it and finds the drive
  // named `name` (Windows-1252). Null with `problem` set when any step fails.
  static std::unique_ptr<CdrDrive> open(const std::string& library, const std::string& name,
                                        std::string& problem);

  // The audio tracks and the lead-out; false with `problem` set when the
  // table of contents cannot be read.
  bool readToc(std::vector<verify::TocEntry>& tracks, std::uint32_t& leadOut, std::string& problem);

  bool readSectors(std::uint32_t lba, std::uint32_t count, std::uint8_t* out) override;

 private:
  CdrDrive() = default;

  platform::DynamicLibrary library_;
  CD_Initialize2_t initialize_ = nullptr;
  CD_GetDeviceCount_t deviceCount_ = nullptr;
  CD_GetDevices_t devices_ = nullptr;
  CD_ReadTOC_t readToc_ = nullptr;
  CD_AllocateBuffer_t allocate_ = nullptr;
  CD_FreeBuffer_t free_ = nullptr;
  CD_ReadCDDA_t readCdda_ = nullptr;
  std::uint32_t device_ = 0;
  void* buffer_ = nullptr;  // kReadSectors sectors from the library
  CdBufferHandle bufferHandle_ = nullptr;
};

}  // namespace qomhost
