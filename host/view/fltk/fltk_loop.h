#pragma once
// The window thread's loop on the desktop: the FLTK main thread. Other
// threads hand it work through a queue and Fl::awake; timers are FLTK
// timeouts kept in a table, so stopping or forgetting one never leaves a
// callback pointing at a window that is gone.
#include <atomic>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>

#include "sdk/ui/event_loop.h"

namespace qomhost::fltk {

class FltkLoop final : public qom::ui::EventLoop {
 public:
  // The constructing thread becomes the window thread; it takes FLTK's lock
  // so that other threads may wake it.
  FltkLoop();
  ~FltkLoop() override;
  FltkLoop(const FltkLoop&) = delete;
  FltkLoop& operator=(const FltkLoop&) = delete;

  bool isWindowThread() const override;
  void post(qom::ui::Window* target, std::function<void()> task) override;
  void startTimer(qom::ui::Window* target, int id, int periodMs) override;
  void stopTimer(qom::ui::Window* target, int id) override;
  void forget(qom::ui::Window* target) override;
  void refresh(qom::ui::Window* target) override;

  // The view's redraw pass, run on the window thread once per burst of
  // refreshes (however many models changed).
  void setSyncHandler(std::function<void()> handler);
  // Window thread. Runs the posted tasks and a pending sync now.
  void runPending();
  // Window thread. Runs FLTK until quit() is called.
  void run();
  // Any thread: ends run() soon.
  void quit();
  bool quitting() const { return quit_.load(); }

 private:
  struct Timer {
    FltkLoop* loop;
    qom::ui::Window* target;
    int id;
    double seconds;
  };
  using TimerKey = std::pair<qom::ui::Window*, int>;
  static void onAwake(void* self);
  static void onTimeout(void* timer);
  void wake();

  const std::thread::id windowThread_;
  // Posted tasks: any thread pushes, the window thread pops; guarded by mutex_.
  std::mutex mutex_;
  std::deque<std::pair<qom::ui::Window*, std::function<void()>>> tasks_;
  // Set by refresh (any thread), cleared by the window thread's sync pass.
  std::atomic<bool> dirty_{false};
  // One Fl::awake in flight at a time, so a burst of posts and refreshes
  // cannot fill FLTK's fixed-size awake ring.
  std::atomic<bool> awakePending_{false};
  std::atomic<bool> quit_{false};
  // Window thread only.
  std::map<TimerKey, std::unique_ptr<Timer>> timers_;
  std::function<void()> sync_;
};

}  // namespace qomhost::fltk
