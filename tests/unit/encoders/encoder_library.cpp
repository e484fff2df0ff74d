#include "unit/encoders/encoder_library.h"

#include <dlfcn.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>
#include <mutex>
#include <stdexcept>

#include "support/run_command.h"
#include "support/temp_dir.h"

namespace encoder_test {
namespace {

template <class T>
T symbol(void* handle, const char* name) {
  return reinterpret_cast<T>(dlsym(handle, name));
}

EncoderLibrary load(const std::string& file) {
  static const std::map<std::string, std::pair<std::string, std::uint32_t>> kFormats = {
      {"lame.dll", {".mp3", 8}}, {"ogg.dll", {".ogg", 6}}, {"pcm.dll", {".wav", 0}}};
  const auto format = kFormats.find(file);
  if (format == kFormats.end()) throw std::runtime_error("no such encoder library " + file);
  const std::string path = testing_support::binDir() + "/" + file;
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) throw std::runtime_error(std::string("dlopen: ") + dlerror());
  EncoderLibrary lib;
  lib.file = file;
  lib.extension = format->second.first;
  lib.setting = format->second.second;
  lib.Initialize = symbol<ACD2_Initialize_t>(handle, "ACD2_Initialize");
  lib.InitCompress = symbol<ACD2_InitCompress_t>(handle, "ACD2_InitCompress");
  lib.InitCompress2 = symbol<ACD2_InitCompress2_t>(handle, "ACD2_InitCompress2");
  lib.InitCompress3 = symbol<ACD2_InitCompress3_t>(handle, "ACD2_InitCompress3");
  lib.Compress = symbol<ACD2_Compress_t>(handle, "ACD2_Compress");
  lib.DeinitCompress = symbol<ACD2_DeinitCompress_t>(handle, "ACD2_DeinitCompress");
  if (!lib.Initialize || !lib.InitCompress || !lib.Compress || !lib.DeinitCompress) {
    throw std::runtime_error(file + " lacks a required ACD2_ name");
  }
  return lib;
}

}  // namespace

const EncoderLibrary& library(const std::string& file) {
  static std::mutex mutex;
  static std::map<std::string, EncoderLibrary> loaded;
  std::lock_guard<std::mutex> lock(mutex);
  if (loaded.empty()) {
    // The libraries read the drive map once; only C: and Z: exist here, so
    // every other letter is unmapped whatever the environment says.
    ::setenv("QOM_DRIVE_MAP", "", 1);
  }
  auto it = loaded.find(file);
  if (it == loaded.end()) it = loaded.emplace(file, load(file)).first;
  return it->second;
}

std::vector<std::string> libraryNames() { return {"lame.dll", "ogg.dll", "pcm.dll"}; }

std::vector<std::int16_t> toneAudio(double seconds) {
  const std::size_t frames = static_cast<std::size_t>(seconds * 44100);
  std::vector<std::int16_t> out(frames * 2);
  for (std::size_t i = 0; i < frames; ++i) {
    const double t = static_cast<double>(i) / 44100;
    out[2 * i] = static_cast<std::int16_t>(16000 * std::sin(2 * M_PI * 440 * t));
    out[2 * i + 1] = static_cast<std::int16_t>(10000 * std::sin(2 * M_PI * 1000 * t));
  }
  return out;
}

std::vector<std::uint8_t> cddaBytes(const std::vector<std::int16_t>& samples) {
  std::vector<std::uint8_t> out;
  out.reserve(samples.size() * 2);
  for (std::int16_t s : samples) {
    out.push_back(static_cast<std::uint8_t>(s & 0xFF));
    out.push_back(static_cast<std::uint8_t>((static_cast<std::uint16_t>(s) >> 8) & 0xFF));
  }
  return out;
}

std::vector<std::int16_t> samplesOf(const std::string& rawBytes) {
  std::vector<std::int16_t> out(rawBytes.size() / 2);
  for (std::size_t i = 0; i < out.size(); ++i) {
    const auto lo = static_cast<std::uint8_t>(rawBytes[2 * i]);
    const auto hi = static_cast<std::uint8_t>(rawBytes[2 * i + 1]);
    out[i] = static_cast<std::int16_t>(static_cast<std::uint16_t>(lo | (hi << 8)));
  }
  return out;
}

double snrDb(const std::vector<std::int16_t>& input, const std::vector<std::int16_t>& decoded) {
  const std::size_t n = std::min(input.size(), decoded.size());
  double signal = 0, noise = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const double d = static_cast<double>(input[i]) - decoded[i];
    signal += static_cast<double>(input[i]) * input[i];
    noise += d * d;
  }
  return noise == 0 ? 200.0 : 10 * std::log10(signal / noise);
}

std::string windowsPath(const std::string& nativePath) {
  std::string out = "Z:";
  for (char c : nativePath) out += c == '/' ? '\\' : c;
  return out;
}

std::int32_t compressAll(const EncoderLibrary& lib, const std::vector<std::uint8_t>& bytes,
                         AcdStream stream) {
  for (std::size_t at = 0; at < bytes.size(); at += kAcdMaxCompressBytes) {
    const std::size_t n = std::min(kAcdMaxCompressBytes, bytes.size() - at);
    if (const std::int32_t r = lib.Compress(bytes.data() + at, static_cast<std::uint32_t>(n), stream))
      return r;
  }
  return 0;
}

std::string finishFile(const EncoderLibrary& lib, AcdStream stream,
                       const std::vector<std::uint8_t>& audio) {
  const bool fed = compressAll(lib, audio, stream) == 0;
  char name[kAcdNameBytes] = "";
  const bool finished = lib.DeinitCompress(fed ? 1 : 0, name, stream) == 0;
  return fed && finished ? name : "";
}

std::string encodeFile(const EncoderLibrary& lib, const std::string& windowsBase,
                       std::uint32_t setting, const std::vector<std::uint8_t>& audio) {
  AcdStream stream = 0;
  if (lib.InitCompress(windowsBase.c_str(), 0, setting, 0, &stream) != 0) return "";
  return finishFile(lib, stream, audio);
}

ToolResult runTool(const std::vector<std::string>& argv) {
  std::vector<std::string> args = argv;
  args[0] = testing_support::findProgram(argv[0]);
  if (args[0].empty()) throw std::runtime_error(argv[0] + " is not installed (scripts/setup)");
  const testing_support::CommandResult r = testing_support::runCommand(args);
  return {r.exitCode, r.out, r.err};
}

std::vector<std::int16_t> decodeFile(const std::string& path) {
  const std::string ext = path.size() > 4 ? path.substr(path.size() - 4) : "";
  const std::vector<std::string> argv =
      ext == ".mp3"   ? std::vector<std::string>{"mpg123", "-q", "-s", path}
      : ext == ".ogg" ? std::vector<std::string>{"oggdec", "-Q", "-R", "-o", "-", path}
                      : std::vector<std::string>{"ffmpeg", "-v", "error", "-i", path, "-f",
                                                 "s16le", "-"};
  const ToolResult r = runTool(argv);
  if (r.exitCode != 0) throw std::runtime_error(argv[0] + " failed on " + path + ": " + r.err);
  return samplesOf(r.out);
}

std::string probeStream(const std::string& path) {
  return runTool({"ffprobe", "-v", "error", "-select_streams", "a:0", "-show_entries",
                  "stream=sample_rate,channels,bit_rate", "-of", "default=noprint_wrappers=1",
                  path})
      .out;
}

std::vector<std::string> folderEntries(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ec))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace encoder_test
