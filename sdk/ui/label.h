#pragma once
// A text label: a text and its size, optional horizontal centring
// (off: the text starts 2 pixels from the left), a shadow one pixel down and
// right in the background colour (on by default), and an optional filled
// background. Filled labels use the skin colours kSkinTextBarBackground and
// kSkinTextBarText; the host's view looks them up in the skin.
#include "sdk/ui/text_window.h"

namespace qom::ui {

constexpr const char* kSkinTextBarBackground = "mirrit.textBar.background";
constexpr const char* kSkinTextBarText = "mirrit.textBar.text";

class Label : public TextWindow {
 public:
  explicit Label(Window* parent = nullptr) : TextWindow(parent) {}
  static constexpr WindowKind kKind = WindowKind::Label;
  WindowKind kind() const override { return kKind; }
  bool centred() const { std::lock_guard<std::mutex> l(mutex_); return centred_; }
  void setCentred(bool on) { { std::lock_guard<std::mutex> l(mutex_); centred_ = on; } changed(); }
  bool shadow() const { std::lock_guard<std::mutex> l(mutex_); return shadow_; }
  void setShadow(bool on) { { std::lock_guard<std::mutex> l(mutex_); shadow_ = on; } changed(); }
  bool filled() const { std::lock_guard<std::mutex> l(mutex_); return filled_; }
  void setFilled(bool on) { { std::lock_guard<std::mutex> l(mutex_); filled_ = on; } changed(); }

 private:
  mutable std::mutex mutex_;
  bool centred_ = false, shadow_ = true, filled_ = false;
};

}  // namespace qom::ui
