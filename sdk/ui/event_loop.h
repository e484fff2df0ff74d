#pragma once
// The window thread's loop as the toolkit models see it. The host provides
// it: the FLTK loop on the desktop, the headless driver for tests and the
// command line. Models use it to hand events to the window thread and to
// tell a view that they changed; they never wait for it.
#include <functional>

namespace qom::ui {

class Window;

class EventLoop {
 public:
  virtual ~EventLoop() = default;

  // True on the thread that runs the loop (the window thread).
  virtual bool isWindowThread() const = 0;
  // Runs `task` on the window thread soon, in posting order. Any thread.
  // Dropped if `target` is forgotten first.
  virtual void post(Window* target, std::function<void()> task) = 0;
  // Calls target->onTimer(id) every `periodMs` on the window thread; a
  // second start of the same id replaces the period. Window thread.
  virtual void startTimer(Window* target, int id, int periodMs) = 0;
  virtual void stopTimer(Window* target, int id) = 0;
  // Drops every pending task and timer of `target` (its destructor calls
  // this; window thread).
  virtual void forget(Window* target) = 0;
  // A model's visible state changed; a view redraws it soon. Any thread,
  // never blocks.
  virtual void refresh(Window* target) { (void)target; }
};

}  // namespace qom::ui
