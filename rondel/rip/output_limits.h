#pragma once
// How long a rip job's output path may be. The encoder libraries append
// their extension (".mp3", ".ogg", ".wav") and shorten a name themselves
// when the whole would pass 260 characters or a name 255 bytes
// (encoders/README.md); two paths that differ only past such a cut would
// then give one file. So job paths leave room for the extension, and the
// name the library reports is always the path plus its extension.
#include <cstddef>

namespace rondel {

// Longest output path: the 261-byte path fields hold it and a NUL.
constexpr std::size_t kMaxOutputPath = 260;
// The longest extension an encoder library appends.
constexpr std::size_t kExtensionRoom = 4;
// Longest path a job carries.
constexpr std::size_t kMaxJobPath = kMaxOutputPath - kExtensionRoom;
// A native name holds at most 255 bytes (UTF-8); the file name leaves room
// for the extension.
constexpr std::size_t kMaxNameBytes = 255;
constexpr std::size_t kMaxFileNameBytes = kMaxNameBytes - kExtensionRoom;

}  // namespace rondel
