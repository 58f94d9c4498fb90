#include "core/zqBusy.h"

#include <gtest/gtest.h>

#include "csi.h"

TEST(ZqBusy, EachBusyConditionAndTheQuietCases) {
  struct Case {
    ZqBusyInputs in;
    bool busy;
  };
  const Case cases[] = {
      {{0, 0, 0, 0, 0}, false},                           // idle
      {{1, 0, 0, 0, 0}, true},                            // recording
      {{2, 0, 0, 0, 0}, false},                           // only the value 1 means recording
      {{0, 0, 0, 2, 0}, true},                            // transfer state 2
      {{0, 0, 0, 1, 0}, false}, {{0, 0, 1, 0, 0}, true},  // offloading
      {{0, 1, 0, 0, 1}, true},                            // paused during activity 1
      {{0, 1, 0, 0, 2}, true},                            // paused during activity 2
      {{0, 1, 0, 0, 3}, false},                           // paused in another activity
      {{0, 0, 0, 0, 1}, false},                           // activity without pause
  };
  for (const Case& c : cases) {
    EXPECT_EQ(zq_busy(c.in), c.busy)
        << c.in.recording << c.in.paused << c.in.offload << c.in.transfer << c.in.activity;
  }
}

TEST(ZqBusy, ReadsTheCameraStatus) {
  uint32_t v = 0;
  for (int id : {3, 38, 39, 111, 30}) ASSERT_EQ(csi_set(id, &v, 4), 0);
  EXPECT_FALSE(should_stop_download());
  v = 2;
  ASSERT_EQ(csi_set(111, &v, 4), 0);
  EXPECT_TRUE(should_stop_download());
  v = 0;
  ASSERT_EQ(csi_set(111, &v, 4), 0);
  v = 1;
  ASSERT_EQ(csi_set(38, &v, 4), 0);
  ASSERT_EQ(csi_set(30, &v, 4), 0);
  EXPECT_TRUE(should_stop_download());
}
