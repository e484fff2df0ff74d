#pragma once
// Runs the real rondel.qom in an in-process host with simulated drives.
#include <memory>
#include <string>
#include <vector>

#include "host/core/host_session.h"
#include "support/temp_dir.h"

namespace testing_support {

// A whole drive library configuration, for drives that need more than a
// name (readiness scripts, track layouts, faults).
struct DrivesJson {
  std::string text;
};

// One simulated drive entry: `fields` are extra JSON members such as
// R"("readiness": [7, 0])"; `tracks` is the JSON array of tracks.
inline std::string simDrive(const std::string& name, const std::string& tracks,
                            const std::string& fields = "") {
  return R"({"type": "simulated", "name": ")" + name + R"(", "tracks": )" + tracks +
         (fields.empty() ? "" : ", " + fields) + "}";
}

// The JSON array of audio tracks of these lengths in sectors.
inline std::string tracks(const std::vector<int>& sectors) {
  std::string t;
  for (int s : sectors) t += (t.empty() ? "" : ", ") + std::string(R"({"sectors": )") + std::to_string(s) + "}";
  return "[" + t + "]";
}

// A simulated drive's audio: a sine tone, which encoders do not squash to
// nothing as they do silence.
constexpr const char* kSine = R"("audio": {"generator": "sine"})";

inline DrivesJson drives(const std::vector<std::string>& entries) {
  std::string joined;
  for (const std::string& e : entries) joined += (joined.empty() ? "" : ",\n") + e;
  return {"{\"drives\": [\n" + joined + "\n]}\n"};
}

// Two audio tracks: 13230 sectors (2:56) and 9000 sectors (2:00).
constexpr const char* kTwoTracks = R"([{"sectors": 13230}, {"sectors": 9000}])";
constexpr const char* kThreeTracks =
    R"([{"sectors": 13230}, {"sectors": 9000}, {"sectors": 4500}])";

// A drive library configuration with simulated drives of the given names,
// each with kTwoTracks.
inline std::string simDrivesConfig(const std::vector<std::string>& names) {
  std::vector<std::string> entries;
  for (const std::string& name : names) entries.push_back(simDrive(name, kTwoTracks));
  return drives(entries).text;
}

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
