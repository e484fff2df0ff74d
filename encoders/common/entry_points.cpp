#include "encoders/common/entry_points.h"

#include <cstdio>
#include <cstring>

#include "encoders/common/cdda.h"
#include "encoders/common/last_error.h"
#include "encoders/common/stream_table.h"
#include "platform/winpath.h"

namespace encoders {

std::int32_t openStream(const char* path, std::string_view extension, const StreamMaker& make,
                        AcdStream* stream) noexcept {
  clearLastError();
  return guarded([&]() -> std::int32_t {
    if (stream == nullptr) return kBadArgument;
    *stream = 0;
    if (path == nullptr) return kBadArgument;
    // One byte past the longest path tells a path that is too long from one
    // that fits, without reading further into the caller's memory.
    const std::size_t length = strnlen(path, platform::kMaxPath + 1);
    if (length > platform::kMaxPath) return kBadPath;

    std::int32_t result = kInternal;
    std::unique_ptr<OutputFile> file =
        OutputFile::create(std::string_view(path, length), extension, &result);
    if (!file) return result;
    std::unique_ptr<EncoderStream> encoder = make(std::move(file), &result);
    if (!encoder) return result;
    const std::uint32_t handle = streamTable().add(std::move(encoder));
    if (handle == 0) return kTooManyStreams;
    *stream = handle;
    return kOk;
  });
}

std::int32_t refuseSetting(std::uint32_t setting) noexcept {
  char reason[64];
  std::snprintf(reason, sizeof reason, "no encoder setting %u", static_cast<unsigned>(setting));
  setLastError(reason);
  return kBadSetting;
}

std::int32_t compressStream(const void* data, std::uint32_t bytes, AcdStream stream) noexcept {
  return guarded([&]() -> std::int32_t {
    const std::shared_ptr<StreamSlot> slot = streamTable().find(stream);
    if (!slot) return kUnknownStream;
    std::lock_guard<std::mutex> lock(slot->mutex);
    if (!slot->stream) return kUnknownStream;
    // A count that is not whole frames would shift every later sample by a
    // byte or a channel; a null pointer has nothing to read.
    if (bytes % kFrameBytes != 0 || bytes > kMaxCompressBytes || (data == nullptr && bytes > 0)) {
      slot->failed = true;
      return kBadArgument;
    }
    if (slot->failed) return kFileError;
    if (bytes == 0) return kOk;
    const std::int32_t result =
        slot->stream->compress(static_cast<const std::uint8_t*>(data), bytes);
    if (result != kOk) slot->failed = true;
    return result;
  });
}

std::int32_t closeStream(std::int32_t finished, char* name, AcdStream stream) noexcept {
  if (finished != 0 && name != nullptr) name[0] = '\0';
  return guarded([&]() -> std::int32_t {
    const std::shared_ptr<StreamSlot> slot = streamTable().take(stream);
    if (!slot) return kUnknownStream;
    std::lock_guard<std::mutex> lock(slot->mutex);
    const std::unique_ptr<EncoderStream> encoder = std::move(slot->stream);
    if (!encoder) return kUnknownStream;
    if (finished == 0) {
      encoder->file().abandon();
      return kOk;
    }
    if (slot->failed || !encoder->finish() || !encoder->file().commit()) {
      encoder->file().abandon();
      return kFileError;
    }
    if (name != nullptr) {
      // At most kMaxPath characters (OutputFile refuses longer names), so the
      // name and its NUL fit the caller's kAcdNameBytes.
      const std::string& finalName = encoder->file().windowsName();
      static_assert(platform::kMaxPath + 1 <= kAcdNameBytes, "name buffer too small");
      std::memcpy(name, finalName.c_str(), finalName.size() + 1);
    }
    return kOk;
  });
}

std::string boundedText(const char* text, std::size_t max) {
  if (text == nullptr) return std::string();
  return std::string(text, strnlen(text, max));
}

}  // namespace encoders
