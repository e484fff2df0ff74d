// The lookup thread against cddb-server on 127.0.0.1: one query (210, three
// matches) and three reads per lookup. Prints the wall time and the lookup
// thread's own CPU time (CLOCK_THREAD_CPUTIME_ID, read inside the thread as
// it ends). Goal: CPU time under 10 ms a lookup, i.e. no spinning while the
// server works; the wall time is the server's.
//
//   lookup_bench [--rounds 20] [--delay MS]
//
// --delay makes the server wait before each reply, which shows that a
// slower server costs wall time only.
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>
#include <vector>

#include "rondel/metadata/disc_id.h"
#include "rondel/metadata/lookup_thread.h"
#include "rondel/metadata/lookup_urls.h"
#include "support/background_process.h"

namespace {

using Clock = std::chrono::steady_clock;

double threadCpuMs() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

// Records what one lookup offers and its thread's CPU time at the end.
class BenchOwner final : public rondel::LookupOwner {
 public:
  bool lookupStopRequested(std::uint64_t) const override { return false; }
  void lookupQuerying(std::uint64_t, const std::string&, const std::string&) override {}
  int offerEntry(std::uint64_t, const std::string&, rondel::FreedbEntry) override { return entries_++; }
  void chooseEntry(std::uint64_t, int) override {}
  void lookupEnded(std::uint64_t) override {
    std::lock_guard<std::mutex> lock(mutex_);
    cpuMs_ = threadCpuMs();
    ended_ = true;
    cv_.notify_all();
  }
  // Waits for the end; gives the thread's CPU time in ms.
  double waitEnded() {
    std::unique_lock<std::mutex> lock(mutex_);
    cv_.wait(lock, [&] { return ended_; });
    return cpuMs_;
  }
  int entries() const { return entries_; }

 private:
  int entries_ = 0;  // lookup thread only until the end
  std::mutex mutex_;
  std::condition_variable cv_;
  bool ended_ = false;
  double cpuMs_ = 0;
};

CdToc benchToc() {
  CdToc toc{};
  toc.firstTrack = 1;
  toc.lastTrack = 12;
  for (std::uint32_t t = 0; t <= 12; ++t) {
    const std::uint32_t sector = t == 0 ? 12 * 16000 : (t - 1) * 16000;
    toc.entries[t].startSector = sector;
    toc.entries[t].startMinute = (sector + 150) / 75 / 60;
    toc.entries[t].startSecond = (sector + 150) / 75 % 60;
  }
  return toc;
}

std::string entryText(const std::string& id, const std::string& title) {
  std::string text = "# xmcd\n#\n# Track frame offsets:\n";
  for (int t = 0; t < 12; ++t) text += "#\t" + std::to_string(t * 16000 + 150) + "\n";
  text += "#\n# Disc length: " + std::to_string(12 * 16000 / 75 + 2) + " seconds\n#\n";
  text += "DISCID=" + id + "\nDTITLE=" + title + "\nDYEAR=2024\nDGENRE=Bench\n";
  for (int t = 0; t < 12; ++t) text += "TTITLE" + std::to_string(t) + "=Track title " + std::to_string(t) + "\n";
  return text + "EXTD=\nPLAYORDER=\n";
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  int rounds = 20;
  std::string delay = "0";
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--rounds") == 0) rounds = std::max(1, std::atoi(argv[i + 1]));
    if (std::strcmp(argv[i], "--delay") == 0) delay = argv[i + 1];
  }
  const std::filesystem::path binDir = std::filesystem::canonical("/proc/self/exe").parent_path();
  const std::filesystem::path work = std::filesystem::temp_directory_path() /
                                     ("lookup-bench-" + std::to_string(::getpid()));
  const CdToc toc = benchToc();
  const std::string id = rondel::discIdText(rondel::computeDiscId(toc));
  for (const char* category : {"jazz", "misc", "rock"}) {
    std::filesystem::create_directories(work / category);
    std::ofstream(work / category / id) << entryText(id, std::string("Bench / ") + category);
  }
  int status = 0;
  {
    testing_support::BackgroundProcess server(
        {(binDir / "cddb-server").string(), "--root", work.string(), "--listen", "127.0.0.1:0",
         "--delay", delay, "--log", (work / "requests.log").string()},
        (work / "server.out").string());
    std::string line;
    if (!server.waitForLine("listening on 127.0.0.1:", &line)) {
      std::fprintf(stderr, "lookup_bench: cddb-server did not start (%s)\n", server.log().c_str());
      status = 1;
    } else {
      const std::string server = line.substr(std::strlen("listening on "));
      std::vector<double> wall, cpu;
      for (int r = 0; r < rounds; ++r) {
        BenchOwner owner;
        auto start = std::make_unique<rondel::LookupStart>();
        start->toc = toc;
        start->owner = &owner;
        start->settings.freedbServer = server;
        const auto began = Clock::now();
        std::thread thread(rondel::lookupThread, std::move(start));
        cpu.push_back(owner.waitEnded());
        wall.push_back(std::chrono::duration<double, std::milli>(Clock::now() - began).count());
        thread.join();
        if (owner.entries() != 3) {
          std::fprintf(stderr, "lookup_bench: round %d offered %d entries, not 3\n", r, owner.entries());
          status = 1;
        }
      }
      std::printf("lookup (query + 3 reads), %d rounds, server delay %s ms\n", rounds, delay.c_str());
      std::printf("  wall time:          median %8.2f ms   max %8.2f ms\n", median(wall),
                  *std::max_element(wall.begin(), wall.end()));
      std::printf("  lookup thread CPU:  median %8.2f ms   max %8.2f ms   (goal < 10 ms)\n",
                  median(cpu), *std::max_element(cpu.begin(), cpu.end()));
      if (*std::max_element(cpu.begin(), cpu.end()) >= 10) status = 1;
    }
  }
  std::error_code ignored;
  std::filesystem::remove_all(work, ignored);
  return status;
}
