#pragma once
// SIGINT and SIGTERM while a command waits for a disc or watches a copy:
// the handler only counts, and the command's loop looks at the count, so a
// copy is cancelled cleanly and whatever is known is still printed.
namespace qomhost {

// Counts SIGINT/SIGTERM while it lives (from 0) and puts the previous
// handlers back when it goes. One at a time, on the command's thread.
class InterruptGuard {
 public:
  InterruptGuard();
  ~InterruptGuard();
  InterruptGuard(const InterruptGuard&) = delete;
  InterruptGuard& operator=(const InterruptGuard&) = delete;
};

// The signals counted since the live guard was made (0 without one).
int interruptCount();

}  // namespace qomhost
