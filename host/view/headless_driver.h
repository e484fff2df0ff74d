#pragma once
// The window thread's loop without a display: for tests and the command
// line. The thread that makes the driver is the window thread. Tests pump
// it by hand (posted tasks, one timer tick) without sleeping; the command
// line runs it in real time until a condition holds.
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <thread>
#include <utility>

#include "sdk/ui/event_loop.h"

namespace qomhost {

class HeadlessDriver final : public qom::ui::EventLoop {
 public:
  HeadlessDriver();
  ~HeadlessDriver() override;

  bool isWindowThread() const override;
  void post(qom::ui::Window* target, std::function<void()> task) override;
  void startTimer(qom::ui::Window* target, int id, int periodMs) override;
  void stopTimer(qom::ui::Window* target, int id) override;
  void forget(qom::ui::Window* target) override;

  // Window thread. Runs the tasks posted so far (and those they post), in
  // order; answers how many ran.
  int runPending();
  // Window thread. One tick of a running timer now, whatever its period;
  // false when `target` has no timer `id`.
  bool fireTimer(qom::ui::Window* target, int id);
  // The period of a running timer, or 0.
  int timerPeriod(qom::ui::Window* target, int id) const;
  // Window thread. Runs posted tasks and due timers in real time until
  // `done` answers true (checked after each step) or `timeout` passes;
  // answers `done`'s last answer.
  bool runUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);

 private:
  using Clock = std::chrono::steady_clock;
  struct Timer {
    int periodMs;
    Clock::time_point due;
  };
  using TimerKey = std::pair<qom::ui::Window*, int>;
  bool runOneTask();
  void runDueTimers();

  const std::thread::id windowThread_;
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::pair<qom::ui::Window*, std::function<void()>>> tasks_;
  std::map<TimerKey, Timer> timers_;
};

}  // namespace qomhost
