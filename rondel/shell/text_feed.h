#pragma once
// The text feed service: the item lists the preference pages show in their
// drop-down fields.
#include <string>

#include "sdk/service.h"

namespace rondel {

constexpr const char* kListDevices = "rondel:DEVICES";
constexpr const char* kListServers = "rondel:SERVERS";
constexpr const char* kListFormats = "rondel:FORMATS";

class RondelTextFeed final : public qom::TextFeed {
 public:
  int dispatch(int message, void* result, void** args, int argCount) override;

  // True only for one of the three names, compared exactly.
  static bool serves(const char* name);
  // The list's items joined with ";" (no separator at either end).
  static std::string buildList(const std::string& name);
};

}  // namespace rondel
