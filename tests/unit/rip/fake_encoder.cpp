// A stand-in encoder library for the binding tests, built per variant as
// build/bin/testencoders/<variant>/<name>.dll. Compile definitions give it
// its one fault:
//
//   FAKE_ENC_EXT="mp3"              extension DeinitCompress appends to the path
//   FAKE_ENC_INITIALIZE_RESULT=n    what ACD2_Initialize returns (default 1)
//   FAKE_ENC_OMIT_INITIALIZE        ACD2_Initialize is not exported
//   FAKE_ENC_OMIT_COMPRESS          ACD2_Compress is not exported
//   FAKE_ENC_OMIT_INIT23            neither ACD2_InitCompress2 nor 3 is exported
//   FAKE_ENC_RECORD                 writes every byte handed to Compress into
//                                   "<path>.<ext>" (a Windows-form path mapped by
//                                   the platform layer), published by the
//                                   finished close and removed by an abandoned one
//   FAKE_ENC_FAIL_INIT              every InitCompress variant answers 1
//   FAKE_ENC_FAIL_COMPRESS_AT=n     the nth Compress call of a stream answers 1
//   FAKE_ENC_FAIL_FINISH            the finished close cannot publish the file:
//                                   answers 1, names nothing, removes the file
//
// Every call is written, arguments and all, to a log that the test reads
// through FakeEnc_Log() from the same loaded copy.
#include <cstdarg>
#include <cstdio>
#include <string>

#include "sdk/encoder_api.h"
#ifdef FAKE_ENC_RECORD
#include "platform/winpath.h"
#endif

#ifndef FAKE_ENC_EXT
#define FAKE_ENC_EXT "mp3"
#endif
#ifndef FAKE_ENC_INITIALIZE_RESULT
#define FAKE_ENC_INITIALIZE_RESULT 1
#endif

#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

std::string g_log;
std::string g_path;  // of the latest stream
AcdStream g_nextStream = 0x5000;

const char* text(const char* s) { return s != nullptr ? s : "(null)"; }

__attribute__((format(printf, 1, 2))) void logLine(const char* format, ...) {
  char line[1024];
  va_list args;
  va_start(args, format);
  std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  g_log += line;
  g_log += '\n';
}

#ifdef FAKE_ENC_RECORD
std::FILE* g_file = nullptr;  // the latest stream's output
std::string g_nativeFile;
#endif
unsigned g_compressCalls = 0;  // of the latest stream

std::int32_t open(const char* path, AcdStream* stream) {
#ifdef FAKE_ENC_FAIL_INIT
  (void)path;
  (void)stream;
  (void)g_nextStream;
  return 1;
#else
  g_path = text(path);
  g_compressCalls = 0;
#ifdef FAKE_ENC_RECORD
  const auto native = platform::toNativePath(g_path + "." FAKE_ENC_EXT);
  if (!native) return 2;
  g_nativeFile = *native;
  g_file = std::fopen(g_nativeFile.c_str(), "wb");
  if (g_file == nullptr) return 3;
#endif
  if (stream != nullptr) *stream = ++g_nextStream;
  return 0;
#endif
}

// Ends the latest stream's file: kept when `publish`, else removed.
void endFile(bool publish) {
#ifdef FAKE_ENC_RECORD
  if (g_file == nullptr) return;
  std::fclose(g_file);
  g_file = nullptr;
  if (!publish) std::remove(g_nativeFile.c_str());
#else
  (void)publish;
#endif
}

}  // namespace

FAKE_EXPORT const char* FakeEnc_Log() { return g_log.c_str(); }
FAKE_EXPORT void FakeEnc_ClearLog() { g_log.clear(); }

#ifndef FAKE_ENC_OMIT_INITIALIZE
FAKE_EXPORT std::int32_t ACD2_Initialize(std::uint32_t* info) {
  logLine("Initialize");
  if (info != nullptr) *info = 0x0102;
  return FAKE_ENC_INITIALIZE_RESULT;
}
#endif

FAKE_EXPORT std::int32_t ACD2_InitCompress(const char* path, std::uint32_t reserved1,
                                           std::uint32_t setting, std::uint32_t reserved2,
                                           AcdStream* stream) {
  logLine("InitCompress %s %u %u %u", text(path), reserved1, setting, reserved2);
  return open(path, stream);
}

#ifndef FAKE_ENC_OMIT_INIT23
FAKE_EXPORT std::int32_t ACD2_InitCompress2(const char* path, std::uint32_t reserved1,
                                            std::uint32_t setting, std::uint32_t reserved2,
                                            const std::uint8_t* tag, std::uint32_t tagBytes,
                                            AcdStream* stream) {
  logLine("InitCompress2 %s %u %u %u %p %u", text(path), reserved1, setting, reserved2,
          static_cast<const void*>(tag), tagBytes);
  return open(path, stream);
}

FAKE_EXPORT std::int32_t ACD2_InitCompress3(const char* path, std::uint32_t reserved1,
                                            std::uint32_t setting, std::uint32_t reserved2,
                                            const char* title, std::uint32_t track,
                                            const char* artist, const char* album, const char* year,
                                            const char* genre, const char* comment,
                                            const char* extra1, const char* extra2,
                                            const char* extra3, AcdStream* stream) {
  logLine("InitCompress3 %s %u %u %u [%s] %u [%s] [%s] [%s] [%s] [%s] [%s] [%s] [%s]", text(path),
          reserved1, setting, reserved2, text(title), track, text(artist), text(album), text(year),
          text(genre), text(comment), text(extra1), text(extra2), text(extra3));
  return open(path, stream);
}
#endif

#ifndef FAKE_ENC_OMIT_COMPRESS
FAKE_EXPORT std::int32_t ACD2_Compress(const void* data, std::uint32_t bytes, AcdStream stream) {
  logLine("Compress %p %u %u", data, bytes, stream);
  ++g_compressCalls;
#ifdef FAKE_ENC_FAIL_COMPRESS_AT
  if (g_compressCalls == FAKE_ENC_FAIL_COMPRESS_AT) return 1;
#endif
#ifdef FAKE_ENC_RECORD
  if (g_file == nullptr || std::fwrite(data, 1, bytes, g_file) != bytes) return 1;
#endif
  return 0;
}
#endif

FAKE_EXPORT std::int32_t ACD2_DeinitCompress(std::int32_t finished, char* name, AcdStream stream) {
  logLine("DeinitCompress %d %u", finished, stream);
#ifdef FAKE_ENC_FAIL_FINISH
  (void)name;
  endFile(false);
  return finished == 1 ? 1 : 0;
#else
  endFile(finished == 1);
  if (finished == 1 && name != nullptr)
    std::snprintf(name, kAcdNameBytes, "%s.%s", g_path.c_str(), FAKE_ENC_EXT);
  return 0;
#endif
}
