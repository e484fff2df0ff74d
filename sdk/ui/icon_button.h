#pragma once
// A button that shows one of three images (normal, highlighted, activated)
// taken from PNG data, keeps an activated state, reports the pointer
// entering and leaving, and notifies its parent on a click.
#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "sdk/guid.h"
#include "sdk/ui/window.h"

namespace qom::ui {

class IconButton : public Window {
 public:
  using Image = std::vector<unsigned char>;  // PNG bytes

  explicit IconButton(Window* parent = nullptr) : Window(parent) {}
  static constexpr WindowKind kKind = WindowKind::IconButton;
  WindowKind kind() const override { return kKind; }

  void setImages(Image normal, Image highlighted, Image activated, std::string group) {
    {
    std::lock_guard<std::mutex> lock(mutex_);
    normal_ = std::move(normal);
    highlighted_ = std::move(highlighted);
    activatedImage_ = std::move(activated);
    imageGroup_ = std::move(group);
    }
    changed();
  }
  Image normalImage() const { std::lock_guard<std::mutex> l(mutex_); return normal_; }
  Image highlightedImage() const { std::lock_guard<std::mutex> l(mutex_); return highlighted_; }
  Image activatedImage() const { std::lock_guard<std::mutex> l(mutex_); return activatedImage_; }
  std::string imageGroup() const { std::lock_guard<std::mutex> l(mutex_); return imageGroup_; }

  bool activated() const { return activated_.load(); }
  void setActivated(bool on) {
    activated_.store(on);
    changed();
  }

  // Input, delivered on the window thread by a view or a driver.
  virtual void onEnterArea() {}
  virtual void onLeaveArea() {}
  virtual void onLeftPush() { notifyParent(kNotifyClick); }
  // The host tells launcher buttons when the window with `guid` is shown or
  // hidden.
  virtual void onWindowShown(const Guid& guid, bool shown) { (void)guid, (void)shown; }

 private:
  mutable std::mutex mutex_;
  Image normal_, highlighted_, activatedImage_;
  std::string imageGroup_;
  std::atomic<bool> activated_{false};
};

}  // namespace qom::ui
