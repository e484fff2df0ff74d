#pragma once
// The host's side of the host API: registries for services, auto-popup
// windows, skin files, configuration groups and preference pages, the
// launcher message and the "Preferences:OPEN" action, and the component
// lifecycle.
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "host/core/config_store.h"
#include "host/core/folder_browser_service.h"
#include "host/core/module_loader.h"
#include "sdk/host_api.h"
#include "sdk/service.h"
#include "sdk/ui/window.h"

namespace qomhost {

class PreferencesAction;

class HostCore final : public qom::HostApi {
 public:
  // `baseFolder`: native folder that relative skin paths start from (the
  // executable's folder).
  HostCore(ConfigStore& store, std::string baseFolder);
  ~HostCore();

  int dispatch(int message, void* result, void** args, int argCount) override;

  // Registers each component (200), tells each the host is ready (400) and
  // that the skin is loaded (500 with 58115).
  void startComponents(const std::vector<qom::Component*>& components);
  // Deregisters (1000) then destroys (410) each started component.
  void stopComponents();

  struct ServiceRecord {
    qom::ServiceFactory* factory;
    std::uint32_t type;
    std::string name;
  };
  struct AutoPopup {
    int id;
    qom::Guid guid;
    std::string groupId;
    std::string description;
    std::optional<std::string> preferredContainer;
    bool containerRequired;
  };
  struct SkinFile {
    int id;
    std::string path;
  };
  struct PrefPage {
    std::string id, title;
    qom::Guid guid, parent;
  };
  // A window made by a component's window creator.
  struct CreatedWindow {
    qom::ui::Window* window = nullptr;
    qom::ServiceFactory* factory = nullptr;
    explicit operator bool() const { return window != nullptr; }
  };

  std::vector<ServiceRecord> services(std::uint32_t type) const;
  qom::ServiceFactory* findService(std::uint32_t type, const std::string& name) const;
  int lentCount(qom::ServiceFactory* factory) const;
  std::vector<AutoPopup> autoPopups() const;
  std::vector<SkinFile> skinFiles() const;
  std::vector<PrefPage> prefPages() const;
  std::vector<qom::ConfigGroup*> configGroups() const;
  // Every message number the host received, in order (diagnostics, tests).
  std::vector<int> messageLog() const;

  // Text of a named list from whichever text feed serves it.
  std::optional<std::string> feedList(const std::string& listName);

  // Asks the window creators for a window by GUID / by type and index.
  CreatedWindow createWindowByGuid(const qom::Guid& guid, qom::ui::Window* parent = nullptr);
  CreatedWindow createWindowOfType(const char* type, int index, qom::ui::Window* parent = nullptr);
  // Asks every window creator, in registration order, and keeps each answer.
  std::vector<CreatedWindow> createWindowsOfType(const char* type, int index,
                                                 qom::ui::Window* parent = nullptr);
  bool destroyWindow(const CreatedWindow& window);

  // Shown state of windows by GUID, toggled by the launcher message. A view
  // installs `onShowWindow` to show or hide for real; it answers the state.
  bool isWindowShown(const qom::Guid& guid) const;
  void setWindowShown(const qom::Guid& guid, bool shown);
  void setShowWindowHandler(std::function<bool(const qom::Guid&, bool show)> handler);
  // The page GUID texts "Preferences:OPEN" was asked for, in order.
  std::vector<std::string> preferencesRequests() const;
  void setOpenPreferencesHandler(std::function<void(const std::string& guidText)> handler);
  // The host's folder browser service ("Shell:BROWSEFOLDER"); whoever runs
  // the host sets what answers it.
  FolderBrowserService& folderBrowser() { return *folderBrowser_; }

  ConfigStore& store() { return store_; }
  const std::string& baseFolder() const { return baseFolder_; }

 private:
  friend class PreferencesAction;
  void openPreferences(const std::string& guidText);
  int launcherClick(const qom::Guid& guid);

  ConfigStore& store_;
  const std::string baseFolder_;
  mutable std::mutex mutex_;
  std::vector<ServiceRecord> services_;
  std::map<qom::ServiceFactory*, int> lent_;
  std::vector<AutoPopup> autoPopups_;
  std::vector<SkinFile> skinFiles_;
  std::vector<qom::ConfigGroup*> groups_;
  std::vector<PrefPage> pages_;
  std::vector<int> log_;
  std::map<std::string, bool> shown_;
  std::vector<std::string> prefRequests_;
  std::function<bool(const qom::Guid&, bool)> showHandler_;
  std::function<void(const std::string&)> prefsHandler_;
  std::vector<qom::Component*> started_;
  int nextId_ = 1;
  std::unique_ptr<qom::ServiceFactory> prefsFactory_;
  std::unique_ptr<qom::ServiceFactory> folderFactory_;
  FolderBrowserService* folderBrowser_ = nullptr;  // owned by folderFactory_
};

}  // namespace qomhost
