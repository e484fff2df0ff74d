// The cost of the copy checks against the rip itself: CPU time of the
// checksums the rip worker computes (CRC-32, AccurateRip v1/v2, fed 12
// sectors at a time as the worker feeds them) against the CPU time of
// lame.dll encoding the same audio at the component's default setting.
// Goal: the checksums under 1 % of the encode.
//
//   checksum_bench [--seconds 300] [--rounds 5] [--work DIR]
//
// Both figures are the calling thread's CPU time (CLOCK_THREAD_CPUTIME_ID);
// medians over the rounds are compared.
#include <dlfcn.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/bench_audio.h"
#include "sdk/encoder_api.h"
#include "sdk/verify/accuraterip.h"

namespace {

namespace fs = std::filesystem;

constexpr std::size_t kBlockBytes = 12 * 2352;  // the worker's block
constexpr std::uint32_t kMp3Setting = 8;        // "1: MPEG Layer-3 [.mp3] - 112 kbit/s"

double threadCpu() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + t.tv_nsec * 1e-9;
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const std::size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// CPU seconds of the checksums over the audio; `out` keeps the result so
// the work cannot be left out.
double checksums(const std::vector<std::uint8_t>& audio, std::uint32_t& out) {
  const double start = threadCpu();
  verify::TrackChecksums sums(static_cast<std::uint32_t>(audio.size() / 4), true, true);
  for (std::size_t at = 0; at < audio.size(); at += kBlockBytes)
    sums.add(audio.data() + at, std::min(kBlockBytes, audio.size() - at));
  out ^= sums.crc32() ^ sums.accurateRipV1() ^ sums.accurateRipV2();
  return threadCpu() - start;
}

// CPU seconds of zlib's CRC-32 alone over the same blocks (its share).
double crcOnly(const std::vector<std::uint8_t>& audio, std::uint32_t& out) {
  const double start = threadCpu();
  uLong crc = ::crc32(0L, Z_NULL, 0);
  for (std::size_t at = 0; at < audio.size(); at += kBlockBytes)
    crc = ::crc32(crc, audio.data() + at, static_cast<uInt>(std::min(kBlockBytes, audio.size() - at)));
  out ^= static_cast<std::uint32_t>(crc);
  return threadCpu() - start;
}

struct Lame {
  ACD2_InitCompress_t init = nullptr;
  ACD2_Compress_t compress = nullptr;
  ACD2_DeinitCompress_t deinit = nullptr;
};

// CPU seconds of lame.dll encoding the audio in the worker's blocks; < 0 on
// a failure.
double encode(const Lame& lame, const std::string& windowsBase, const std::vector<std::uint8_t>& audio) {
  const double start = threadCpu();
  AcdStream stream = 0;
  if (lame.init(windowsBase.c_str(), 0, kMp3Setting, 0, &stream) != 0) return -1;
  char name[kAcdNameBytes];
  for (std::size_t at = 0; at < audio.size(); at += kBlockBytes)
    if (lame.compress(audio.data() + at, static_cast<std::uint32_t>(std::min(kBlockBytes, audio.size() - at)),
                      stream) != 0) {
      lame.deinit(0, name, stream);
      return -1;
    }
  if (lame.deinit(1, name, stream) != 0) return -1;
  return threadCpu() - start;
}

std::string windowsForm(const std::string& native) {
  std::string out = "Z:";
  for (char c : native) out += c == '/' ? '\\' : c;
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  double seconds = 300;
  int rounds = 5;
  std::string work = fs::temp_directory_path() / ("checksum-bench-" + std::to_string(::getpid()));
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string option = argv[i];
    if (option == "--seconds") seconds = std::atof(argv[i + 1]);
    else if (option == "--rounds") rounds = std::atoi(argv[i + 1]);
    else if (option == "--work") work = argv[i + 1];
  }
  if (seconds <= 0 || rounds < 1) {
    std::fprintf(stderr, "usage: checksum_bench [--seconds N] [--rounds N] [--work DIR]\n");
    return 2;
  }
  const std::string bin = fs::canonical("/proc/self/exe").parent_path();
  void* handle = dlopen((bin + "/lame.dll").c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    std::fprintf(stderr, "%s\n", dlerror());
    return 1;
  }
  Lame lame{reinterpret_cast<ACD2_InitCompress_t>(dlsym(handle, "ACD2_InitCompress")),
            reinterpret_cast<ACD2_Compress_t>(dlsym(handle, "ACD2_Compress")),
            reinterpret_cast<ACD2_DeinitCompress_t>(dlsym(handle, "ACD2_DeinitCompress"))};
  if (!lame.init || !lame.compress || !lame.deinit) return 1;
  fs::create_directories(work);
  const std::vector<std::uint8_t> audio = bench::musicLikeAudio(seconds);

  std::vector<double> sumCpu, crcCpu, encodeCpu;
  std::uint32_t keep = 0;
  for (int r = 0; r < rounds; ++r) {
    sumCpu.push_back(checksums(audio, keep));
    crcCpu.push_back(crcOnly(audio, keep));
    const double e = encode(lame, windowsForm(work + "/round"), audio);
    if (e < 0) {
      std::fprintf(stderr, "lame.dll failed\n");
      return 1;
    }
    encodeCpu.push_back(e);
  }
  fs::remove_all(work);
  const double s = median(sumCpu), e = median(encodeCpu);
  std::printf("audio %.0f s, %d rounds (medians, thread CPU)\n", seconds, rounds);
  std::printf("checksums (CRC-32 + AccurateRip v1/v2): %.4f s (%.0f MB/s)\n", s, audio.size() / s / 1e6);
  std::printf("  of which zlib CRC-32:                 %.4f s\n", median(crcCpu));
  std::printf("lame.dll setting %u encode:             %.3f s\n", kMp3Setting, e);
  std::printf("checksums / encode: %.3f %% (goal under 1 %%)  [%08x]\n", 100.0 * s / e, keep);
  return s / e < 0.01 ? 0 : 1;
}
