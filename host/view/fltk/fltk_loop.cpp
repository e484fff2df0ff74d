#include "host/view/fltk/fltk_loop.h"

#include <FL/Fl.H>

#include <algorithm>

#include "sdk/ui/window.h"

namespace qomhost::fltk {

FltkLoop::FltkLoop() : windowThread_(std::this_thread::get_id()) { Fl::lock(); }

FltkLoop::~FltkLoop() {
  for (auto& [key, timer] : timers_) Fl::remove_timeout(&FltkLoop::onTimeout, timer.get());
  // A wake-up that is still queued in FLTK would call back into a dead loop.
  for (int i = 0; i < 200 && awakePending_.load(); ++i) Fl::wait(0.01);
  Fl::unlock();
}

bool FltkLoop::isWindowThread() const { return std::this_thread::get_id() == windowThread_; }

void FltkLoop::post(qom::ui::Window* target, std::function<void()> task) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    tasks_.emplace_back(target, std::move(task));
  }
  wake();
}

void FltkLoop::refresh(qom::ui::Window*) {
  dirty_.store(true);
  wake();
}

void FltkLoop::wake() {
  if (awakePending_.exchange(true)) return;
  if (Fl::awake(&FltkLoop::onAwake, this) != 0) {
    // The ring is full (someone else flooded it): plain wake-ups still end
    // Fl::wait, and run() drains the queue after every wait.
    awakePending_.store(false);
    Fl::awake();
  }
}

void FltkLoop::onAwake(void* self) {
  auto* loop = static_cast<FltkLoop*>(self);
  loop->awakePending_.store(false);
  loop->runPending();
}

void FltkLoop::setSyncHandler(std::function<void()> handler) { sync_ = std::move(handler); }

void FltkLoop::runPending() {
  // Tasks posted by the tasks run here run in this pass too, in order.
  for (;;) {
    std::function<void()> task;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (tasks_.empty()) break;
      task = std::move(tasks_.front().second);
      tasks_.pop_front();
    }
    if (task) task();
  }
  if (dirty_.exchange(false) && sync_) sync_();
}

void FltkLoop::run() {
  while (!quit_.load()) {
    Fl::wait(1e20);
    runPending();
  }
}

void FltkLoop::quit() {
  quit_.store(true);
  Fl::awake();
}

void FltkLoop::startTimer(qom::ui::Window* target, int id, int periodMs) {
  const double seconds = std::max(periodMs, 1) / 1000.0;
  auto& slot = timers_[{target, id}];
  if (slot) Fl::remove_timeout(&FltkLoop::onTimeout, slot.get());
  slot = std::make_unique<Timer>(Timer{this, target, id, seconds});
  Fl::add_timeout(seconds, &FltkLoop::onTimeout, slot.get());
}

void FltkLoop::stopTimer(qom::ui::Window* target, int id) {
  auto found = timers_.find({target, id});
  if (found == timers_.end()) return;
  Fl::remove_timeout(&FltkLoop::onTimeout, found->second.get());
  timers_.erase(found);
}

void FltkLoop::forget(qom::ui::Window* target) {
  for (auto it = timers_.begin(); it != timers_.end();) {
    if (it->first.first == target) {
      Fl::remove_timeout(&FltkLoop::onTimeout, it->second.get());
      it = timers_.erase(it);
    } else {
      ++it;
    }
  }
  std::lock_guard<std::mutex> lock(mutex_);
  tasks_.erase(std::remove_if(tasks_.begin(), tasks_.end(),
                              [target](const auto& t) { return t.first == target; }),
               tasks_.end());
}

void FltkLoop::onTimeout(void* data) {
  auto* timer = static_cast<Timer*>(data);
  // Re-arm first: the tick may stop or restart this very timer, which
  // removes the re-armed timeout along with the record.
  Fl::repeat_timeout(timer->seconds, &FltkLoop::onTimeout, timer);
  qom::ui::Window* target = timer->target;
  const int id = timer->id;
  target->onTimer(id);
}

}  // namespace qomhost::fltk
