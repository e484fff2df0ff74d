#pragma once
// One run of the host without a display: the configuration store, the
// loaded components and their lifecycle from registration to destruction.
#include <memory>
#include <string>
#include <vector>

#include "host/core/config_store.h"
#include "host/core/host_core.h"
#include "host/core/module_loader.h"

namespace qomhost {

class HostSession {
 public:
  struct Options {
    std::string configFolder;      // "" = ConfigStore::defaultFolder()
    std::string componentsFolder;  // "" = <executable folder>/qoms
    std::string baseFolder;        // "" = the executable's folder
  };

  // Loads the configuration and the components and starts them.
  explicit HostSession(const Options& options);
  // Stops the components (deregister, destroy) and unloads them.
  ~HostSession();
  HostSession(const HostSession&) = delete;
  HostSession& operator=(const HostSession&) = delete;

  HostCore& host() { return *host_; }
  ConfigStore& store() { return *store_; }
  const std::vector<std::unique_ptr<LoadedModule>>& modules() const { return modules_; }

  // Finds a configuration item by its exact name in any group.
  qom::ConfigItem* findItem(const std::string& name);
  // The text feed list a skin file binds to an item, if any.
  std::string feedOfItem(const std::string& itemName);

  static std::string executableFolder();

 private:
  std::unique_ptr<ConfigStore> store_;
  std::unique_ptr<HostCore> host_;
  std::vector<std::unique_ptr<LoadedModule>> modules_;
};

}  // namespace qomhost
