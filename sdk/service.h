#pragma once
// Services: a factory with a four-character type, a name and a GUID lends
// service instances to the host. The three kinds a component offers here are
// window creators ("wndc"), text feeds ("txtf") and actions ("actn").
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "sdk/dispatch.h"
#include "sdk/fourcc.h"
#include "sdk/guid.h"
#include "sdk/host_api.h"
#include "sdk/qom_assert.h"

namespace qom {

constexpr std::uint32_t kServiceWindowCreator = fourCC("wndc");
constexpr std::uint32_t kServiceTextFeed = fourCC("txtf");
constexpr std::uint32_t kServiceAction = fourCC("actn");

class ServiceFactory : public Dispatchable {
 public:
  enum : int {
    kMsgServiceType = 100,  // -> u32
    kMsgServiceName = 200,  // -> const char*
    kMsgGuid = 300,         // -> Guid
    kMsgGetInterface = 400, // -> Dispatchable* (lends the instance)
    kMsgRelease = 500,      // instance -> int
  };
  std::uint32_t serviceType() { return dispatchCall<std::uint32_t>(this, kMsgServiceType, 0u); }
  const char* serviceName() { return dispatchCall<const char*>(this, kMsgServiceName, nullptr); }
  Guid guid() { return dispatchCall<Guid>(this, kMsgGuid, kNullGuid); }
  Dispatchable* getInterface() { return dispatchCall<Dispatchable*>(this, kMsgGetInterface, nullptr); }
  int releaseInterface(Dispatchable* instance) {
    return dispatchCall<int>(this, kMsgRelease, 0, instance);
  }

  virtual ~ServiceFactory() = default;
};

// An instance borrowed from a factory for one use, given back to it on every
// way out. Null when there is no factory or it lends nothing.
class LentInstance {
 public:
  explicit LentInstance(ServiceFactory* factory)
      : factory_(factory), instance_(factory != nullptr ? factory->getInterface() : nullptr) {}
  ~LentInstance() {
    if (instance_ != nullptr) factory_->releaseInterface(instance_);
  }
  LentInstance(const LentInstance&) = delete;
  LentInstance& operator=(const LentInstance&) = delete;

  // The instance as the interface the factory's service type promises.
  template <class T>
  T* as() const {
    return static_cast<T*>(instance_);
  }
  explicit operator bool() const { return instance_ != nullptr; }

 private:
  ServiceFactory* const factory_;
  Dispatchable* const instance_;
};

// A factory that owns exactly one instance, created with the factory, and
// counts how often it is lent. SERVICE is the instance's class.
template <class SERVICE>
class SingleServiceFactory : public ServiceFactory {
 public:
  SingleServiceFactory(std::uint32_t type, std::string name, Guid guid = kNullGuid)
      : type_(type), name_(std::move(name)), guid_(guid), singleService(std::make_unique<SERVICE>()) {}

  SERVICE* instance() { return singleService.get(); }
  int useCount() const { return refcount.load(); }

  int dispatch(int message, void* result, void** args, int argCount) override {
    switch (message) {
      case kMsgServiceType: dispatchResult(result, type_); return 1;
      case kMsgServiceName: dispatchResult(result, name_.c_str()); return 1;
      case kMsgGuid: dispatchResult(result, guid_); return 1;
      case kMsgGetInterface: dispatchResult(result, lend()); return 1;
      case kMsgRelease:
        dispatchResult(result, takeBack(dispatchArg<Dispatchable*>(args, argCount, 0)));
        return 1;
      default: return 0;
    }
  }

 private:
  Dispatchable* lend() {
    QOM_ASSERT(singleService != NULL, "singleService != NULL");
    if (!singleService) return nullptr;
    ++refcount;
    Dispatchable* service = singleService.get();
    if (HostApi* api = hostApi()) api->serviceLent(this, service);
    return service;
  }
  int takeBack(Dispatchable* service) {
    QOM_ASSERT(static_cast<SERVICE*>(service) == singleService.get(),
               "static_cast<SERVICE*>(service) == singleService");
    if (static_cast<SERVICE*>(service) != singleService.get()) return 0;
    int now = --refcount;
    QOM_ASSERT(now >= 0, "refcount >= 0");
    return 1;
  }

  const std::uint32_t type_;
  const std::string name_;
  const Guid guid_;
  std::unique_ptr<SERVICE> singleService;
  std::atomic<int> refcount{0};
};

namespace ui {
class Window;
}

// Creates windows for the host, by GUID or by type name.
class WindowCreator : public Dispatchable {
 public:
  enum : int {
    kMsgCreateByGuid = 100,  // Guid, parent Window* -> Window*
    kMsgCreateByType = 200,  // type text|null, parent Window*, index -> Window*
    kMsgDestroy = 300,       // Window* -> int
  };
  ui::Window* createWindowByGuid(Guid guid, ui::Window* parent) {
    return dispatchCall<ui::Window*>(this, kMsgCreateByGuid, nullptr, guid, parent);
  }
  ui::Window* createWindowOfType(const char* type, ui::Window* parent, int index) {
    return dispatchCall<ui::Window*>(this, kMsgCreateByType, nullptr, type, parent, index);
  }
  int destroyWindow(ui::Window* window) { return dispatchCall<int>(this, kMsgDestroy, 0, window); }

  virtual ~WindowCreator() = default;
};

// Serves named lists of items as one text, items joined with ";".
class TextFeed : public Dispatchable {
 public:
  enum : int {
    kMsgHasFeed = 100,       // name -> int
    kMsgRegister = 200,      // name, receiver Dispatchable*
    kMsgUnregister = 300,    // name, receiver Dispatchable*
  };
  // The message a receiver gets with the list text as its one argument.
  static constexpr int kMsgReceiverText = 10;

  int hasFeed(const char* name) { return dispatchCall<int>(this, kMsgHasFeed, 0, name); }
  void registerReceiver(const char* name, Dispatchable* receiver) {
    dispatchSend(this, kMsgRegister, name, receiver);
  }
  void unregisterReceiver(const char* name, Dispatchable* receiver) {
    dispatchSend(this, kMsgUnregister, name, receiver);
  }

  virtual ~TextFeed() = default;
};

// A named action the host carries out ("Preferences:OPEN" with a GUID text).
class ActionService : public Dispatchable {
 public:
  enum : int { kMsgRun = 100 };  // action name, parameter text -> int
  int run(const char* action, const char* parameter) {
    return dispatchCall<int>(this, kMsgRun, 0, action, parameter);
  }
  virtual ~ActionService() = default;
};

}  // namespace qom
