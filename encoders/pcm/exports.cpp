// The C entry points of pcm.dll: uncompressed RIFF WAVE, "<path>.wav". The
// setting is not used (any value is accepted).
#include <type_traits>

#include "encoders/common/entry_points.h"
#include "encoders/pcm/wav_stream.h"

using namespace encoders;

ACD2_EXPORT std::int32_t ACD2_Initialize(std::uint32_t* info) {
  if (info != nullptr) *info = kContractRevision;
  return 1;
}

ACD2_EXPORT std::int32_t ACD2_InitCompress(const char* path, std::uint32_t /*reserved1*/,
                                           std::uint32_t /*setting*/,
                                           std::uint32_t /*reserved2*/, AcdStream* stream) {
  if (stream != nullptr) *stream = 0;
  return guarded([&] {
    return openStream(
        path, ".wav",
        [](std::unique_ptr<OutputFile> file, std::int32_t* result) {
          return makeWavStream(std::move(file), result);
        },
        stream);
  });
}

// The definitions above must keep the contract's types.
static_assert(std::is_same_v<decltype(&ACD2_Initialize), ACD2_Initialize_t>);
static_assert(std::is_same_v<decltype(&ACD2_InitCompress), ACD2_InitCompress_t>);
