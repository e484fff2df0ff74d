#pragma once
// A text label: text size 1..72 (default 16), optional horizontal centring
// (off: the text starts 2 pixels from the left), a shadow one pixel down and
// right in the background colour (on by default), and an optional filled
// background. Filled labels use the skin colours kSkinTextBarBackground and
// kSkinTextBarText; the host's view looks them up in the skin.
#include <algorithm>
#include <string>

#include "sdk/ui/window.h"

namespace qom::ui {

constexpr const char* kSkinTextBarBackground = "mirrit.textBar.background";
constexpr const char* kSkinTextBarText = "mirrit.textBar.text";

class Label : public Window {
 public:
  explicit Label(Window* parent = nullptr) : Window(parent) {}
  WindowKind kind() const override { return WindowKind::Label; }

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
  bool centred() const { std::lock_guard<std::mutex> l(mutex_); return centred_; }
  void setCentred(bool on) { { std::lock_guard<std::mutex> l(mutex_); centred_ = on; } changed(); }
  bool shadow() const { std::lock_guard<std::mutex> l(mutex_); return shadow_; }
  void setShadow(bool on) { { std::lock_guard<std::mutex> l(mutex_); shadow_ = on; } changed(); }
  bool filled() const { std::lock_guard<std::mutex> l(mutex_); return filled_; }
  void setFilled(bool on) { { std::lock_guard<std::mutex> l(mutex_); filled_ = on; } changed(); }

 private:
  mutable std::mutex mutex_;
  std::string text_;
  int size_ = 16;
  bool centred_ = false, shadow_ = true, filled_ = false;
};

}  // namespace qom::ui
