#pragma once
// The lookup threads of one window: the current one and the earlier ones
// that were asked to stop but may still be finishing a step. Starting a new
// lookup never waits for an old one; finished threads are joined at the next
// start, and joinAll (the window's destruction) joins every one.
//
// Window thread only.
#include <atomic>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "rondel/metadata/lookup_thread.h"

namespace rondel {

class LookupThreads {
 public:
  LookupThreads() = default;
  ~LookupThreads() { joinAll(); }
  LookupThreads(const LookupThreads&) = delete;
  LookupThreads& operator=(const LookupThreads&) = delete;

  // Runs lookupThread(start) on a new thread. The caller has already asked
  // any earlier lookup to stop (its owner answers lookupStopRequested).
  void start(std::unique_ptr<LookupStart> start);
  // Runs `body` on a new thread kept the same way (the AccurateRip lookup).
  void run(std::function<void()> body);
  // Joins the threads that have finished; never waits for a running one.
  void reap();
  // Joins every thread. The owner must have asked them all to stop.
  void joinAll();
  // Threads not yet joined (running or finished).
  std::size_t size() const { return threads_.size(); }

 private:
  struct Running {
    std::thread thread;
    std::shared_ptr<std::atomic<bool>> finished;  // set by the thread as its last act
  };
  std::vector<Running> threads_;
};

}  // namespace rondel
