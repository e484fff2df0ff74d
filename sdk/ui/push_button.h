#pragma once
// A push button with a text and a text size. A click on an enabled button
// notifies the parent with kNotifyClick.
#include "sdk/ui/text_window.h"

namespace qom::ui {

class PushButton : public TextWindow {
 public:
  explicit PushButton(Window* parent = nullptr) : TextWindow(parent) {}
  static constexpr WindowKind kKind = WindowKind::PushButton;
  WindowKind kind() const override { return kKind; }

  // User input (window thread). Answers whether the click was taken (a
  // disabled button ignores it).
  bool userClick() {
    if (!enabled()) return false;
    notifyParent(kNotifyClick);
    return true;
  }
};

}  // namespace qom::ui
