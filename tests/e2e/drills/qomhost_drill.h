#pragma once
// The real `qomhost` as a separate process for a drill: its own
// configuration folder, a drive library configuration (CDR_CONFIG) and an
// output folder in one temporary directory, lookups off unless the drill
// points it at a server.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "drill_support.h"

namespace drills {

class QomhostDrill {
 public:
  // `drives` is the drive library's JSON configuration.
  explicit QomhostDrill(const std::string& drives)
      : cdrConfig_("CDR_CONFIG", dir_.write("cdr.json", drives)) {}

  std::string host() const { return testing_support::binDir() + "/qomhost"; }
  std::string configDir() const { return dir_.file("config"); }
  std::string out() const { return dir_.file("out"); }
  std::string outFile(const std::string& relative) const { return out() + "/" + relative; }
  std::string log(const std::string& name) const { return dir_.file(name); }

  // qomhost with the drill's configuration folder and `args`.
  std::vector<std::string> command(const std::vector<std::string>& args) const {
    std::vector<std::string> argv{host(), "--config-dir", configDir()};
    argv.insert(argv.end(), args.begin(), args.end());
    return argv;
  }
  testing_support::CommandResult run(const std::vector<std::string>& args) const {
    return testing_support::runCommand(command(args));
  }
  void set(const std::string& key, const std::string& value) const {
    const auto r = run({"config", "set", key, value});
    ASSERT_EQ(r.exitCode, 0) << key << ": " << r.err;
  }

  // The configuration must come through a fault byte for byte, and still
  // load: a later qomhost reads back what it held.
  void expectConfigIntact(const std::string& before, const std::string& key,
                          const std::string& value) const {
    EXPECT_EQ(configText(configDir()), before);
    const auto r = run({"config", "get", key});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, value + "\n");
  }

 private:
  testing_support::TempDir dir_;
  testing_support::ScopedEnv cdrConfig_;
};

}  // namespace drills
