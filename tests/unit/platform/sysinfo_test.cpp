#include "platform/sysinfo.h"

#include <gtest/gtest.h>

#include <optional>

#include "support/temp_dir.h"

namespace {

TEST(SystemPlatformId, EnvironmentOverridesOnlyWithAnIdInRangeAndTheTestOverrideWins) {
  testing_support::ScopedEnv env("QOM_PLATFORM_ID", "");
  unsetenv("QOM_PLATFORM_ID");
  EXPECT_EQ(platform::systemPlatformId(), platform::kPlatformWin32Nt);
  setenv("QOM_PLATFORM_ID", "1", 1);
  EXPECT_EQ(platform::systemPlatformId(), platform::kPlatformWin32Windows);
  setenv("QOM_PLATFORM_ID", "10", 1);
  EXPECT_EQ(platform::systemPlatformId(), 10);
  for (const char* junk : {"", "abc", "11", "-1", "2x", " 1", "1 ", "0x1", "99999999999999999999"}) {
    setenv("QOM_PLATFORM_ID", junk, 1);
    EXPECT_EQ(platform::systemPlatformId(), platform::kPlatformWin32Nt) << '"' << junk << '"';
  }

  setenv("QOM_PLATFORM_ID", "0", 1);
  platform::setSystemPlatformIdForTesting(platform::kPlatformWin32Windows);
  EXPECT_EQ(platform::systemPlatformId(), platform::kPlatformWin32Windows);
  platform::setSystemPlatformIdForTesting(std::nullopt);
  EXPECT_EQ(platform::systemPlatformId(), 0);
}

}  // namespace
