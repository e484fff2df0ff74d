#include "host/core/host_core.h"

#include <algorithm>
#include <cstdio>

#include "sdk/component.h"

namespace qomhost {

// The host's own "Preferences:OPEN" action.
class PreferencesAction final : public qom::ActionService {
 public:
  int dispatch(int message, void* result, void** args, int argCount) override {
    if (message != kMsgRun) return 0;
    const char* parameter = qom::dispatchArg<const char*>(args, argCount, 1);
    HostCore* host = host_;
    if (host != nullptr) host->openPreferences(parameter != nullptr ? parameter : "");
    qom::dispatchResult(result, host != nullptr ? 1 : 0);
    return 1;
  }
  HostCore* host_ = nullptr;
};

namespace {
std::string text(const char* s) { return s != nullptr ? s : ""; }

template <class Vector, class Predicate>
void eraseWhere(Vector& v, Predicate p) {
  v.erase(std::remove_if(v.begin(), v.end(), p), v.end());
}
}  // namespace

HostCore::HostCore(ConfigStore& store, std::string baseFolder)
    : store_(store), baseFolder_(std::move(baseFolder)) {
  auto factory = std::make_unique<qom::SingleServiceFactory<PreferencesAction>>(
      qom::kServiceAction, "Preferences:OPEN");
  factory->instance()->host_ = this;
  services_.push_back({factory.get(), qom::kServiceAction, "Preferences:OPEN"});
  prefsFactory_ = std::move(factory);
  auto browser = std::make_unique<qom::SingleServiceFactory<FolderBrowserService>>(
      qom::kServiceFolderBrowser, qom::kFolderBrowserName);
  folderBrowser_ = browser->instance();
  services_.push_back({browser.get(), qom::kServiceFolderBrowser, qom::kFolderBrowserName});
  folderFactory_ = std::move(browser);
}

HostCore::~HostCore() = default;

int HostCore::dispatch(int message, void* result, void** args, int argCount) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    log_.push_back(message);
  }
  switch (message) {
    case qom::hostmsg::kServiceRegister: {
      auto* f = qom::dispatchArg<qom::ServiceFactory*>(args, argCount, 0);
      if (f == nullptr) return 1;
      ServiceRecord record{f, f->serviceType(), text(f->serviceName())};
      std::lock_guard<std::mutex> lock(mutex_);
      services_.push_back(record);
      return 1;
    }
    case qom::hostmsg::kServiceDeregister: {
      auto* f = qom::dispatchArg<qom::ServiceFactory*>(args, argCount, 0);
      std::lock_guard<std::mutex> lock(mutex_);
      eraseWhere(services_, [&](const ServiceRecord& r) { return r.factory == f; });
      return 1;
    }
    case qom::hostmsg::kServiceLent: {
      auto* f = qom::dispatchArg<qom::ServiceFactory*>(args, argCount, 0);
      std::lock_guard<std::mutex> lock(mutex_);
      ++lent_[f];
      return 1;
    }
    case qom::hostmsg::kAutoPopupRegister:
    case qom::hostmsg::kAutoPopupRegisterGroup: {
      AutoPopup popup{};
      if (message == qom::hostmsg::kAutoPopupRegister)
        popup.guid = qom::dispatchArg<qom::Guid>(args, argCount, 0);
      else
        popup.groupId = text(qom::dispatchArg<const char*>(args, argCount, 0));
      popup.description = text(qom::dispatchArg<const char*>(args, argCount, 1));
      if (const char* c = qom::dispatchArg<const char*>(args, argCount, 2)) popup.preferredContainer = c;
      popup.containerRequired = qom::dispatchArg<int>(args, argCount, 3) != 0;
      std::lock_guard<std::mutex> lock(mutex_);
      popup.id = nextId_++;
      autoPopups_.push_back(popup);
      qom::dispatchResult(result, popup.id);
      return 1;
    }
    case qom::hostmsg::kAutoPopupDeregister: {
      int id = qom::dispatchArg<int>(args, argCount, 0);
      std::lock_guard<std::mutex> lock(mutex_);
      eraseWhere(autoPopups_, [&](const AutoPopup& p) { return p.id == id; });
      return 1;
    }
    case qom::hostmsg::kLauncherClick:
      qom::dispatchResult(result, launcherClick(qom::dispatchArg<qom::Guid>(args, argCount, 0)));
      return 1;
    case qom::hostmsg::kSkinFileRegister: {
      std::string path = text(qom::dispatchArg<const char*>(args, argCount, 0));
      std::lock_guard<std::mutex> lock(mutex_);
      int id = nextId_++;
      skinFiles_.push_back({id, path});
      qom::dispatchResult(result, id);
      return 1;
    }
    case qom::hostmsg::kSkinFileDeregister: {
      int id = qom::dispatchArg<int>(args, argCount, 0);
      std::lock_guard<std::mutex> lock(mutex_);
      eraseWhere(skinFiles_, [&](const SkinFile& s) { return s.id == id; });
      return 1;
    }
    case qom::hostmsg::kConfigRegisterGroup: {
      auto* g = qom::dispatchArg<qom::ConfigGroup*>(args, argCount, 0);
      if (g == nullptr) return 1;
      store_.attach(g);
      std::lock_guard<std::mutex> lock(mutex_);
      groups_.push_back(g);
      return 1;
    }
    case qom::hostmsg::kConfigDeregisterGroup: {
      auto* g = qom::dispatchArg<qom::ConfigGroup*>(args, argCount, 0);
      if (g == nullptr) return 1;
      store_.detach(g);
      std::lock_guard<std::mutex> lock(mutex_);
      eraseWhere(groups_, [&](qom::ConfigGroup* x) { return x == g; });
      return 1;
    }
    case qom::hostmsg::kPrefsRegisterPage: {
      PrefPage page{text(qom::dispatchArg<const char*>(args, argCount, 0)),
                    text(qom::dispatchArg<const char*>(args, argCount, 1)),
                    qom::dispatchArg<qom::Guid>(args, argCount, 2),
                    qom::dispatchArg<qom::Guid>(args, argCount, 3)};
      std::lock_guard<std::mutex> lock(mutex_);
      pages_.push_back(page);
      return 1;
    }
    case qom::hostmsg::kServiceFind: {
      auto type = qom::dispatchArg<std::uint32_t>(args, argCount, 0);
      std::string name = text(qom::dispatchArg<const char*>(args, argCount, 1));
      qom::dispatchResult(result, findService(type, name));
      return 1;
    }
    default: return 0;
  }
}

