#include "drivers/cdr/registry.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

#include "drivers/cdr/config.h"
#include "drivers/cdr/device_drive.h"
#include "drivers/cdr/drive_names.h"
#include "drivers/cdr/warn.h"

namespace cdr {

void DriveSlot::retire() {
  std::unique_ptr<Drive> old;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    old = std::move(drive_);
  }
}

std::int32_t Registry::initialize(std::uint32_t accessMode) {
  if (accessMode > kCdAccessDevicesAndImages) return kBadArgument;
  std::lock_guard<std::mutex> lock(initMutex_);

  // Release the previous drives before opening new ones: a device may allow
  // only one open handle.
  if (DriveSet* old = current_.load(std::memory_order_acquire))
    for (auto& slot : old->slots) slot->retire();

  std::vector<std::unique_ptr<Drive>> drives;
  const char* path = std::getenv("CDR_CONFIG");
  if (!path || !*path) {
    // Nothing configured: the real drives, which is what a user without a
    // configuration file expects. Not worth a warning.
    drives = makeFoundDevices();
  } else {
    const std::string prefix = std::string("CDR_CONFIG ") + path + ": ";
    const Warn warn = [&](const std::string& text) { warnLine(prefix + text); };
    bool usable = false;
    drives = loadDrives(path, accessMode, warn, &usable);
    // The fallback mode: a configuration that cannot be used at all must not
    // hide the machine's drives.
    if (!usable && accessMode >= kCdAccessDevicesAndImages) {
      auto found = makeFoundDevices();
      warn("offering the " + std::to_string(found.size()) + " drive(s) found instead");
      for (auto& drive : found) drives.push_back(std::move(drive));
    }
  }

  auto set = std::make_unique<DriveSet>();
  set->records = std::make_unique<CdDeviceRecord[]>(drives.size());
  std::vector<std::string> names;
  for (const auto& drive : drives) names.push_back(drive->name());
  names = uniqueNames(std::move(names));
  for (std::size_t i = 0; i < drives.size(); ++i) {
    CdDeviceRecord& record = set->records[i];
    std::memset(&record, 0, sizeof record);
    record.id = static_cast<std::uint32_t>(i);
    std::memcpy(record.name, names[i].data(), std::min(names[i].size(), kCdDeviceNameBytes - 1));
    set->pointers.push_back(&record);
    set->slots.push_back(std::make_unique<DriveSlot>(std::move(drives[i])));
  }
  set->pointers.push_back(nullptr);

  sets_.push_back(std::move(set));
  current_.store(sets_.back().get(), std::memory_order_release);
  return kOk;
}

DriveSlot* Registry::slot(std::uint32_t device) const {
  const DriveSet* set = current();
  if (!set || device >= set->slots.size()) return nullptr;
  return set->slots[device].get();
}

Registry& registry() {
  static Registry instance;
  return instance;
}

}  // namespace cdr
