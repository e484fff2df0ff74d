// The C entry points of lame.dll. The setting is the MPEG-1 Layer III
// bitrate index (8 = 112 kbit/s; 0, the free index, is that default too);
// ACD2_InitCompress2 puts the caller's ID3v2 tag at the start of the file. The file is "<path>.mp3".
#include <type_traits>

#include <lame/lame.h>

#include "encoders/common/entry_points.h"
#include "encoders/lame/id3v2_header.h"
#include "encoders/lame/lame_stream.h"

using namespace encoders;

ACD2_EXPORT std::int32_t ACD2_Initialize(std::uint32_t* info) {
  if (info != nullptr) *info = kContractRevision;
  lame_global_flags* probe = lame_init();
  if (probe == nullptr) return 0;
  lame_close(probe);
  return 1;
}

ACD2_EXPORT std::int32_t ACD2_InitCompress2(const char* path, std::uint32_t /*reserved1*/,
                                            std::uint32_t setting, std::uint32_t /*reserved2*/,
                                            const std::uint8_t* tag, std::uint32_t tagBytes,
                                            AcdStream* stream) {
  if (stream != nullptr) *stream = 0;
  const int kbps = lameBitrateForSetting(setting);
  if (kbps == 0) return refuseSetting(setting);
  // Bytes that are not one whole ID3v2 tag are left out rather than written
  // in front of the audio, where players would take them for music; the rip
  // itself goes on without the tag. Bytes past the tag's declared end are
  // dropped for the same reason.
  const std::size_t tagLength = id3v2TagLength(tag, tagBytes);
  return guarded([&] {
    return openStream(
        path, ".mp3",
        [&](std::unique_ptr<OutputFile> file, std::int32_t* result) {
          return makeLameStream(std::move(file), kbps, tag, tagLength, result);
        },
        stream);
  });
}

ACD2_EXPORT std::int32_t ACD2_InitCompress(const char* path, std::uint32_t reserved1,
                                           std::uint32_t setting, std::uint32_t reserved2,
                                           AcdStream* stream) {
  return ACD2_InitCompress2(path, reserved1, setting, reserved2, nullptr, 0, stream);
}

// The definitions above must keep the contract's types.
static_assert(std::is_same_v<decltype(&ACD2_Initialize), ACD2_Initialize_t>);
static_assert(std::is_same_v<decltype(&ACD2_InitCompress), ACD2_InitCompress_t>);
static_assert(std::is_same_v<decltype(&ACD2_InitCompress2), ACD2_InitCompress2_t>);
