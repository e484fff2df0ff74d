#include "rondel/shell/window_creators.h"

#include <cstring>

#include "rondel/shell/identity.h"
#include "rondel/shell/launcher_icon.h"
#include "rondel/shell/window_settings.h"
#include "rondel/ui/main_window.h"
#include "sdk/qom_assert.h"

namespace rondel {

IssuingWindowCreator::~IssuingWindowCreator() {
  // "not all created windows were destroyed"
  if (checkCount_) QOM_ASSERT(issued() == 0, "issued == 0");
}

int IssuingWindowCreator::issued() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return static_cast<int>(windows_.size());
}

qom::ui::Window* IssuingWindowCreator::issue(qom::ui::Window* window) {
  if (window != nullptr) {
    std::lock_guard<std::mutex> lock(mutex_);
    windows_.insert(window);
  }
  return window;
}

int IssuingWindowCreator::destroy(qom::ui::Window* window) {
  if (checkCount_) QOM_ASSERT(issued() >= 1, "issued >= 1");
  {
    std::lock_guard<std::mutex> lock(mutex_);
    // A window this creator did not issue is not its to delete.
    if (windows_.erase(window) == 0) return 0;
  }
  delete window;
  return 1;
}

int IssuingWindowCreator::dispatch(int message, void* result, void** args, int argCount) {
  switch (message) {
    case kMsgCreateByGuid:
      qom::dispatchResult(result, issue(createByGuid(qom::dispatchArg<qom::Guid>(args, argCount, 0),
                                                     qom::dispatchArg<qom::ui::Window*>(args, argCount, 1))));
      return 1;
    case kMsgCreateByType:
      qom::dispatchResult(result, issue(createByType(qom::dispatchArg<const char*>(args, argCount, 0),
                                                     qom::dispatchArg<qom::ui::Window*>(args, argCount, 1),
                                                     qom::dispatchArg<int>(args, argCount, 2, -1))));
      return 1;
    case kMsgDestroy:
      qom::dispatchResult(result, destroy(qom::dispatchArg<qom::ui::Window*>(args, argCount, 0)));
      return 1;
    default: return 0;
  }
}

qom::ui::Window* MainWindowCreator::createByGuid(const qom::Guid& guid, qom::ui::Window* parent) {
  return guid == kComponentGuid ? new MainWindow(parent, componentWindowSettings()) : nullptr;
}

qom::ui::Window* LauncherIconCreator::createByType(const char* type, qom::ui::Window* parent,
                                                   int index) {
  if (std::strcmp(type != nullptr ? type : "", "buck") != 0 || index != 0) return nullptr;
  auto* icon = new LauncherIcon(parent);
  icon->loadImages();
  return icon;
}

}  // namespace rondel
