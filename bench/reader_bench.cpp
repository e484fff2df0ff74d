// The audio reader alone, with a null encoder: a disc image (CUE/BIN of
// music-like audio) is read track-long through the block ring and the
// thread message queue, every block handed straight back. Plain reads
// against overlapped ones ("Resync" on), from cdr.dll's image drive (exact)
// and from a simulated drive playing the same audio with random jitter of
// up to three sectors: sectors per second and process CPU per sector
// (reader and receiver threads together).
//
//   reader_bench [--minutes N] [Google Benchmark flags]
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "bench/bench_audio.h"
#include "platform/module.h"
#include "platform/thread_queue.h"
#include "platform/winpath.h"
#include "rondel/drive/drive_library.h"
#include "rondel/rip/audio_reader.h"

namespace {

constexpr std::uint32_t kMessage = 0x8000;
std::uint32_t g_sectors = 0;  // of the image's one track; set before the benchmarks run

double processCpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + ts.tv_nsec * 1e-9;
}

// Reads the whole track once; false if the reader reported an error.
bool readTrack(bool resync, std::uint32_t drive) {
  platform::ThreadMessageQueue queue;
  rondel::AudioReader reader(*rondel::driveAt(drive));
  if (!reader.InitCDDA(0x80000, 12, resync) || !reader.BeginCDDA(0, g_sectors, kMessage))
    return false;
  for (;;) {
    auto* block = reinterpret_cast<rondel::AudioBlock*>(queue.get(kMessage, kMessage).wParam);
    if (block->error) return false;
    const bool last = block->last;
    benchmark::DoNotOptimize(block->data()[0]);
    reader.releaseBlock(block);
    if (last) break;
  }
  reader.StopCDDA();
  reader.EndCDDA();
  return true;
}

void BM_ReadTrack(benchmark::State& state) {
  const bool resync = state.range(0) != 0;
  const auto drive = static_cast<std::uint32_t>(state.range(1));
  double cpu = 0;
  for (auto _ : state) {
    const double before = processCpuSeconds();
    if (!readTrack(resync, drive)) {
      state.SkipWithError("the reader failed");
      return;
    }
    cpu += processCpuSeconds() - before;
  }
  const double sectors = static_cast<double>(g_sectors) * static_cast<double>(state.iterations());
  state.counters["sectors/s"] = benchmark::Counter(sectors, benchmark::Counter::kIsRate);
  state.counters["cpu_us/sector"] = cpu * 1e6 / sectors;
  state.SetLabel(std::string(resync ? "resync" : "plain") + (drive == 0 ? ", exact drive" : ", jitter 3 sectors"));
}
BENCHMARK(BM_ReadTrack)
    ->Args({0, 0})
    ->Args({1, 0})
    ->Args({1, 1})
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2.0);

// Writes <dir>/disc.cue and disc.bin (libcdio reads the BIN named after the
// sheet) with `minutes` of audio as one track.
bool writeImage(const std::string& dir, double minutes) {
  const std::vector<std::uint8_t> audio = bench::musicLikeAudio(minutes * 60);
  g_sectors = static_cast<std::uint32_t>(audio.size() / 2352);
  std::ofstream bin(dir + "/disc.bin", std::ios::binary);
  bin.write(reinterpret_cast<const char*>(audio.data()),
            static_cast<std::streamsize>(std::size_t{g_sectors} * 2352));
  std::ofstream cue(dir + "/disc.cue");
  cue << "FILE \"disc.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n";
  return bin.good() && cue.good();
}

}  // namespace

int main(int argc, char** argv) {
  double minutes = 5;
  for (int i = 1; i + 1 < argc; ++i)
    if (std::strcmp(argv[i], "--minutes") == 0) {
      minutes = std::atof(argv[i + 1]);
      for (int j = i; j + 2 <= argc; ++j) argv[j] = argv[j + 2];
      argc -= 2;
      break;
    }
  char dir[] = "/tmp/reader-bench-XXXXXX";
  if (mkdtemp(dir) == nullptr || !writeImage(dir, minutes)) {
    std::fprintf(stderr, "reader_bench: cannot write the disc image\n");
    return 1;
  }
  const std::string config = std::string(dir) + "/cdr.json";
  std::ofstream(config) << R"({"drives": [{"type": "image", "path": "disc.cue"},)"
                         << R"( {"type": "simulated", "name": "Jitter", "tracks": [{"sectors": )" << g_sectors
                         << R"(}], "audio": {"file": "disc.bin"}, "jitter": {"max_bytes": 7056, "seed": 1}}]})";
  setenv("CDR_CONFIG", config.c_str(), 1);
  const std::string exe = platform::executablePath();
  int rc = 1;
  if (rondel::OpenDrives(platform::toWindowsPath(exe.substr(0, exe.rfind('/')))) == 2) {
    std::printf("image: %u sectors (%.1f min) of music-like audio\n", g_sectors, minutes);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    rc = 0;
  } else {
    std::fprintf(stderr, "reader_bench: cdr.dll offers not both drives\n");
  }
  rondel::CloseDrives();
  for (const char* name : {"/disc.bin", "/disc.cue", "/cdr.json"}) unlink((dir + std::string(name)).c_str());
  rmdir(dir);
  return rc;
}
