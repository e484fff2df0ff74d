#pragma once
// A window that shows one text at a text size (1..72, default 16): the base
// of labels and push buttons.
#include <algorithm>
#include <string>

#include "sdk/ui/window.h"

namespace qom::ui {

class TextWindow : public Window {
 public:
  explicit TextWindow(Window* parent = nullptr) : Window(parent) {}

  std::string text() const { std::lock_guard<std::mutex> l(textMutex_); return text_; }
  void setText(std::string text) {
    { std::lock_guard<std::mutex> l(textMutex_); text_ = std::move(text); }
    changed();
  }
  int textSize() const { std::lock_guard<std::mutex> l(textMutex_); return size_; }
  void setTextSize(int size) {
    { std::lock_guard<std::mutex> l(textMutex_); size_ = std::clamp(size, 1, 72); }
    changed();
  }

 private:
  mutable std::mutex textMutex_;
  std::string text_;
  int size_ = 16;
};

}  // namespace qom::ui
