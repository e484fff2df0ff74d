#pragma once
// The operations the rip worker uses to drive an encoder, addressed by
// encoder index. Each passes its remaining arguments unchanged to the slot's
// function. An index outside the table (0xFFFF included), an empty slot, or
// a slot without the variant asked for never calls through a pointer: the
// Has* queries answer false, the InitCompress variants, Compress and DeinitCompress
// answer kEncoderUnavailable (a failure) without a call.
//
// Threads: the rip worker thread (one stream at a time); the table they read
// is fixed before any worker starts.
#include <cstdint>
#include <string>

#include "sdk/encoder_api.h"

namespace rondel {

// What an operation answers when there is no function to call. Nonzero, as
// every failure of the encoder contract.
constexpr std::int32_t kEncoderUnavailable = -1;

bool ACDIHasInitCompress2(std::uint32_t index);
bool ACDIHasInitCompress3(std::uint32_t index);

// ACD2_InitCompress.
std::int32_t ACDIInitCompress(std::uint32_t index, const char* path, std::uint32_t reserved1,
                              std::uint32_t setting, std::uint32_t reserved2, AcdStream* stream);
// ACD2_InitCompress2: with an ID3v2 tag rendered in memory.
std::int32_t ACDIInitCompress(std::uint32_t index, const char* path, std::uint32_t reserved1,
                              std::uint32_t setting, std::uint32_t reserved2,
                              const std::uint8_t* tag, std::uint32_t tagBytes, AcdStream* stream);
// ACD2_InitCompress3: with the tag fields as texts.
std::int32_t ACDIInitCompress(std::uint32_t index, const char* path, std::uint32_t reserved1,
                              std::uint32_t setting, std::uint32_t reserved2, const char* title,
                              std::uint32_t track, const char* artist, const char* album,
                              const char* year, const char* genre, const char* comment,
                              const char* extra1, const char* extra2, const char* extra3,
                              AcdStream* stream);

// ACD2_LastError: why this thread's last failed open failed (UTF-8), cut
// to a bounded length; "" when the library has no such function or gave no
// reason.
std::string ACDILastError(std::uint32_t index);

// ACD2_Compress. More than kAcdMaxCompressBytes, or a null pointer with a
// nonzero count, breaks the contract and is refused without a call.
std::int32_t ACDICompress(std::uint32_t index, const void* data, std::uint32_t bytes,
                          AcdStream stream);

// ACD2_DeinitCompress; answers the library's result (kEncoderUnavailable
// when there is no function). A nonzero answer to a finished close means the
// file could not be published. `name` is a buffer of kAcdNameBytes (or null,
// when the caller wants no name). The buffer is emptied before the call and
// always ends NUL-terminated, so a library that writes nothing, or fills it
// to the brim, leaves no stale or unterminated name behind.
std::int32_t ACDIDeinitCompress(std::uint32_t index, std::int32_t finished, char* name,
                                AcdStream stream);

}  // namespace rondel
