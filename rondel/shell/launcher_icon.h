#pragma once
// The component's button in the host's launcher bar.
#include "sdk/guid.h"
#include "sdk/ui/icon_button.h"

namespace rondel {

constexpr int kNotifyLauncherHover = 17000;
// Module resource ids (type RCDATA) of the three 33x33 RGBA PNG images.
constexpr unsigned kIconNormal = 102;
constexpr unsigned kIconActivated = 103;
constexpr unsigned kIconHighlighted = 104;
constexpr const char* kIconImageGroup = "Pellam icons";

class LauncherIcon final : public qom::ui::IconButton {
 public:
  explicit LauncherIcon(qom::ui::Window* parent);

  // Takes the images from the component module's resources.
  void loadImages();

  void onEnterArea() override;
  void onLeaveArea() override;
  // The button's own click handling first, then the host shows or hides the
  // window and its answer becomes the activated state.
  void onLeftPush() override;
  // The host's shown/hidden notifications for a window GUID.
  void onWindowShown(const qom::Guid& guid, bool shown) override;
};

}  // namespace rondel
