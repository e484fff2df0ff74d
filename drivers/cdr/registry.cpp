#include "drivers/cdr/registry.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "drivers/cdr/config.h"

namespace cdr {
namespace {

constexpr std::size_t kMaxWarningChars = 400;

// One stderr line per problem: control characters (from a path, or a JSON
// error quoting the input) must not split or forge lines.
void warnLine(const std::string& text) {
  std::string line = "cdr.dll: " + text;
  if (line.size() > kMaxWarningChars) line.replace(kMaxWarningChars - 3, std::string::npos, "...");
  for (char& c : line)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '?';
  line += '\n';
  std::fputs(line.c_str(), stderr);
}

}  // namespace

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
    // Nothing configured is an ordinary state (the component then shows no
    // drive), not something to warn about on every start.
  } else {
    const std::string prefix = std::string("CDR_CONFIG ") + path + ": ";
    drives = loadDrives(path, accessMode, [&](const std::string& text) { warnLine(prefix + text); });
  }

  auto set = std::make_unique<DriveSet>();
  set->records = std::make_unique<CdDeviceRecord[]>(drives.size());
  for (std::size_t i = 0; i < drives.size(); ++i) {
    CdDeviceRecord& record = set->records[i];
    std::memset(&record, 0, sizeof record);
    record.id = static_cast<std::uint32_t>(i);
    const std::string name = drives[i]->name();
    std::memcpy(record.name, name.data(), std::min(name.size(), kCdDeviceNameBytes - 1));
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
