#pragma once
// The base of every toolkit window model. Models hold all state and work
// with no display; a view (desktop or none) renders them.
#include <cstdint>

namespace qom::ui {

class Window {
 public:
  explicit Window(Window* parent = nullptr) : parent_(parent) {}
  virtual ~Window() = default;
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  Window* parent() const { return parent_; }
  void setParent(Window* parent) { parent_ = parent; }

  // A child reports an event (window thread only). Answers 0 when ignored.
  virtual int onChildNotify(Window* child, int code, std::intptr_t a, std::intptr_t b) {
    (void)child, (void)code, (void)a, (void)b;
    return 0;
  }

 protected:
  int notifyParent(int code, std::intptr_t a = 0, std::intptr_t b = 0) {
    return parent_ != nullptr ? parent_->onChildNotify(this, code, a, b) : 0;
  }

 private:
  Window* parent_;
};

}  // namespace qom::ui
