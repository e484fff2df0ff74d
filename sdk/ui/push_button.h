#pragma once
// A push button with a text and a text size. A click on an enabled button
// notifies the parent with kNotifyClick.
#include <algorithm>
#include <string>

#include "sdk/ui/window.h"

namespace qom::ui {

class PushButton : public Window {
 public:
  explicit PushButton(Window* parent = nullptr) : Window(parent) {}
  WindowKind kind() const override { return WindowKind::PushButton; }

  std::string text() const { std::lock_guard<std::mutex> l(mutex_); return text_; }
  void setText(std::string text) {
    { std::lock_guard<std::mutex> l(mutex_); text_ = std::move(text); }
    changed();
  }
  int textSize() const { std::lock_guard<std::mutex> l(mutex_); return size_; }
  void setTextSize(int size) {
    { std::lock_guard<std::mutex> l(mutex_); size_ = std::clamp(size, 1, 72); }
    changed();
  }

  // User input (window thread). Answers whether the click was taken (a
  // disabled button ignores it).
  bool userClick() {
    if (!enabled()) return false;
    notifyParent(kNotifyClick);
    return true;
  }

 private:
  mutable std::mutex mutex_;
  std::string text_;
  int size_ = 16;
};

}  // namespace qom::ui
