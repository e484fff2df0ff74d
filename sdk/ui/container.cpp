#include "sdk/ui/container.h"

#include "sdk/ui/event_loop.h"

namespace qom::ui {

Container::~Container() {
  if (EventLoop* l = loop()) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& [id, period] : timers_) l->stopTimer(this, id);
  }
}

void Container::startTimer(int id, int periodMs) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    timers_[id] = periodMs;
  }
  if (EventLoop* l = loop()) l->startTimer(this, id, periodMs);
}

void Container::stopTimer(int id) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    timers_.erase(id);
  }
  if (EventLoop* l = loop()) l->stopTimer(this, id);
}

int Container::timerPeriod(int id) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = timers_.find(id);
  return it == timers_.end() ? 0 : it->second;
}

void Container::setSizePreference(int which, int value) {
  std::lock_guard<std::mutex> lock(mutex_);
  sizePrefs_[which] = value;
}

int Container::sizePreference(int which) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = sizePrefs_.find(which);
  if (it != sizePrefs_.end()) return it->second;
  if (which == kSizeSuggestedWidth) return 320;
  if (which == kSizeSuggestedHeight) return 200;
  return 0;
}

void Container::setTitle(std::string title) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    title_ = std::move(title);
  }
  changed();
}

std::string Container::title() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return title_;
}

}  // namespace qom::ui
