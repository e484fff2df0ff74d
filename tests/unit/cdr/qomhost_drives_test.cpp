// The drive library under the real host: two made images and a simulated
// drive, configured with no access modes, are what `qomhost drives` lists.
#include <gtest/gtest.h>

#include "support/run_command.h"
#include "support/temp_dir.h"
#include "unit/cdr/image_files.h"

namespace {

TEST(QomhostDrives, ImagesAndSimulatedDriveListedInConfigurationOrder) {
  testing_support::TempDir dir;
  cdr_test::writeThreeTrackImage(dir.path(), "first");
  std::filesystem::create_directory(dir.file("discs"));
  cdr_test::writeThreeTrackImage(dir.file("discs"), "second");
  testing_support::ScopedEnv config(
      "CDR_CONFIG", dir.write("cdr.json", R"({"drives": [
        {"type": "image", "path": "first.cue"},
        {"type": "simulated", "name": "SIM Drive", "tracks": [{"sectors": 13230}]},
        {"type": "image", "path": "discs/second.cue", "name": "Second Disc"}
      ]})"));
  const auto r = testing_support::runCommand(
      {testing_support::binDir() + "/qomhost", "--config-dir", dir.file("config"), "drives"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "0\tfirst.cue\n1\tSIM Drive\n2\tSecond Disc\n") << r.err;
  EXPECT_EQ(r.err.find("cdr.dll"), std::string::npos) << "nothing was skipped: " << r.err;
}

}  // namespace
