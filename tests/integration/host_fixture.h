#pragma once
// Runs the real rondel.qom in an in-process host with simulated drives.
#include <memory>
#include <string>
#include <vector>

#include "host/host_session.h"
#include "support/temp_dir.h"

namespace testing_support {

// A drive library configuration with simulated drives of the given names.
inline std::string simDrivesConfig(const std::vector<std::string>& names) {
  std::string drives;
  for (const std::string& name : names) {
    if (!drives.empty()) drives += ",\n";
    drives += R"(  {"type": "simulated", "name": ")" + name +
              R"(", "tracks": [{"sectors": 13230}, {"sectors": 9000}]})";
  }
  return "{\"drives\": [\n" + drives + "\n]}\n";
}

// A whole drive library configuration, for drives that need more than a
// name (readiness scripts, track layouts, faults).
struct DrivesJson {
  std::string text;
};

class HostFixture {
 public:
  explicit HostFixture(const std::vector<std::string>& driveNames)
      : HostFixture(DrivesJson{simDrivesConfig(driveNames)}, 0) {}
  // (The second argument keeps a braced list of names from meaning this.)
  HostFixture(const DrivesJson& config, int)
      : cdrConfig_("CDR_CONFIG", dir_.write("cdr.json", config.text)) {}

  std::unique_ptr<qomhost::HostSession> start() {
    qomhost::HostSession::Options options;
    options.configFolder = configFolder();
    options.baseFolder = binDir();
    return std::make_unique<qomhost::HostSession>(options);
  }
  std::string configFolder() const { return dir_.file("config"); }
  const TempDir& dir() const { return dir_; }

 private:
  TempDir dir_;
  ScopedEnv cdrConfig_;
};

}  // namespace testing_support
