#pragma once
// The encoder table: five slots for the encoder libraries (lame.dll, ogg.dll,
// pcm.dll in slots 0..2; slots 3 and 4 stay empty), loaded from the library
// folder while the component object is built. The table is
// constant-initialised, so its slots exist (empty) before any static object
// of the module is constructed and are not wiped by a later dynamic
// initialiser.
//
// Threads: written only by LoadEncoderLibraries/UnloadEncoderLibraries, which
// run during static construction (and in tests, on the test's thread) before
// any rip worker exists; read-only afterwards by the rip worker thread. No
// lock: nothing writes while a reader can run.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "sdk/encoder_api.h"

namespace rondel {

constexpr std::size_t kEncoderSlots = 5;
// An encoder index that names no library; never used as a table position.
constexpr std::uint32_t kNoEncoder = 0xFFFF;

// The library file names in index order.
constexpr std::array<const char*, 3> kEncoderLibraryNames{{"lame.dll", "ogg.dll", "pcm.dll"}};

// One slot. Filled all or nothing: either the library loaded, had every
// required name and its ACD2_Initialize said yes, or every field is null.
// InitCompress2, InitCompress3 and LastError are optional even in a filled
// slot.
struct EncoderEntry {
  ACD2_InitCompress_t InitCompress = nullptr;
  ACD2_InitCompress2_t InitCompress2 = nullptr;
  ACD2_InitCompress3_t InitCompress3 = nullptr;
  ACD2_Compress_t Compress = nullptr;
  ACD2_DeinitCompress_t DeinitCompress = nullptr;
  ACD2_LastError_t LastError = nullptr;  // optional: why an open failed
  void* module = nullptr;  // the dlopen handle; owned by the table

  bool filled() const { return module != nullptr; }
};

// Loads "<folder>\<name>" for each name in index order into its slot;
// `folder` is the library folder in Windows form (an empty one loads
// nothing). Any slot filled before is emptied (and its library unloaded)
// first. Why a library was not used goes to the debug log.
void LoadEncoderLibraries(const std::string& folder);
// Empties every slot and unloads the libraries (tests and teardown).
void UnloadEncoderLibraries();

// A copy of slot `index`; an empty entry for an index outside the table
// (0xFFFF included).
EncoderEntry encoderEntry(std::uint32_t index);

}  // namespace rondel
