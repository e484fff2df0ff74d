#pragma once
// The encoder libraries as the component sees them: loaded once with dlopen
// from the build's bin folder, their ACD2_* names looked up one by one
// (missing optional names stay null). Plus what the tests share: test audio,
// Windows-form paths, running the independent tools.
#include <cstdint>
#include <string>
#include <vector>

#include "sdk/encoder_api.h"

namespace encoder_test {

struct EncoderLibrary {
  std::string file;  // "lame.dll"
  std::string extension;  // ".mp3"
  std::uint32_t setting = 0;  // the format table's setting, or any for pcm
  ACD2_Initialize_t Initialize = nullptr;
  ACD2_InitCompress_t InitCompress = nullptr;
  ACD2_InitCompress2_t InitCompress2 = nullptr;
  ACD2_InitCompress3_t InitCompress3 = nullptr;
  ACD2_Compress_t Compress = nullptr;
  ACD2_DeinitCompress_t DeinitCompress = nullptr;
};

// lame.dll, ogg.dll or pcm.dll, loaded on first use and kept for the process
// (never unloaded, like the component does). Throws, which fails the test,
// when the library or a required name is missing.
const EncoderLibrary& library(const std::string& file);
std::vector<std::string> libraryNames();  // the three, in index order

// Interleaved 16-bit stereo: a tone on each channel (440 Hz left at half
// scale, 1 kHz right at about a third), seconds long.
std::vector<std::int16_t> toneAudio(double seconds);
// The same as raw CD-DA bytes (little-endian).
std::vector<std::uint8_t> cddaBytes(const std::vector<std::int16_t>& samples);
// Signal-to-noise ratio of decoded against input in dB (over the shorter).
double snrDb(const std::vector<std::int16_t>& input, const std::vector<std::int16_t>& decoded);
std::vector<std::int16_t> samplesOf(const std::string& rawBytes);

// "/tmp/x/y" -> "Z:\tmp\x\y".
std::string windowsPath(const std::string& nativePath);

// Feeds bytes to an open stream in calls of at most 28 224 bytes, as the
// component does. The first nonzero result, or 0.
std::int32_t compressAll(const EncoderLibrary& lib, const std::vector<std::uint8_t>& bytes,
                         AcdStream stream);
// Feeds `audio` to an open stream and finishes it: the name the library
// reported, or "" when a call failed.
std::string finishFile(const EncoderLibrary& lib, AcdStream stream,
                       const std::vector<std::uint8_t>& audio);
// The same for a stream it opens on `windowsBase` with `setting`.
std::string encodeFile(const EncoderLibrary& lib, const std::string& windowsBase,
                       std::uint32_t setting, const std::vector<std::uint8_t>& audio);

// Runs a program found on PATH. Throws, which fails the test, when it is
// missing: the tools are part of the test setup, never a reason to skip.
struct ToolResult {
  int exitCode = -1;
  std::string out;
  std::string err;
};
ToolResult runTool(const std::vector<std::string>& argv);

// The samples of a finished file, decoded by an independent decoder chosen
// by its extension: mpg123 (gapless, as by default), oggdec or ffmpeg.
std::vector<std::int16_t> decodeFile(const std::string& path);
// ffprobe's "sample_rate=...\nchannels=...\nbit_rate=...\n" for the audio.
std::string probeStream(const std::string& path);

// Names in a folder, "." and ".." left out, sorted.
std::vector<std::string> folderEntries(const std::string& folder);

}  // namespace encoder_test