void HostCore::startComponents(const std::vector<qom::Component*>& components) {
  for (qom::Component* c : components) {
    c->registerWithHost(this);
    started_.push_back(c);
  }
  for (qom::Component* c : components) c->hostReady();
  for (qom::Component* c : components) c->notify(qom::kNotifySkinLoaded, 0, 0, 0, 0);
}

void HostCore::stopComponents() {
  for (qom::Component* c : started_) c->deregisterFromHost();
  for (qom::Component* c : started_) c->destroyComponent();
  started_.clear();
}

std::vector<HostCore::ServiceRecord> HostCore::services(std::uint32_t type) const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<ServiceRecord> out;
  for (const auto& r : services_)
    if (r.type == type) out.push_back(r);
  return out;
}

qom::ServiceFactory* HostCore::findService(std::uint32_t type, const std::string& name) const {
  std::lock_guard<std::mutex> lock(mutex_);
  for (const auto& r : services_)
    if (r.type == type && r.name == name) return r.factory;
  return nullptr;
}

int HostCore::lentCount(qom::ServiceFactory* factory) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = lent_.find(factory);
  return it != lent_.end() ? it->second : 0;
}

std::vector<HostCore::AutoPopup> HostCore::autoPopups() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return autoPopups_;
}
std::vector<HostCore::SkinFile> HostCore::skinFiles() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return skinFiles_;
}
std::vector<HostCore::PrefPage> HostCore::prefPages() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return pages_;
}
std::vector<qom::ConfigGroup*> HostCore::configGroups() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return groups_;
}
std::vector<int> HostCore::messageLog() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return log_;
}

namespace {
// Receives one list text from a text feed.
class ListReceiver final : public qom::Dispatchable {
 public:
  int dispatch(int message, void*, void** args, int argCount) override {
    if (message != qom::TextFeed::kMsgReceiverText) return 0;
    const char* list = qom::dispatchArg<const char*>(args, argCount, 0);
    text = std::string(list != nullptr ? list : "");
    return 1;
  }
  std::optional<std::string> text;
};
}  // namespace

