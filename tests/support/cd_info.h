#pragma once
// cd-info's (libcdio-utils) track list for a CUE or TOC file: an independent
// reading of a disc image for the tests that make or play one.
#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "support/run_command.h"

namespace testing_support {

struct CdInfoTrack {
  unsigned track, m, s, f, lsn;
  std::string type;  // audio, data or leadout
};

// `option` is "--cue-file" or "--toc-file". A missing cd-info fails the test.
inline std::vector<CdInfoTrack> cdInfoTracks(const std::string& option, const std::string& image) {
  const std::string tool = findProgram("cd-info");
  EXPECT_FALSE(tool.empty()) << "cd-info (libcdio-utils) is missing: scripts/setup installs it";
  const CommandResult r = runCommand({tool, "--no-header", "-q", "--no-cddb", "--no-device-info",
                                      "--no-disc-mode", "--no-analyze", "--no-ioctl", option, image});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  std::vector<CdInfoTrack> tracks;
  std::istringstream in(r.out);
  for (std::string line; std::getline(in, line);) {
    CdInfoTrack t{};
    char type[16] = {};
    if (std::sscanf(line.c_str(), " %u: %u:%u:%u %u %15s", &t.track, &t.m, &t.s, &t.f, &t.lsn, type) == 6) {
      t.type = type;
      tracks.push_back(t);
    }
  }
  EXPECT_FALSE(tracks.empty()) << r.out;
  return tracks;
}

}  // namespace testing_support
