#include "server/zqStartup.h"

#include <gtest/gtest.h>

#include "zqcommon/zqLog.h"

TEST(ZqStartup, LogLevelFollowsExtendedLoggingBit) {
  EXPECT_EQ(zq_log_level_for_flags(0x800), ZQ_LOG_DEBUG);
  EXPECT_EQ(zq_log_level_for_flags(0xFFFFFFFF), ZQ_LOG_DEBUG);
  EXPECT_EQ(zq_log_level_for_flags(0), ZQ_LOG_ERROR);
  EXPECT_EQ(zq_log_level_for_flags(0x7FF), ZQ_LOG_ERROR);
}
