#pragma once
// The main window of the real rondel.qom in a headless host, for the road of
// one disc: an image drive playing a made disc, lookups on against a local
// cddb-server, the output folder in a temporary directory (Z:\ form), and a
// loop that records every status text of every track. The test's thread is
// the window thread.
#include <string>

#include "integration/rip_fixture.h"

namespace road_test {

using testing_support::DrivesJson;

class RoadWindow : public testing_support::RipFixture {
 public:
  RoadWindow(const std::string& cuePath, const std::string& server)
      : RipFixture(DrivesJson{R"({"drives": [{"type": "image", "name": "Road Image", "path": ")" + cuePath +
                              R"("}]})"}),
        // Short lookup time-outs: a fault ends in seconds, not in a minute.
        timeouts_("RONDEL_LOOKUP_TIMEOUTS", "2000,2000,10000") {
    set("Use Freedb", "1");
    set("Freedb Server", server);
    set("EMail", "road@example.org");
    set("Eject", "1");
  }
  ~RoadWindow() { close(); }  // the window (and its threads) before the time-outs go

  bool runUntilStatus(const std::string& text) {
    return runUntil([&] { return status().text() == text; });
  }

 private:
  testing_support::ScopedEnv timeouts_;
};

}  // namespace road_test
