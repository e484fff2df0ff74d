#pragma once
// Thread message queues: a thread that owns a queue can be posted messages
// by its thread id from any thread, and takes them out in its own time, the
// way a thread of the original system receives PostThreadMessage. A thread
// without a queue cannot be posted to: the post fails, so a sender never
// loses a message silently.
//
// Threads: postThreadMessage from any thread; a queue's get() only on the
// thread that made it. The registry of queues and each queue's messages sit
// under their own mutexes.
#include <cstddef>
#include <cstdint>
#include <memory>

namespace platform {

// The kernel's id of a thread (gettid); unique among living threads.
using ThreadId = std::uint64_t;
ThreadId currentThreadId();

struct ThreadMessage {
  std::uint32_t message = 0;
  std::uintptr_t wParam = 0;
  std::intptr_t lParam = 0;
};

// Most messages one queue holds; a post beyond it fails (a bound, as the
// original system's per-thread limit).
constexpr std::size_t kMaxQueuedMessages = 10000;

// The calling thread's queue, from construction to destruction. A second
// queue made on a thread that has one shares it; the thread stops being
// postable when the last of them goes, and messages still queued are
// dropped then.
class ThreadMessageQueue {
 public:
  ThreadMessageQueue();
  ~ThreadMessageQueue();
  ThreadMessageQueue(const ThreadMessageQueue&) = delete;
  ThreadMessageQueue& operator=(const ThreadMessageQueue&) = delete;

  // Waits, with no time-out, for the oldest message numbered first..last;
  // messages outside that range stay queued in their order. Owner thread only.
  ThreadMessage get(std::uint32_t first, std::uint32_t last);
  // Takes such a message if one is queued, without waiting.
  bool peek(std::uint32_t first, std::uint32_t last, ThreadMessage& out);

  ThreadId owner() const { return owner_; }

  struct State;

 private:
  ThreadId owner_;
  std::shared_ptr<State> state_;
};

// Queues a message for the thread `thread`. False when that thread has no
// queue, or its queue is full.
bool postThreadMessage(ThreadId thread, std::uint32_t message, std::uintptr_t wParam,
                       std::intptr_t lParam);

}  // namespace platform
