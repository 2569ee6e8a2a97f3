#include <gtest/gtest.h>

#include "uPlatform.h"

TEST(Platform, TempFolderEndsWithSeparator) {
  EXPECT_EQ(platform::TempFolder().back(), '/');
}

TEST(Platform, ClockCanBeReplacedAndRestored) {
  platform::TClock fixed;
  fixed.UtcOffsetMinutes = [] { return 60; };
  platform::TClock previous = platform::SetClock(fixed);
  EXPECT_EQ(platform::Clock().UtcOffsetMinutes(), 60);
  EXPECT_TRUE(platform::Clock().LocalNow);  // the system's own fills the gap
  platform::SetClock(previous);
}
