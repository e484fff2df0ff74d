#pragma once
// A host component: a module with three exported C functions and one
// component object that the host talks to through its dispatch entry.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sdk/config.h"
#include "sdk/dispatch.h"
#include "sdk/guid.h"
#include "sdk/host_api.h"
#include "sdk/resource.h"

namespace qom {

// Module handles are pointer-sized here (a dlopen handle as an integer).
using ModuleHandle = std::uintptr_t;

constexpr int kComponentApiVersion = 7;

namespace compmsg {
// The component object's messages; all arrive on the host's lifecycle thread.
// "Values" are std::intptr_t (pointer-sized), commands and indexes int.
constexpr int kGetName = 100;          // -> const char*
constexpr int kGetGuid = 120;          // -> Guid
constexpr int kRegister = 200;         // HostApi*
constexpr int kHostReady = 400;        //
constexpr int kDestroy = 410;          //
constexpr int kReservedQuery = 420;    // two values -> int 0
constexpr int kNotify = 500;           // int command, four values -> int
constexpr int kCommand = 600;          // five values -> int 0
constexpr int kGetConfigGroup = 800;   // index -> ConfigGroup* (index 0 only)
constexpr int kSetModuleHandle = 900;  // ModuleHandle
constexpr int kGetModuleHandle = 910;  // -> ModuleHandle
constexpr int kDeregister = 1000;      //
}  // namespace compmsg

// Commands of message 500.
constexpr int kNotifySkinLoaded = 58115;  // the host's skin is (re)loaded
constexpr int kNotify58117 = 58117;

class Component : public Dispatchable {
 public:
  const char* name() { return dispatchCall<const char*>(this, compmsg::kGetName, ""); }
  Guid guid() { return dispatchCall<Guid>(this, compmsg::kGetGuid, kNullGuid); }
  void registerWithHost(HostApi* api) { dispatchSend(this, compmsg::kRegister, api); }
  void hostReady() { dispatchSend(this, compmsg::kHostReady); }
  void destroyComponent() { dispatchSend(this, compmsg::kDestroy); }
  int notify(int command, std::intptr_t a, std::intptr_t b, std::intptr_t c, std::intptr_t d) {
    return dispatchCall<int>(this, compmsg::kNotify, 0, command, a, b, c, d);
  }
  ConfigGroup* configGroup(int index) {
    return dispatchCall<ConfigGroup*>(this, compmsg::kGetConfigGroup, nullptr, index);
  }
  void setModuleHandle(ModuleHandle h) { dispatchSend(this, compmsg::kSetModuleHandle, h); }
  ModuleHandle moduleHandle() {
    return dispatchCall<ModuleHandle>(this, compmsg::kGetModuleHandle, ModuleHandle{0});
  }
  void deregisterFromHost() { dispatchSend(this, compmsg::kDeregister); }

 protected:
  ~Component() = default;
};

// The generic lifecycle: a resource list registered in order, one
// configuration group, the module handle. A component derives from it and
// fills in name, GUID and hooks. Virtual operations in slot order after the
// dispatch entry.
class ComponentBase : public Component {
 public:
  ComponentBase(std::string name, Guid guid);
  virtual ~ComponentBase();

  int dispatch(int message, void* result, void** args, int argCount) override;

  virtual const char* getName();
  virtual Guid getGuid();
  virtual void registerServices(HostApi* api);
  virtual void deregisterServices(HostApi* api);
  virtual void onHostReady() {}
  virtual void onDestroy() {}
  virtual int reservedQuery(std::intptr_t a, std::intptr_t b);
  virtual int notificationHandler(int command, std::intptr_t a, std::intptr_t b, std::intptr_t c,
                                  std::intptr_t d);
  virtual int command(std::intptr_t a, std::intptr_t b, std::intptr_t c, std::intptr_t d,
                      std::intptr_t e);
  virtual ConfigGroup* getConfigInterface(int index);
  virtual void setComponentModuleHandle(ModuleHandle handle) { moduleHandle_ = handle; }
  virtual ModuleHandle getComponentModuleHandle() { return moduleHandle_; }
  virtual void destroy();
  virtual int onNotify(int command, std::intptr_t a, std::intptr_t b, std::intptr_t c,
                       std::intptr_t d);
  virtual void onRegistered() {}
  virtual void onNotify58117() {}

  // Adds a resource record (owned); adding the same record twice is a fault.
  void addResource(Resource* resource);
  bool haveResource(const Resource* resource) const;
  std::size_t resourceCount() const { return resources_.size(); }
  ConfigGroupImpl& config() { return config_; }

 private:
  std::string name_;
  Guid guid_;
  ModuleHandle moduleHandle_ = 0;
  std::vector<Resource*> resources_;
  ConfigGroupImpl config_;
};

}  // namespace qom

// Exports of a component module (plain C symbols).
extern "C" {
typedef int (*QOM_getVersion_t)();
typedef int (*QOM_init_t)(qom::ModuleHandle module);
typedef qom::Component* (*QOM_enumComponent_t)();
}
