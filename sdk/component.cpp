#include "sdk/component.h"

#include <algorithm>

#include "sdk/qom_assert.h"

namespace qom {

// Parent of every component's configuration group in the host's tree.
// {99CFD75C-1CA7-49E5-B8C0-7D78AA443C10}
constexpr Guid kConfigParentGuid{0x99CFD75C, 0x1CA7, 0x49E5,
                                 {0xB8, 0xC0, 0x7D, 0x78, 0xAA, 0x44, 0x3C, 0x10}};

ComponentBase::ComponentBase(std::string name, Guid guid) : name_(std::move(name)), guid_(guid) {}

ComponentBase::~ComponentBase() {
  for (Resource* r : resources_) delete r;
}

const char* ComponentBase::getName() { return name_.c_str(); }
Guid ComponentBase::getGuid() { return guid_; }

void ComponentBase::addResource(Resource* resource) {
  QOM_ASSERT(!haveResource(resource), "!resources.haveItem(res)");
  if (resource != nullptr && !haveResource(resource)) resources_.push_back(resource);
}

bool ComponentBase::haveResource(const Resource* resource) const {
  return std::find(resources_.begin(), resources_.end(), resource) != resources_.end();
}

void ComponentBase::registerServices(HostApi* api) {
  setHostApi(api);
  if (config_.groupName().empty()) config_.setName(getName());
  for (Resource* r : resources_) r->registerWith(api);
  config_.setGuid(getGuid());
  if (config_.groupParentGuid().isNull()) config_.setParentGuid(kConfigParentGuid);
  api->configRegisterGroup(&config_);
  onRegistered();
}

void ComponentBase::deregisterServices(HostApi* api) {
  for (Resource* r : resources_) r->deregisterFrom(api);
  api->configDeregisterGroup(&config_);
}

int ComponentBase::reservedQuery(std::intptr_t, std::intptr_t) { return 0; }

int ComponentBase::notificationHandler(int, std::intptr_t, std::intptr_t, std::intptr_t,
                                       std::intptr_t) {
  return 0;
}

int ComponentBase::command(std::intptr_t, std::intptr_t, std::intptr_t, std::intptr_t,
                           std::intptr_t) {
  return 0;
}

ConfigGroup* ComponentBase::getConfigInterface(int index) {
  return index == 0 ? &config_ : nullptr;
}

void ComponentBase::destroy() {
  onDestroy();
  // Records that answer no to the delete-at-shutdown query belong to
  // someone else; the list is emptied either way.
  for (Resource* r : resources_)
    if (r->deleteAtShutdown()) delete r;
  resources_.clear();
}

int ComponentBase::onNotify(int command, std::intptr_t a, std::intptr_t b, std::intptr_t c,
                            std::intptr_t d) {
  if (command == kNotifySkinLoaded) {
    if (HostApi* api = hostApi())
      for (Resource* r : resources_) r->onSkinNotification(api);
  } else if (command == kNotify58117) {
    onNotify58117();
  }
  return notificationHandler(command, a, b, c, d);
}

int ComponentBase::dispatch(int message, void* result, void** args, int argCount) {
  auto value = [&](int i) { return dispatchArg<std::intptr_t>(args, argCount, i); };
  switch (message) {
    case compmsg::kGetName: dispatchResult(result, static_cast<const char*>(getName())); return 1;
    case compmsg::kGetGuid: dispatchResult(result, getGuid()); return 1;
    case compmsg::kRegister: {
      HostApi* api = dispatchArg<HostApi*>(args, argCount, 0);
      if (api != nullptr) registerServices(api);
      return 1;
    }
    case compmsg::kHostReady: onHostReady(); return 1;
    case compmsg::kDestroy: destroy(); return 1;
    case compmsg::kReservedQuery: dispatchResult(result, reservedQuery(value(0), value(1))); return 1;
    case compmsg::kNotify:
      dispatchResult(result, onNotify(dispatchArg<int>(args, argCount, 0), value(1), value(2),
                                      value(3), value(4)));
      return 1;
    case compmsg::kCommand:
      dispatchResult(result, command(value(0), value(1), value(2), value(3), value(4)));
      return 1;
    case compmsg::kGetConfigGroup:
      dispatchResult(result, getConfigInterface(dispatchArg<int>(args, argCount, 0, -1)));
      return 1;
    case compmsg::kSetModuleHandle:
      setComponentModuleHandle(dispatchArg<ModuleHandle>(args, argCount, 0));
      return 1;
    case compmsg::kGetModuleHandle: dispatchResult(result, getComponentModuleHandle()); return 1;
    case compmsg::kDeregister:
      if (HostApi* api = hostApi()) deregisterServices(api);
      return 1;
    default: return 0;
  }
}

}  // namespace qom
