#include "rondel/shell/rondel_component.h"

#include "rondel/drive/drive_library.h"
#include "rondel/rip/encoder_table.h"
#include "rondel/shell/config_items.h"
#include "rondel/shell/identity.h"
#include "rondel/shell/library_folder.h"
#include "rondel/shell/text_feed.h"
#include "rondel/shell/window_creators.h"
#include "rondel/ui/main_window.h"

namespace rondel {
namespace {

// The drive-change callback: a new "Device" value selects that drive in the
// main window, if one exists. It runs on whichever thread changed the value;
// the lock keeps the window from being freed while it is selected in.
void onDeviceChanged(const std::string& value) {
  std::lock_guard<std::mutex> lock(mainWindowLock());
  if (MainWindow* window = mainWindow()) window->selectDriveByName(value);
}

template <class Service>
qom::Resource* serviceResource(std::uint32_t type, const char* name) {
  return new qom::ServiceResource(std::make_unique<qom::SingleServiceFactory<Service>>(type, name));
}

}  // namespace

RondelComponent::RondelComponent() : qom::ComponentBase(kComponentName, kComponentGuid) {
  const std::string folder = libraryFolder();
  OpenDrives(folder);
  LoadEncoderLibraries(folder);

  addResource(serviceResource<MainWindowCreator>(qom::kServiceWindowCreator, kComponentName));
  addResource(serviceResource<LauncherIconCreator>(qom::kServiceWindowCreator, kComponentName));
  addResource(new qom::AutoPopupResource(kComponentGuid, kComponentName));
  addResource(serviceResource<RondelTextFeed>(qom::kServiceTextFeed, kListDevices));
  addResource(new qom::SkinFileResource(kSkinFilePath));

  setConfig(&config());
  addConfigItems(config(), onDeviceChanged);
}

RondelComponent::~RondelComponent() { setConfig(nullptr); }

void RondelComponent::onHostReady() {
  if (driveCount() > 0 && config().getString(key::kDevice).empty())
    config().setString(key::kDevice, driveAt(0)->name());
  registerPreferencePages();
}

void RondelComponent::registerPreferencePages() {
  qom::HostApi* api = qom::hostApi();
  if (api == nullptr) return;
  api->prefsRegisterPage("rondel.options", "Rondel", kComponentGuid, qom::kNullGuid);
  api->prefsRegisterPage("rondel.options.output", "Output", qom::kNullGuid, kComponentGuid);
  api->prefsRegisterPage("rondel.options.device", "Devices", qom::kNullGuid, kComponentGuid);
  api->prefsRegisterPage("rondel.options.freedb", "Freedb", qom::kNullGuid, kComponentGuid);
}

}  // namespace rondel
