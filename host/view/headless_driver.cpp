#include "host/view/headless_driver.h"

#include <algorithm>
#include <vector>

#include "sdk/ui/window.h"

namespace qomhost {

HeadlessDriver::HeadlessDriver() : windowThread_(std::this_thread::get_id()) {}

HeadlessDriver::~HeadlessDriver() = default;

bool HeadlessDriver::isWindowThread() const { return std::this_thread::get_id() == windowThread_; }

void HeadlessDriver::post(qom::ui::Window* target, std::function<void()> task) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    tasks_.emplace_back(target, std::move(task));
  }
  wake_.notify_all();
}

void HeadlessDriver::startTimer(qom::ui::Window* target, int id, int periodMs) {
  std::lock_guard<std::mutex> lock(mutex_);
  const int period = std::max(1, periodMs);
  timers_[{target, id}] = {period, Clock::now() + std::chrono::milliseconds(period)};
}

void HeadlessDriver::stopTimer(qom::ui::Window* target, int id) {
  std::lock_guard<std::mutex> lock(mutex_);
  timers_.erase({target, id});
}

void HeadlessDriver::forget(qom::ui::Window* target) {
  std::lock_guard<std::mutex> lock(mutex_);
  tasks_.erase(std::remove_if(tasks_.begin(), tasks_.end(),
                              [&](const auto& t) { return t.first == target; }),
               tasks_.end());
  for (auto it = timers_.begin(); it != timers_.end();)
    it = it->first.first == target ? timers_.erase(it) : std::next(it);
}

bool HeadlessDriver::runOneTask() {
  std::function<void()> task;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (tasks_.empty()) return false;
    task = std::move(tasks_.front().second);
    tasks_.pop_front();
  }
  task();
  return true;
}

int HeadlessDriver::runPending() {
  int ran = 0;
  while (runOneTask()) ++ran;
  return ran;
}

bool HeadlessDriver::fireTimer(qom::ui::Window* target, int id) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (timers_.count({target, id}) == 0) return false;
  }
  target->onTimer(id);
  return true;
}

int HeadlessDriver::timerPeriod(qom::ui::Window* target, int id) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = timers_.find({target, id});
  return it == timers_.end() ? 0 : it->second.periodMs;
}

void HeadlessDriver::runDueTimers() {
  // Collect first: a tick may start, stop or forget timers.
  std::vector<TimerKey> due;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto now = Clock::now();
    for (auto& [key, timer] : timers_)
      if (timer.due <= now) {
        due.push_back(key);
        timer.due = now + std::chrono::milliseconds(timer.periodMs);
      }
  }
  for (const TimerKey& key : due) {
    bool still;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      still = timers_.count(key) != 0;
    }
    if (still) key.first->onTimer(key.second);
  }
}

bool HeadlessDriver::runUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  const auto end = Clock::now() + timeout;
  while (true) {
    runPending();
    runDueTimers();
    runPending();
    if (done()) return true;
    std::unique_lock<std::mutex> lock(mutex_);
    auto next = end;
    for (const auto& [key, timer] : timers_) next = std::min(next, timer.due);
    // Wake at least every 20 ms so that `done` sees state other threads
    // changed without posting.
    next = std::min(next, Clock::now() + std::chrono::milliseconds(20));
    wake_.wait_until(lock, next, [&] { return !tasks_.empty(); });
    if (Clock::now() >= end && tasks_.empty()) {
      lock.unlock();
      return done();
    }
  }
}

}  // namespace qomhost
