// The C entry points of ogg.dll. The setting picks a nominal bitrate (6 =
// 112 kbit/s); ACD2_InitCompress3 stores the tag texts as Vorbis comments.
// The file is "<path>.ogg".
#include <type_traits>

#include <vorbis/vorbisenc.h>

#include "encoders/common/entry_points.h"
#include "encoders/ogg/vorbis_stream.h"

using namespace encoders;

namespace {

// Longest tag text read from the caller; the component's fields are far
// shorter, and a text without its NUL is cut here instead of read past.
constexpr std::size_t kMaxTagText = 4096;

}  // namespace

ACD2_EXPORT std::int32_t ACD2_Initialize(std::uint32_t* info) {
  if (info != nullptr) *info = kContractRevision;
  // The encoder is usable when it can set up the stream every setting uses.
  vorbis_info probe;
  vorbis_info_init(&probe);
  const bool ok = vorbis_encode_setup_managed(&probe, 2, 44100, -1, 112000, -1) == 0;
  vorbis_info_clear(&probe);
  return ok ? 1 : 0;
}

ACD2_EXPORT std::int32_t ACD2_InitCompress3(
    const char* path, std::uint32_t /*reserved1*/, std::uint32_t setting,
    std::uint32_t /*reserved2*/, const char* title, std::uint32_t track, const char* artist,
    const char* album, const char* year, const char* genre, const char* comment,
    const char* /*extra1*/, const char* /*extra2*/, const char* /*extra3*/, AcdStream* stream) {
  if (stream != nullptr) *stream = 0;
  const int kbps = vorbisBitrateForSetting(setting);
  if (kbps == 0) return refuseSetting(setting);
  return guarded([&] {
    TagTexts tags;
    tags.title = boundedText(title, kMaxTagText);
    tags.track = track;
    tags.artist = boundedText(artist, kMaxTagText);
    tags.album = boundedText(album, kMaxTagText);
    tags.year = boundedText(year, kMaxTagText);
    tags.genre = boundedText(genre, kMaxTagText);
    tags.comment = boundedText(comment, kMaxTagText);
    return openStream(
        path, ".ogg",
        [&](std::unique_ptr<OutputFile> file, std::int32_t* result) {
          return makeVorbisStream(std::move(file), kbps, tags, result);
        },
        stream);
  });
}

ACD2_EXPORT std::int32_t ACD2_InitCompress(const char* path, std::uint32_t reserved1,
                                           std::uint32_t setting, std::uint32_t reserved2,
                                           AcdStream* stream) {
  return ACD2_InitCompress3(path, reserved1, setting, reserved2, nullptr, 0, nullptr, nullptr,
                            nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, stream);
}

// The definitions above must keep the contract's types.
static_assert(std::is_same_v<decltype(&ACD2_Initialize), ACD2_Initialize_t>);
static_assert(std::is_same_v<decltype(&ACD2_InitCompress), ACD2_InitCompress_t>);
static_assert(std::is_same_v<decltype(&ACD2_InitCompress3), ACD2_InitCompress3_t>);
