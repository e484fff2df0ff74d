#include "drivers/cdr/config.h"

#include <algorithm>
#include <filesystem>

#include <nlohmann/json.hpp>

#include "drivers/cdr/device_drive.h"
#include "drivers/cdr/image_drive.h"
#include "drivers/cdr/sim_drive.h"
#include "platform/codepage.h"
#include "platform/small_file.h"

namespace cdr {
namespace {

using nlohmann::json;

// Nesting any real configuration stays far below; deeper input is refused
// before it can reach recursive code.
constexpr int kMaxDepth = 32;

// One entry may stand for several drives (every device found).
using Factory = std::vector<std::unique_ptr<Drive>> (*)(const json& entry,
                                                         const DriveContext& context);

struct Backend {
  const char* type;
  std::uint32_t defaultMode;
  Factory make;
};

const Backend kBackends[] = {
    {"simulated", kCdAccessDevices, &makeSimulatedDrive},
    {"image", kCdAccessDevices, &makeImageDrive},
    {"device", kCdAccessDevices, &makeDeviceDrives},
};

const Backend* backendFor(const std::string& type) {
  for (const Backend& b : kBackends)
    if (type == b.type) return &b;
  return nullptr;
}

std::vector<std::unique_ptr<Drive>> makeDrives(const json& entry, const std::string& configDir,
                                               std::uint32_t accessMode, const std::string& where,
                                               const Warn& warn) {
  if (!entry.is_object()) throw ConfigError("not an object");
  const json* type = cfg::find(entry, "type");
  if (!type || !type->is_string()) throw ConfigError("\"type\" must be a string");
  const Backend* backend = backendFor(type->get_ref<const std::string&>());
  if (!backend) throw ConfigError("unknown type \"" + displayName(type->get_ref<const std::string&>()) + "\"");

  const std::uint32_t mode = cfg::uintField(entry, "mode", kCdAccessDevices,
                                            kCdAccessDevicesAndImages, backend->defaultMode);
  if (mode > accessMode) return {};

  const json* name = cfg::find(entry, "name");
  if (name && (!name->is_string() || name->get_ref<const std::string&>().empty()))
    throw ConfigError("\"name\" must be a non-empty string");

  DriveContext context;
  context.configDir = configDir;
  if (name) context.name = displayName(name->get_ref<const std::string&>());
  context.note = [&](const std::string& line) { warn(where + ": " + line); };
  return backend->make(entry, context);
}

}  // namespace

std::string displayName(std::string_view utf8) {
  std::string name = platform::utf8ToCp1252(utf8);
  for (char& c : name)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '?';
  if (name.size() >= kCdDeviceNameBytes) name.resize(kCdDeviceNameBytes - 1);
  return name;
}

std::vector<std::unique_ptr<Drive>> parseDrives(std::string_view text, const std::string& configDir,
                                                std::uint32_t accessMode, const Warn& warn,
                                                bool* usable) {
  std::vector<std::unique_ptr<Drive>> drives;
  if (usable) *usable = false;
  json root;
  try {
    const json::parser_callback_t limitDepth = [](int depth, json::parse_event_t, json&) {
      if (depth > kMaxDepth) throw ConfigError("nested deeper than " + std::to_string(kMaxDepth));
      return true;
    };
    root = json::parse(text.begin(), text.end(), limitDepth, true, true);
  } catch (const std::exception& e) {
    warn(std::string("not valid JSON: ") + e.what() + ": no drives");
    return drives;
  }
  const json* list = root.is_object() ? cfg::find(root, "drives") : nullptr;
  if (!list || !list->is_array()) {
    warn("no \"drives\" array: no drives");
    return drives;
  }
  if (usable) *usable = true;
  if (list->size() > kMaxDrives)
    warn("only the first " + std::to_string(kMaxDrives) + " of " + std::to_string(list->size()) +
         " drives are read");

  const std::size_t count = std::min(list->size(), kMaxDrives);
  for (std::size_t i = 0; i < count && drives.size() < kMaxDrives; ++i) {
    const std::string where = "drive " + std::to_string(i + 1);
    try {
      for (auto& drive : makeDrives((*list)[i], configDir, accessMode, where, warn))
        if (drives.size() < kMaxDrives) drives.push_back(std::move(drive));
    } catch (const std::bad_alloc&) {
      throw;
    } catch (const std::exception& e) {
      warn(where + " skipped: " + e.what());
    }
  }
  return drives;
}

std::vector<std::unique_ptr<Drive>> loadDrives(const std::string& path, std::uint32_t accessMode,
                                               const Warn& warn, bool* usable) {
  if (usable) *usable = false;
  // Non-blocking and regular files only: a FIFO named here would hang the
  // open, and the read stops at the cap.
  const platform::SmallFile file = platform::readSmallFile(path, kMaxConfigBytes);
  if (!file.ok) {
    warn(file.problem + ": no drives");
    return {};
  }
  const std::string& text = file.text;
  const std::string dir = std::filesystem::path(path).parent_path().string();
  return parseDrives(text, dir, accessMode, warn, usable);
}

namespace cfg {

const json* find(const json& object, const char* key) {
  const auto it = object.find(key);
  return it == object.end() ? nullptr : &*it;
}

std::uint32_t toUint(const json& value, const std::string& what, std::uint32_t lo,
                     std::uint32_t hi) {
  const std::string range =
      what + " must be an integer from " + std::to_string(lo) + " to " + std::to_string(hi);
  if (value.is_number_unsigned()) {
    const auto v = value.get<std::uint64_t>();
    if (v >= lo && v <= hi) return static_cast<std::uint32_t>(v);
  } else if (value.is_number_integer()) {
    const auto v = value.get<std::int64_t>();
    if (v >= 0 && static_cast<std::uint64_t>(v) >= lo && static_cast<std::uint64_t>(v) <= hi)
      return static_cast<std::uint32_t>(v);
  }
  throw ConfigError(range);
}

std::uint32_t uintField(const json& object, const char* key, std::uint32_t lo, std::uint32_t hi,
                        std::uint32_t fallback) {
  const json* value = find(object, key);
  return value ? toUint(*value, std::string("\"") + key + "\"", lo, hi) : fallback;
}

bool boolField(const json& object, const char* key, bool fallback) {
  const json* value = find(object, key);
  if (!value) return fallback;
  if (!value->is_boolean()) throw ConfigError(std::string("\"") + key + "\" must be true or false");
  return value->get<bool>();
}

void checkKeys(const json& object, std::initializer_list<const char*> known,
               const std::string& where, const Warn& note) {
  for (const auto& item : object.items()) {
    bool found = false;
    for (const char* k : known) found = found || item.key() == k;
    if (!found) note(where + "unknown key \"" + displayName(item.key()) + "\" ignored");
  }
}

}  // namespace cfg
}  // namespace cdr
