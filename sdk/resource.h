#pragma once
// Resource records of a component: what it registers with the host and
// withdraws again. Operations, in slot order: destroy (the destructor),
// delete-at-shutdown query, register, deregister, skin notification.
#include <memory>
#include <string>

#include "sdk/guid.h"
#include "sdk/host_api.h"
#include "sdk/service.h"

namespace qom {

class Resource {
 public:
  virtual ~Resource() = default;
  virtual bool deleteAtShutdown() const { return true; }
  virtual void registerWith(HostApi* api) = 0;
  virtual void deregisterFrom(HostApi* api) = 0;
  virtual void onSkinNotification(HostApi* api) { (void)api; }
};

// A service factory, registered with host message 400 and withdrawn with 401.
class ServiceResource final : public Resource {
 public:
  explicit ServiceResource(std::unique_ptr<ServiceFactory> factory) : factory_(std::move(factory)) {}
  void registerWith(HostApi* api) override { api->serviceRegister(factory_.get()); }
  void deregisterFrom(HostApi* api) override { api->serviceDeregister(factory_.get()); }
  ServiceFactory* factory() const { return factory_.get(); }

 private:
  std::unique_ptr<ServiceFactory> factory_;
};

// A skin file: registered when the host announces its skin (notification
// 58115), withdrawn at deregistration if it was registered.
class SkinFileResource final : public Resource {
 public:
  explicit SkinFileResource(std::string path) : filename_(std::move(path)) {}
  void registerWith(HostApi*) override {}
  void deregisterFrom(HostApi* api) override;
  void onSkinNotification(HostApi* api) override;
  int id() const { return id_; }
  const std::string& path() const { return filename_; }

 private:
  std::string filename_;
  int id_ = -1;
};

// A window the host shows by itself when it sees fit.
class AutoPopupResource final : public Resource {
 public:
  AutoPopupResource(Guid window, std::string description, bool containerRequired = false)
      : guid_(window), description_(std::move(description)), containerRequired_(containerRequired) {}
  void registerWith(HostApi* api) override;
  void deregisterFrom(HostApi* api) override;
  int id() const { return id_; }

 private:
  Guid guid_;
  std::string description_;
  std::string groupId_;  // used when guid_ is null; empty here
  bool containerRequired_;
  int id_ = 0;
};

}  // namespace qom
