#include "server/zqStartup.h"

#include <gtest/gtest.h>

#include "zqcommon/zqLog.h"
#include "zqsim/SimState.h"

TEST(ZqStartup, LogLevelFollowsExtendedLoggingBit) {
  EXPECT_EQ(zq_log_level_for_flags(0x800), ZQ_LOG_DEBUG);
  EXPECT_EQ(zq_log_level_for_flags(0xFFFFFFFF), ZQ_LOG_DEBUG);
  EXPECT_EQ(zq_log_level_for_flags(0), ZQ_LOG_ERROR);
  EXPECT_EQ(zq_log_level_for_flags(0x7FF), ZQ_LOG_ERROR);
}

TEST(ZqStartup, ExtendedMemoryByModel) {
  for (int model : {57, 58, 59, 60, 61, 62, 22}) {
    zqsim::SimState::Get().Write([&](zqsim::SimStateData& d) {
      d.identity.model_number = static_cast<uint8_t>(model);
      return 0;
    });
    uint32_t extended = 7;
    EXPECT_EQ(get_memory_support(&extended), 0);
    const bool big = model == 58 || model == 60 || model == 61;
    EXPECT_EQ(extended, big ? 1u : 0u) << model;
    EXPECT_EQ(zq_worker_threads(extended), big ? 8 : 5) << model;
  }
}
