#include "rondel/rip/encoder_table.h"

#include <memory>
#include <optional>
#include <string>

#include "platform/debug_log.h"
#include "platform/dynlib.h"
#include "platform/winpath.h"

namespace rondel {
namespace {

struct EncoderSlot {
  EncoderEntry entry;
  std::unique_ptr<platform::DynamicLibrary> library;  // keeps entry.module loaded
};

// Every member has a constant default, so the table is constant-initialised:
// the component's static constructor may fill it before this file's dynamic
// initialisers run, and nothing resets it afterwards. The destructor unloads
// the libraries when the module goes away.
class EncoderTable {
 public:
  constexpr EncoderTable() = default;
  ~EncoderTable() { clear(); }
  EncoderTable(const EncoderTable&) = delete;
  EncoderTable& operator=(const EncoderTable&) = delete;

  EncoderSlot& operator[](std::size_t i) { return slots_[i]; }
  void clear() {
    for (EncoderSlot& slot : slots_) {
      slot.entry = EncoderEntry{};
      slot.library.reset();
    }
  }

 private:
  std::array<EncoderSlot, kEncoderSlots> slots_{};
};

EncoderTable g_encoders;  // see encoder_table.h for threads

static_assert(kEncoderLibraryNames.size() <= kEncoderSlots);

// Loads one library into `slot`, or leaves the slot empty.
void loadOne(const std::string& folder, const char* name, EncoderSlot& slot) {
  const std::string windowsPath = folder + "\\" + name;
  std::optional<std::string> nativePath =
      windowsPath.size() <= platform::kMaxPath ? platform::toNativePath(windowsPath) : std::nullopt;
  if (!nativePath) {
    platform::debugLog("encoder", "%s: no usable path: %s", name, windowsPath.c_str());
    return;
  }
  auto library = std::make_unique<platform::DynamicLibrary>();
  if (!library->open(*nativePath)) {
    platform::debugLog("encoder", "%s: not loaded: %s", name, library->lastError().c_str());
    return;
  }
  // Look-up order is part of the contract. The two optional variants may be
  // missing; any of the four required names missing means the library is
  // not used (and is unloaded as `library` goes out of scope).
  ACD2_Initialize_t initialize = nullptr;
  EncoderEntry e;
  const bool hasInitialize = library->resolve(initialize, "ACD2_Initialize");
  const bool hasInitCompress = library->resolve(e.InitCompress, "ACD2_InitCompress");
  library->resolve(e.InitCompress2, "ACD2_InitCompress2");
  library->resolve(e.InitCompress3, "ACD2_InitCompress3");
  library->resolve(e.LastError, "ACD2_LastError");
  const bool hasCompress = library->resolve(e.Compress, "ACD2_Compress");
  const bool hasDeinit = library->resolve(e.DeinitCompress, "ACD2_DeinitCompress");
  if (!(hasInitialize && hasInitCompress && hasCompress && hasDeinit)) {
    platform::debugLog("encoder", "%s: missing a required export: %s", name, nativePath->c_str());
    return;
  }
  std::uint32_t info = 0;  // filled by the library; the component has no use for it
  const std::int32_t ready = initialize(&info);
  // The library answers a C boolean: only its lowest byte counts.
  if ((static_cast<std::uint32_t>(ready) & 0xFFu) == 0) {
    platform::debugLog("encoder", "%s: ACD2_Initialize refused: %d", name, ready);
    return;
  }
  e.module = library->handle();
  slot.entry = e;
  slot.library = std::move(library);
}

}  // namespace

void LoadEncoderLibraries(const std::string& folder) {
  g_encoders.clear();
  for (std::size_t i = 0; i < kEncoderLibraryNames.size(); ++i) {
    // Runs inside the module's static construction: nothing may escape.
    try {
      loadOne(folder, kEncoderLibraryNames[i], g_encoders[i]);
    } catch (...) {
      g_encoders[i].entry = EncoderEntry{};
      g_encoders[i].library.reset();
    }
  }
}

void UnloadEncoderLibraries() { g_encoders.clear(); }

EncoderEntry encoderEntry(std::uint32_t index) {
  if (index >= kEncoderSlots) return EncoderEntry{};  // 0xFFFF lands here too
  return g_encoders[index].entry;
}

}  // namespace rondel
