// Encode throughput of lame.dll and ogg.dll against the lame and oggenc
// commands on the same audio: runs alternate (library, command, library,
// command, ...), medians are compared. The goal is a ratio of at most 1.02:
// the library adds nothing measurable over the encoder itself.
//
//   encoder_bench [--seconds 600] [--rounds 3] [--work DIR]
//
// CPU time is the main figure (user + system: the encoding thread's own for
// the library, the child's for the command); wall-clock time is shown too,
// and is noisier on a shared machine. The library's time includes opening,
// every ACD2_Compress call and the finished close (flush, fsync, rename).
#include <dlfcn.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "bench/bench_audio.h"
#include "sdk/encoder_api.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

struct Times {
  double cpu = 0;   // seconds
  double wall = 0;  // seconds
  double close = 0;  // library only: wall seconds of the finished close
};

double threadCpu() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + t.tv_nsec * 1e-9;
}

double now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

struct Library {
  ACD2_InitCompress_t init = nullptr;
  ACD2_Compress_t compress = nullptr;
  ACD2_DeinitCompress_t deinit = nullptr;
};

bool loadLibrary(const std::string& path, Library& lib) {
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);  // kept for the process
  if (handle == nullptr) {
    std::fprintf(stderr, "%s\n", dlerror());
    return false;
  }
  lib.init = reinterpret_cast<ACD2_InitCompress_t>(dlsym(handle, "ACD2_InitCompress"));
  lib.compress = reinterpret_cast<ACD2_Compress_t>(dlsym(handle, "ACD2_Compress"));
  lib.deinit = reinterpret_cast<ACD2_DeinitCompress_t>(dlsym(handle, "ACD2_DeinitCompress"));
  return lib.init && lib.compress && lib.deinit;
}

// Encodes the audio as the component does: 12-sector calls, then a finished
// close. False when any call fails.
bool runLibrary(const Library& lib, const std::string& windowsBase, std::uint32_t setting,
                const std::vector<std::uint8_t>& audio, Times& t) {
  const double cpu0 = threadCpu(), wall0 = now();
  AcdStream stream = 0;
  if (lib.init(windowsBase.c_str(), 0, setting, 0, &stream) != 0) return false;
  for (std::size_t at = 0; at < audio.size(); at += kAcdMaxCompressBytes) {
    const std::size_t n = std::min(kAcdMaxCompressBytes, audio.size() - at);
    if (lib.compress(audio.data() + at, static_cast<std::uint32_t>(n), stream) != 0) {
      char name[kAcdNameBytes];
      lib.deinit(0, name, stream);
      return false;
    }
  }
  const double close0 = now();
  char name[kAcdNameBytes];
  if (lib.deinit(1, name, stream) != 0) return false;
  t.close = now() - close0;
  t.cpu = threadCpu() - cpu0;
  t.wall = now() - wall0;
  return true;
}

