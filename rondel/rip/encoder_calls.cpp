#include "rondel/rip/encoder_calls.h"

#include "rondel/rip/encoder_table.h"

namespace rondel {

std::string ACDILastError(std::uint32_t index) {
  const EncoderEntry e = encoderEntry(index);
  if (e.LastError == nullptr) return {};
  // A reason is a line for people: a path and the system's words.
  char text[1024] = {};
  e.LastError(text, sizeof text);
  text[sizeof text - 1] = '\0';  // whatever the library wrote, the text ends in the buffer
  return text;
}

bool ACDIHasInitCompress2(std::uint32_t index) {
  return index != kNoEncoder && encoderEntry(index).InitCompress2 != nullptr;
}

bool ACDIHasInitCompress3(std::uint32_t index) {
  // encoderEntry() bounds the index, so 0xFFFF is never a position here either.
  return encoderEntry(index).InitCompress3 != nullptr;
}

std::int32_t ACDIInitCompress(std::uint32_t index, const char* path, std::uint32_t reserved1,
                              std::uint32_t setting, std::uint32_t reserved2, AcdStream* stream) {
  const EncoderEntry e = encoderEntry(index);
  if (e.InitCompress == nullptr) return kEncoderUnavailable;
  return e.InitCompress(path, reserved1, setting, reserved2, stream);
}

std::int32_t ACDIInitCompress(std::uint32_t index, const char* path, std::uint32_t reserved1,
                              std::uint32_t setting, std::uint32_t reserved2,
                              const std::uint8_t* tag, std::uint32_t tagBytes, AcdStream* stream) {
  const EncoderEntry e = encoderEntry(index);
  if (e.InitCompress2 == nullptr) return kEncoderUnavailable;
  return e.InitCompress2(path, reserved1, setting, reserved2, tag, tagBytes, stream);
}

std::int32_t ACDIInitCompress(std::uint32_t index, const char* path, std::uint32_t reserved1,
                              std::uint32_t setting, std::uint32_t reserved2, const char* title,
                              std::uint32_t track, const char* artist, const char* album,
                              const char* year, const char* genre, const char* comment,
                              const char* extra1, const char* extra2, const char* extra3,
                              AcdStream* stream) {
  const EncoderEntry e = encoderEntry(index);
  if (e.InitCompress3 == nullptr) return kEncoderUnavailable;
  return e.InitCompress3(path, reserved1, setting, reserved2, title, track, artist, album, year,
                         genre, comment, extra1, extra2, extra3, stream);
}

std::int32_t ACDICompress(std::uint32_t index, const void* data, std::uint32_t bytes,
                          AcdStream stream) {
  const EncoderEntry e = encoderEntry(index);
  if (e.Compress == nullptr) return kEncoderUnavailable;
  if (bytes > kAcdMaxCompressBytes || (data == nullptr && bytes != 0)) return kEncoderUnavailable;
  return e.Compress(data, bytes, stream);
}

std::int32_t ACDIDeinitCompress(std::uint32_t index, std::int32_t finished, char* name,
                                AcdStream stream) {
  const EncoderEntry e = encoderEntry(index);
  if (name != nullptr) name[0] = '\0';
  if (e.DeinitCompress == nullptr) return kEncoderUnavailable;
  // The library is promised a buffer; one that the caller did not want
  // still has to exist.
  char scratch[kAcdNameBytes] = {};
  char* buffer = name != nullptr ? name : scratch;
  const std::int32_t result = e.DeinitCompress(finished, buffer, stream);
  buffer[kAcdNameBytes - 1] = '\0';
  return result;
}

}  // namespace rondel
