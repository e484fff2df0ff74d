#include "host/core/module_loader.h"

#include <dirent.h>

#include <algorithm>
#include <cstdio>

namespace qomhost {

std::vector<std::unique_ptr<LoadedModule>> loadComponents(const std::string& folder) {
  std::vector<std::string> files;
  if (DIR* dir = ::opendir(folder.c_str())) {
    while (dirent* entry = ::readdir(dir)) {
      std::string name = entry->d_name;
      if (name.size() > 4 && name.compare(name.size() - 4, 4, ".qom") == 0)
        files.push_back(folder + "/" + name);
    }
    ::closedir(dir);
  }
  std::sort(files.begin(), files.end());

  std::vector<std::unique_ptr<LoadedModule>> modules;
  for (const std::string& file : files) {
    auto module = std::make_unique<LoadedModule>();
    module->path = file;
    if (!module->library.open(file)) {
      std::fprintf(stderr, "qomhost: %s not loaded: %s\n", file.c_str(),
                   module->library.lastError().c_str());
      continue;
    }
    QOM_getVersion_t getVersion = nullptr;
    QOM_init_t init = nullptr;
    QOM_enumComponent_t enumComponent = nullptr;
    if (!module->library.resolve(getVersion, "QOM_getVersion") ||
        !module->library.resolve(init, "QOM_init") ||
        !module->library.resolve(enumComponent, "QOM_enumComponent")) {
      std::fprintf(stderr, "qomhost: %s skipped: %s\n", file.c_str(),
                   module->library.lastError().c_str());
      continue;
    }
    if (int version = getVersion(); version != qom::kComponentApiVersion) {
      std::fprintf(stderr, "qomhost: %s skipped: component version %d, expected %d\n",
                   file.c_str(), version, qom::kComponentApiVersion);
      continue;
    }
    init(reinterpret_cast<qom::ModuleHandle>(module->library.handle()));
    module->component = enumComponent();
    if (module->component == nullptr) {
      std::fprintf(stderr, "qomhost: %s skipped: no component object\n", file.c_str());
      continue;
    }
    modules.push_back(std::move(module));
  }
  return modules;
}

}  // namespace qomhost
