#include "rondel/shell/launcher_icon.h"

#include "platform/resources.h"
#include "rondel/shell/identity.h"
#include "rondel/shell/rondel_component.h"
#include "sdk/host_api.h"

namespace rondel {
namespace {
qom::ui::IconButton::Image resourceImage(platform::ModuleHandle module, unsigned id) {
  platform::ResourceData r = platform::findResource(module, platform::kResourceTypeRcData, id);
  return r ? qom::ui::IconButton::Image(r.data, r.data + r.size) : qom::ui::IconButton::Image();
}
}  // namespace

LauncherIcon::LauncherIcon(qom::ui::Window* parent) : qom::ui::IconButton(parent) {}

void LauncherIcon::loadImages() {
  const platform::ModuleHandle module = theComponent().getComponentModuleHandle();
  setImages(resourceImage(module, kIconNormal), resourceImage(module, kIconHighlighted),
            resourceImage(module, kIconActivated), kIconImageGroup);
}

void LauncherIcon::onEnterArea() {
  notifyParent(kNotifyLauncherHover, reinterpret_cast<std::intptr_t>(kComponentName));
}

void LauncherIcon::onLeaveArea() { notifyParent(kNotifyLauncherHover, 0); }

void LauncherIcon::onLeftPush() {
  qom::ui::IconButton::onLeftPush();
  if (qom::HostApi* api = qom::hostApi()) setActivated(api->launcherClick(kComponentGuid) != 0);
}

void LauncherIcon::onWindowShown(const qom::Guid& guid, bool shown) {
  if (guid == kComponentGuid) setActivated(shown);
}

}  // namespace rondel
