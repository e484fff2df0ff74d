#pragma once
// Finds the component modules (*.qom) of a folder and loads each through its
// three exports.
#include <memory>
#include <string>
#include <vector>

#include "platform/dynlib.h"
#include "sdk/component.h"

namespace qomhost {

struct LoadedModule {
  std::string path;
  platform::DynamicLibrary library;
  qom::Component* component = nullptr;
};

// Loads every "*.qom" file of `folder` in name order. A module that does not
// load, lacks an export, answers a version other than 7 or gives no component
// is reported on stderr and skipped.
std::vector<std::unique_ptr<LoadedModule>> loadComponents(const std::string& folder);

}  // namespace qomhost
