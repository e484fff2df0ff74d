#include "platform/sysinfo.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

namespace {

class SystemPlatformId : public testing::Test {
 protected:
  void SetUp() override {
    if (const char* old = std::getenv("QOM_PLATFORM_ID")) saved_ = old;
    unsetenv("QOM_PLATFORM_ID");
  }
  void TearDown() override {
    platform::setSystemPlatformIdForTesting(std::nullopt);
    if (saved_) {
      setenv("QOM_PLATFORM_ID", saved_->c_str(), 1);
    } else {
      unsetenv("QOM_PLATFORM_ID");
    }
  }
  std::optional<std::string> saved_;
};

TEST_F(SystemPlatformId, EnvironmentOverridesOnlyWithAnIdInRange) {
  EXPECT_EQ(platform::systemPlatformId(), platform::kPlatformWin32Nt);
  setenv("QOM_PLATFORM_ID", "1", 1);
  EXPECT_EQ(platform::systemPlatformId(), platform::kPlatformWin32Windows);
  setenv("QOM_PLATFORM_ID", "10", 1);
  EXPECT_EQ(platform::systemPlatformId(), 10);
  for (const char* junk : {"", "abc", "11", "-1", "2x", " 1", "1 ", "0x1", "99999999999999999999"}) {
    setenv("QOM_PLATFORM_ID", junk, 1);
    EXPECT_EQ(platform::systemPlatformId(), platform::kPlatformWin32Nt) << '"' << junk << '"';
  }
}

TEST_F(SystemPlatformId, TestOverrideWinsOverEnvironmentUntilCleared) {
  setenv("QOM_PLATFORM_ID", "0", 1);
  platform::setSystemPlatformIdForTesting(platform::kPlatformWin32Windows);
  EXPECT_EQ(platform::systemPlatformId(), platform::kPlatformWin32Windows);
  platform::setSystemPlatformIdForTesting(std::nullopt);
  EXPECT_EQ(platform::systemPlatformId(), 0);
}

}  // namespace
