#include "rondel/metadata/lookup_threads.h"

#include <algorithm>

namespace rondel {

void LookupThreads::start(std::unique_ptr<LookupStart> start) {
  auto job = std::make_shared<std::unique_ptr<LookupStart>>(std::move(start));
  run([job] { lookupThread(std::move(*job)); });
}

void LookupThreads::run(std::function<void()> body) {
  reap();
  auto finished = std::make_shared<std::atomic<bool>>(false);
  std::thread thread([finished, body = std::move(body)] {
    body();
    finished->store(true);
  });
  threads_.push_back({std::move(thread), std::move(finished)});
}

void LookupThreads::reap() {
  auto done = std::stable_partition(threads_.begin(), threads_.end(),
                                    [](const Running& r) { return !r.finished->load(); });
  // A finished thread has only its return left: joining it is prompt.
  for (auto it = done; it != threads_.end(); ++it) it->thread.join();
  threads_.erase(done, threads_.end());
}

void LookupThreads::joinAll() {
  for (Running& r : threads_)
    if (r.thread.joinable()) r.thread.join();
  threads_.clear();
}

}  // namespace rondel
