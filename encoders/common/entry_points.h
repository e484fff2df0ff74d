#pragma once
// The bodies of the ACD2_* entry points, shared by the three libraries: each
// library checks its own setting, then hands over how to make its stream.
// Nothing here throws; every failure is a nonzero result (result.h).
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <new>
#include <string>
#include <string_view>

#include "encoders/common/encoder_stream.h"
#include "encoders/common/result.h"
#include "platform/c_boundary.h"
#include "sdk/encoder_api.h"

#define ACD2_EXPORT extern "C" __attribute__((visibility("default")))

namespace encoders {

// What ACD2_Initialize reports in *info: the contract revision these
// libraries implement (the component does not read it).
constexpr std::uint32_t kContractRevision = 2;

// Makes a library's stream around a freshly created file. On failure it
// returns null with *result set; the file is then dropped, which removes it.
using StreamMaker = std::function<std::unique_ptr<EncoderStream>(
    std::unique_ptr<OutputFile> file, std::int32_t* result)>;

// Opens "<path><extension>" under a temporary name and registers the stream.
std::int32_t openStream(const char* path, std::string_view extension, const StreamMaker& make,
                        AcdStream* stream) noexcept;

// kBadSetting, with the setting named as the reason (ACD2_LastError).
std::int32_t refuseSetting(std::uint32_t setting) noexcept;

// Checks the arguments and encodes. Any refused call marks the stream failed:
// a later finished close then reports failure instead of publishing a file
// with a gap in its audio.
std::int32_t compressStream(const void* data, std::uint32_t bytes, AcdStream stream) noexcept;

// finished nonzero (the component passes 1): completes the file, renames it
// into place and writes its Windows-form name into name (kAcdNameBytes).
// finished 0: removes the temporary file. Either way the handle is gone. On a
// failed finish, or for an unknown handle, name receives "" so no caller goes
// on to tag a file that is not there.
std::int32_t closeStream(std::int32_t finished, char* name, AcdStream stream) noexcept;

// A caller's NUL-terminated text, read up to max bytes (a text without its
// NUL is cut there rather than read past); null reads as "".
std::string boundedText(const char* text, std::size_t max);

// Runs f, turning any exception into a result so none crosses the C boundary.
template <class F>
std::int32_t guarded(F&& f) noexcept {
  return platform::guardedCall(std::forward<F>(f), kNoMemory, kInternal);
}

}  // namespace encoders
