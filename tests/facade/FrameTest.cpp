#include <gtest/gtest.h>

#include <vector>

#include "uNorvex.h"

TEST(Frame, StartsCleanAndReportsItsVersion) {
  TNorvex n;
  EXPECT_EQ(n.LastErrorCode(), 0);
  EXPECT_EQ(n.LibraryVersion(), "4.29");
  EXPECT_EQ(n.LastErrorCode(), 0);
  EXPECT_EQ(n.TempPath().back(), '/');
  EXPECT_EQ(n.Permissions(1, 1, 1, 1, 1, 1, 1, 1), 0x3200FF);
}

TEST(Frame, ProgressIsReportedOnlyWhenItChanges) {
  TNorvex n;
  std::vector<int32_t> seen;
  n.ReportProgress(50);  // no event set: nothing happens
  n.OnProgress = [&](int32_t p) { seen.push_back(p); };
  n.ProgressScale = 1.0;
  for (double step : {0.0, 0.4, 0.5, 1.5, 2.5, 50.0, 50.0, 100.0}) n.ReportProgress(step);
  // 0 equals the last value (0) and is not reported; 0.5 rounds to 0, 1.5 and 2.5 to 2.
  EXPECT_EQ(seen, (std::vector<int32_t>{2, 50, 100}));
  // Second of two parts: 40 -> 40 div 2 + 50.
  n.ProgressPart = 2;
  n.ProgressPartCount = 2;
  n.ReportProgress(40);
  EXPECT_EQ(seen.back(), 70);
}
