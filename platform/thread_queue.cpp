#include "platform/thread_queue.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>

namespace platform {

// One thread's messages. `mutex` guards `messages`; the owner waits on
// `arrived`, any poster notifies it.
struct ThreadMessageQueue::State {
  std::mutex mutex;
  std::condition_variable arrived;
  std::deque<ThreadMessage> messages;

  // Takes the oldest message in range; caller holds `mutex`.
  bool takeLocked(std::uint32_t first, std::uint32_t last, ThreadMessage& out) {
    const auto it = std::find_if(messages.begin(), messages.end(), [&](const ThreadMessage& m) {
      return m.message >= first && m.message <= last;
    });
    if (it == messages.end()) return false;
    out = *it;
    messages.erase(it);
    return true;
  }
};

namespace {

// Which threads have a queue. Any thread; guarded by `mutex`.
struct Registry {
  struct Entry {
    std::shared_ptr<ThreadMessageQueue::State> state;
    std::size_t users = 0;
  };
  std::mutex mutex;
  std::map<ThreadId, Entry> queues;
};

Registry& registry() {
  // Goes with the module that holds it. Every thread that posts or owns a
  // queue is joined before its module is unloaded (readers by their worker,
  // workers by the window), so none can reach it afterwards.
  static Registry r;
  return r;
}

}  // namespace

ThreadId currentThreadId() { return static_cast<ThreadId>(::syscall(SYS_gettid)); }

ThreadMessageQueue::ThreadMessageQueue() : owner_(currentThreadId()) {
  Registry& r = registry();
  std::lock_guard<std::mutex> lock(r.mutex);
  Registry::Entry& entry = r.queues[owner_];
  if (!entry.state) entry.state = std::make_shared<State>();
  ++entry.users;
  state_ = entry.state;
}

ThreadMessageQueue::~ThreadMessageQueue() {
  Registry& r = registry();
  std::lock_guard<std::mutex> lock(r.mutex);
  const auto it = r.queues.find(owner_);
  if (it != r.queues.end() && --it->second.users == 0) r.queues.erase(it);
}

ThreadMessage ThreadMessageQueue::get(std::uint32_t first, std::uint32_t last) {
  std::unique_lock<std::mutex> lock(state_->mutex);
  ThreadMessage out;
  state_->arrived.wait(lock, [&] { return state_->takeLocked(first, last, out); });
  return out;
}

bool ThreadMessageQueue::peek(std::uint32_t first, std::uint32_t last, ThreadMessage& out) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->takeLocked(first, last, out);
}

bool postThreadMessage(ThreadId thread, std::uint32_t message, std::uintptr_t wParam,
                       std::intptr_t lParam) {
  std::shared_ptr<ThreadMessageQueue::State> state;
  {
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    const auto it = r.queues.find(thread);
    if (it == r.queues.end()) return false;
    state = it->second.state;
  }
  {
    std::lock_guard<std::mutex> lock(state->mutex);
    if (state->messages.size() >= kMaxQueuedMessages) return false;
    try {
      state->messages.push_back(ThreadMessage{message, wParam, lParam});
    } catch (...) {
      return false;  // out of memory: the post fails like a full queue
    }
  }
  state->arrived.notify_all();
  return true;
}

}  // namespace platform
