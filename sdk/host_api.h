#pragma once
// The host API: the one object through which a component reaches the host.
// Every operation is a numbered message of its dispatch entry; the inline
// methods below pack the arguments in the documented order.
#include <cstdint>

#include "sdk/dispatch.h"
#include "sdk/guid.h"

namespace qom {

class ServiceFactory;
class ConfigGroup;

namespace hostmsg {
// Arguments in order; all arrive on the thread that runs the lifecycle unless
// said otherwise.
constexpr int kServiceRegister = 400;         // factory
constexpr int kServiceDeregister = 401;       // factory
constexpr int kServiceLent = 404;             // factory, instance (any thread)
constexpr int kAutoPopupRegister = 1310;      // GUID, description, preferred container|null, required -> int id
constexpr int kAutoPopupRegisterGroup = 1311; // group id, description, preferred container, required -> int id
constexpr int kAutoPopupDeregister = 1312;    // id
constexpr int kLauncherClick = 4252;          // GUID, 0, 0, 0, 0 -> int shown (window thread)
constexpr int kSkinFileRegister = 5901;       // path -> int id
constexpr int kSkinFileDeregister = 5902;     // id
constexpr int kConfigRegisterGroup = 6700;    // configuration group
constexpr int kConfigDeregisterGroup = 6710;  // configuration group
constexpr int kPrefsRegisterPage = 6900;      // page id, title, page GUID, parent GUID
// The toolkit's own calls.
constexpr int kServiceFind = 7100;            // type (u32), name -> ServiceFactory* (any thread)
}  // namespace hostmsg

class HostApi : public Dispatchable {
 public:
  void serviceRegister(ServiceFactory* f) { dispatchSend(this, hostmsg::kServiceRegister, f); }
  void serviceDeregister(ServiceFactory* f) { dispatchSend(this, hostmsg::kServiceDeregister, f); }
  void serviceLent(ServiceFactory* f, Dispatchable* instance) {
    dispatchSend(this, hostmsg::kServiceLent, f, instance);
  }
  int autoPopupRegister(Guid window, const char* description, const char* preferredContainer,
                        int containerRequired) {
    return dispatchCall<int>(this, hostmsg::kAutoPopupRegister, 0, window, description,
                             preferredContainer, containerRequired);
  }
  int autoPopupRegisterGroup(const char* groupId, const char* description,
                             const char* preferredContainer, int containerRequired) {
    return dispatchCall<int>(this, hostmsg::kAutoPopupRegisterGroup, 0, groupId, description,
                             preferredContainer, containerRequired);
  }
  void autoPopupDeregister(int id) { dispatchSend(this, hostmsg::kAutoPopupDeregister, id); }
  int launcherClick(Guid window) {
    return dispatchCall<int>(this, hostmsg::kLauncherClick, 0, window, 0, 0, 0, 0);
  }
  int skinFileRegister(const char* path) {
    return dispatchCall<int>(this, hostmsg::kSkinFileRegister, 0, path);
  }
  void skinFileDeregister(int id) { dispatchSend(this, hostmsg::kSkinFileDeregister, id); }
  void configRegisterGroup(ConfigGroup* g) { dispatchSend(this, hostmsg::kConfigRegisterGroup, g); }
  void configDeregisterGroup(ConfigGroup* g) {
    dispatchSend(this, hostmsg::kConfigDeregisterGroup, g);
  }
  void prefsRegisterPage(const char* id, const char* title, Guid page, Guid parent) {
    dispatchSend(this, hostmsg::kPrefsRegisterPage, id, title, page, parent);
  }
  ServiceFactory* serviceFind(std::uint32_t type, const char* name) {
    return dispatchCall<ServiceFactory*>(this, hostmsg::kServiceFind, nullptr, type, name);
  }

 protected:
  ~HostApi() = default;
};

// The process-wide host API pointer of this module: set when the host asks
// the component to register, kept until the module is unloaded.
HostApi* hostApi();
void setHostApi(HostApi* api);

}  // namespace qom
