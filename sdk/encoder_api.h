#pragma once
// The encoder library contract (lame.dll, ogg.dll, pcm.dll): plain C
// functions named ACD2_*, looked up by name. The component and the libraries
// both include this header, so the contract has one source. 0 means success
// wherever a result is tested.
//
// Audio handed to ACD2_Compress is raw CD-DA exactly as the drive delivers it:
// 2352 bytes a sector, 44 100 Hz, 16-bit little-endian, two interleaved
// channels, a whole number of sectors, at most 28 224 bytes a call.
//
// Paths are Windows-form (C:\My Audio Files\01 Title) without an extension;
// each library adds its own and maps the path through the platform layer.
#include <cstddef>
#include <cstdint>

extern "C" {

// An open stream: an opaque 32-bit value the library hands out and the
// component passes back unchanged. 0 is never a valid stream.
typedef std::uint32_t AcdStream;

constexpr std::size_t kAcdNameBytes = 261;      // the DeinitCompress name buffer
constexpr std::size_t kAcdMaxCompressBytes = 28224;  // 12 sectors

// Fills *info (not used by the component); answers true (nonzero lowest
// byte) when the library can encode.
typedef std::int32_t (*ACD2_Initialize_t)(std::uint32_t* info);

// Opens a stream writing "<path>.<ext>". reserved1/reserved2 are 0; setting
// is the encoder's own quality setting. 0 and *stream set on success.
typedef std::int32_t (*ACD2_InitCompress_t)(const char* path, std::uint32_t reserved1,
                                            std::uint32_t setting, std::uint32_t reserved2,
                                            AcdStream* stream);

// As ACD2_InitCompress, with an ID3v2 tag rendered in memory that the library
// places at the start of the file. The bytes belong to the caller.
typedef std::int32_t (*ACD2_InitCompress2_t)(const char* path, std::uint32_t reserved1,
                                             std::uint32_t setting, std::uint32_t reserved2,
                                             const std::uint8_t* tag, std::uint32_t tagBytes,
                                             AcdStream* stream);

// As ACD2_InitCompress, with the tag fields as NUL-terminated Windows-1252
// texts for the library to store in its own tag format. extra1..3 are "".
typedef std::int32_t (*ACD2_InitCompress3_t)(
    const char* path, std::uint32_t reserved1, std::uint32_t setting, std::uint32_t reserved2,
    const char* title, std::uint32_t track, const char* artist, const char* album,
    const char* year, const char* genre, const char* comment, const char* extra1,
    const char* extra2, const char* extra3, AcdStream* stream);

// Encodes `bytes` bytes of raw CD-DA. 0: accepted.
typedef std::int32_t (*ACD2_Compress_t)(const void* data, std::uint32_t bytes, AcdStream stream);

// Closes the stream. finished 1: the file is complete and renamed into place,
// and name (kAcdNameBytes) receives its full Windows-form name. finished 0:
// the rip was abandoned; nothing of it remains and an older file of the same
// name is left untouched. The stream is gone either way.
typedef std::int32_t (*ACD2_DeinitCompress_t)(std::int32_t finished, char* name,
                                              AcdStream stream);

// Optional (looked up by name; a library may lack it): why this thread's
// last ACD2_InitCompress* that failed did so, such as "cannot create
// /music/a.mp3: Permission denied", as UTF-8 into `text` (`bytes` bytes,
// cut there, always NUL-terminated). Answers the length written; 0 with ""
// when the library gave no reason. Meaningful right after a failed open on
// the same thread; the text is for people, not to be parsed.
typedef std::uint32_t (*ACD2_LastError_t)(char* text, std::uint32_t bytes);

}  // extern "C"