std::optional<std::string> HostCore::feedList(const std::string& listName) {
  for (const ServiceRecord& r : services(qom::kServiceTextFeed)) {
    auto* feed = static_cast<qom::TextFeed*>(r.factory->getInterface());
    if (feed == nullptr) continue;
    std::optional<std::string> list;
    if (feed->hasFeed(listName.c_str())) {
      ListReceiver receiver;
      feed->registerReceiver(listName.c_str(), &receiver);
      feed->unregisterReceiver(listName.c_str(), &receiver);
      list = receiver.text;
    }
    r.factory->releaseInterface(feed);
    if (list) return list;
  }
  return std::nullopt;
}

HostCore::CreatedWindow HostCore::createWindowByGuid(const qom::Guid& guid, qom::ui::Window* parent) {
  for (const ServiceRecord& r : services(qom::kServiceWindowCreator)) {
    auto* creator = static_cast<qom::WindowCreator*>(r.factory->getInterface());
    if (creator == nullptr) continue;
    qom::ui::Window* w = creator->createWindowByGuid(guid, parent);
    r.factory->releaseInterface(creator);
    if (w != nullptr) return {w, r.factory};
  }
  return {};
}

HostCore::CreatedWindow HostCore::createWindowOfType(const char* type, int index,
                                                     qom::ui::Window* parent) {
  for (const ServiceRecord& r : services(qom::kServiceWindowCreator)) {
    auto* creator = static_cast<qom::WindowCreator*>(r.factory->getInterface());
    if (creator == nullptr) continue;
    qom::ui::Window* w = creator->createWindowOfType(type, parent, index);
    r.factory->releaseInterface(creator);
    if (w != nullptr) return {w, r.factory};
  }
  return {};
}

std::vector<HostCore::CreatedWindow> HostCore::createWindowsOfType(const char* type, int index,
                                                                  qom::ui::Window* parent) {
  std::vector<CreatedWindow> made;
  for (const ServiceRecord& r : services(qom::kServiceWindowCreator)) {
    auto* creator = static_cast<qom::WindowCreator*>(r.factory->getInterface());
    if (creator == nullptr) continue;
    qom::ui::Window* w = creator->createWindowOfType(type, parent, index);
    r.factory->releaseInterface(creator);
    if (w != nullptr) made.push_back({w, r.factory});
  }
  return made;
}

bool HostCore::destroyWindow(const CreatedWindow& window) {
  if (!window) return false;
  auto* creator = static_cast<qom::WindowCreator*>(window.factory->getInterface());
  if (creator == nullptr) return false;
  bool done = creator->destroyWindow(window.window) != 0;
  window.factory->releaseInterface(creator);
  return done;
}

bool HostCore::isWindowShown(const qom::Guid& guid) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = shown_.find(guid.toString());
  return it != shown_.end() && it->second;
}

void HostCore::setShowWindowHandler(std::function<bool(const qom::Guid&, bool)> handler) {
  std::lock_guard<std::mutex> lock(mutex_);
  showHandler_ = std::move(handler);
}

void HostCore::setWindowShown(const qom::Guid& guid, bool shown) {
  std::lock_guard<std::mutex> lock(mutex_);
  shown_[guid.toString()] = shown;
}

int HostCore::launcherClick(const qom::Guid& guid) {
  std::function<bool(const qom::Guid&, bool)> handler;
  bool show;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    show = !shown_[guid.toString()];
    handler = showHandler_;
  }
  bool nowShown = handler ? handler(guid, show) : show;
  std::lock_guard<std::mutex> lock(mutex_);
  shown_[guid.toString()] = nowShown;
  return nowShown ? 1 : 0;
}

std::vector<std::string> HostCore::preferencesRequests() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return prefRequests_;
}

void HostCore::setOpenPreferencesHandler(std::function<void(const std::string&)> handler) {
  std::lock_guard<std::mutex> lock(mutex_);
  prefsHandler_ = std::move(handler);
}

void HostCore::openPreferences(const std::string& guidText) {
  std::function<void(const std::string&)> handler;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    prefRequests_.push_back(guidText);
    handler = prefsHandler_;
  }
  if (handler) handler(guidText);
}

}  // namespace qomhost
