#include "host/core/host_session.h"


#include "host/core/skin_file.h"
#include "platform/module.h"

namespace qomhost {

std::string HostSession::executableFolder() {
  std::string exe = platform::executablePath();
  auto slash = exe.rfind('/');
  return slash == std::string::npos ? std::string(".") : exe.substr(0, slash);
}

HostSession::HostSession(const Options& options) {
  const std::string base = options.baseFolder.empty() ? executableFolder() : options.baseFolder;
  store_ = std::make_unique<ConfigStore>(options.configFolder.empty() ? ConfigStore::defaultFolder()
                                                                      : options.configFolder);
  store_->load();
  host_ = std::make_unique<HostCore>(*store_, base);
  modules_ = loadComponents(options.componentsFolder.empty() ? base + "/qoms"
                                                             : options.componentsFolder);
  std::vector<qom::Component*> components;
  for (auto& m : modules_) components.push_back(m->component);
  host_->startComponents(components);
}

HostSession::~HostSession() {
  host_->stopComponents();
  host_.reset();
  modules_.clear();
}

qom::ConfigItem* HostSession::findItem(const std::string& name) {
  for (qom::ConfigGroup* g : host_->configGroups())
    if (qom::ConfigItem* item = g->itemByName(name.c_str())) return item;
  return nullptr;
}

std::string HostSession::feedOfItem(const std::string& itemName) {
  for (const HostCore::SkinFile& skin : host_->skinFiles()) {
    const std::string path = skin.path.empty() || skin.path[0] == '/'
                                 ? skin.path
                                 : host_->baseFolder() + "/" + skin.path;
    std::string error;
    auto contents = readSkinFile(path, &error);
    if (!contents) continue;
    for (const SkinPage& page : contents->pages)
      for (const SkinControl& control : page.controls)
        if (control.item == itemName && !control.feed.empty()) return control.feed;
  }
  return {};
}

}  // namespace qomhost