bool runCommand(const std::vector<std::string>& argv, Times& t) {
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  const double wall0 = now();
  pid_t pid = 0;
  if (posix_spawnp(&pid, args[0], nullptr, nullptr, args.data(), environ) != 0) return false;
  int status = 0;
  rusage usage{};
  if (wait4(pid, &status, 0, &usage) != pid) return false;
  t.wall = now() - wall0;
  t.cpu = usage.ru_utime.tv_sec + usage.ru_utime.tv_usec * 1e-6 + usage.ru_stime.tv_sec +
          usage.ru_stime.tv_usec * 1e-6;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const std::size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

bool sameContents(const std::string& a, const std::string& b) {
  std::ifstream fa(a, std::ios::binary), fb(b, std::ios::binary);
  return std::equal(std::istreambuf_iterator<char>(fa), std::istreambuf_iterator<char>(),
                    std::istreambuf_iterator<char>(fb), std::istreambuf_iterator<char>());
}

std::string windowsForm(const std::string& native) {
  std::string out = "Z:";
  for (char c : native) out += c == '/' ? '\\' : c;
  return out;
}

struct Comparison {
  const char* label;
  const char* library;
  std::uint32_t setting;
  const char* extension;
  std::vector<std::string> command;  // "IN" and "OUT" are replaced
};

bool compare(const Comparison& c, const std::string& bin, const std::string& work,
             const std::string& wave, const std::vector<std::uint8_t>& audio, int rounds) {
  Library lib;
  if (!loadLibrary(bin + "/" + c.library, lib)) return false;
  const std::string libOut = work + "/library";
  const std::string cliOut = work + "/command" + c.extension;
  std::vector<std::string> argv = c.command;
  for (std::string& a : argv) a = a == "IN" ? wave : a == "OUT" ? cliOut : a;

  std::vector<double> libCpu, libWall, libClose, cliCpu, cliWall;
  std::printf("%s\n", c.label);
  for (int r = 0; r < rounds; ++r) {
    Times a, b;
    if (!runLibrary(lib, windowsForm(libOut), c.setting, audio, a)) {
      std::fprintf(stderr, "%s failed\n", c.library);
      return false;
    }
    if (!runCommand(argv, b)) {
      std::fprintf(stderr, "%s failed\n", argv[0].c_str());
      return false;
    }
    libCpu.push_back(a.cpu), libWall.push_back(a.wall), libClose.push_back(a.close);
    cliCpu.push_back(b.cpu), cliWall.push_back(b.wall);
    std::printf("  round %d: library %.2f s cpu %.2f s wall, command %.2f s cpu %.2f s wall\n",
                r + 1, a.cpu, a.wall, b.cpu, b.wall);
    std::fflush(stdout);
  }
  const auto libSize = fs::file_size(libOut + c.extension);
  const auto cliSize = fs::file_size(cliOut);
  std::printf("  library  %7.2f s cpu  %7.2f s wall  (close with fsync %.3f s)  %llu bytes\n",
              median(libCpu), median(libWall), median(libClose),
              static_cast<unsigned long long>(libSize));
  std::printf("  command  %7.2f s cpu  %7.2f s wall  %llu bytes\n", median(cliCpu),
              median(cliWall), static_cast<unsigned long long>(cliSize));
  std::printf("  files identical: %s\n",
              sameContents(libOut + c.extension, cliOut) ? "yes" : "no");
  std::printf("  ratio library/command: cpu %.3f, wall %.3f (goal <= 1.02)\n",
              median(libCpu) / median(cliCpu), median(libWall) / median(cliWall));
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  double seconds = 600;
  int rounds = 3;
  std::string work;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string flag = argv[i];
    if (flag == "--seconds") seconds = std::atof(argv[i + 1]);
    else if (flag == "--rounds") rounds = std::atoi(argv[i + 1]);
    else if (flag == "--work") work = argv[i + 1];
  }
  if (seconds <= 0 || rounds <= 0) {
    std::fprintf(stderr, "usage: encoder_bench [--seconds S] [--rounds N] [--work DIR]\n");
    return 2;
  }
  const fs::path bin = fs::read_symlink("/proc/self/exe").parent_path();
  bool madeWork = false;
  if (work.empty()) {
    std::string pattern = (fs::temp_directory_path() / "rondel-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) return 1;
    work = pattern;
    madeWork = true;
  }
  work = fs::absolute(work).string();

  std::printf("%.0f s of CD audio, %d rounds each, medians; work folder %s\n", seconds, rounds,
              work.c_str());
  const std::vector<std::uint8_t> audio = bench::musicLikeAudio(seconds);
  const std::string wave = work + "/input.wav";
  if (!bench::writeWave(wave, audio)) return 1;

  const Comparison comparisons[] = {
      {"lame.dll setting 8 against lame -b 112", "lame.dll", 8, ".mp3",
       {"lame", "--quiet", "-b", "112", "IN", "OUT"}},
      {"ogg.dll setting 6 against oggenc -b 112", "ogg.dll", 6, ".ogg",
       {"oggenc", "-Q", "-b", "112", "-o", "OUT", "IN"}},
  };
  bool ok = true;
  for (const Comparison& c : comparisons) ok = compare(c, bin.string(), work, wave, audio, rounds) && ok;
  if (madeWork) fs::remove_all(work);
  return ok ? 0 : 1;
}
