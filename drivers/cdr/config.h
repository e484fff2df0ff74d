#pragma once
// The library's configuration: a JSON file, named by the CDR_CONFIG
// environment variable, listing the drives to offer. README.md describes it.
// Everything in it is untrusted: a bad file or entry costs that file or
// entry, with one line of explanation, never the library.
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "drivers/cdr/drive.h"

namespace cdr {

// Receives one line (no newline) per skipped or ignored thing.
using Warn = std::function<void(const std::string&)>;

// Why a drive entry cannot be used; the text names the field.
class ConfigError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// What a backend gets besides its entry.
struct DriveContext {
  std::string configDir;  // relative file names are resolved against it
  std::string name;       // the entry's display name, already Windows-1252; empty if none
  Warn note;              // fields it ignores, one line each
};

constexpr std::size_t kMaxConfigBytes = std::size_t{1} << 20;
constexpr std::size_t kMaxDrives = 32;

// The drives the file at path offers in accessMode, in file order, at most
// kMaxDrives. usable (if given) tells whether the file could be used at all:
// read, valid JSON, with a "drives" array.
std::vector<std::unique_ptr<Drive>> loadDrives(const std::string& path, std::uint32_t accessMode,
                                               const Warn& warn, bool* usable = nullptr);
// The same from text already read; configDir resolves relative names.
std::vector<std::unique_ptr<Drive>> parseDrives(std::string_view text, const std::string& configDir,
                                                std::uint32_t accessMode, const Warn& warn,
                                                bool* usable = nullptr);

// The display name as the component gets it: Windows-1252, control
// characters as "?", cut to fit a device record.
std::string displayName(std::string_view utf8);

// Field readers for the backends. They throw ConfigError naming the field.
namespace cfg {
const nlohmann::json* find(const nlohmann::json& object, const char* key);
std::uint32_t toUint(const nlohmann::json& value, const std::string& what, std::uint32_t lo,
                     std::uint32_t hi);
std::uint32_t uintField(const nlohmann::json& object, const char* key, std::uint32_t lo,
                        std::uint32_t hi, std::uint32_t fallback);
bool boolField(const nlohmann::json& object, const char* key, bool fallback);
// Warns, through note, about each key not in known; where prefixes the line.
void checkKeys(const nlohmann::json& object, std::initializer_list<const char*> known,
               const std::string& where, const Warn& note);
}  // namespace cfg

}  // namespace cdr
