#include "core/zqBusy.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

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

// Each condition read from its own camera status: recording (3), offloading (39), transfer
// state (111), and a pause (38) during an activity (30).
TEST(ZqBusy, ReadsTheCameraStatus) {
  const std::vector<std::vector<std::pair<int, uint32_t>>> busy = {
      {{3, 1}}, {{39, 1}}, {{111, 2}}, {{38, 1}, {30, 1}}};
  for (const auto& set : busy) {
    SCOPED_TRACE(set[0].first);
    uint32_t v = 0;
    for (int id : {3, 38, 39, 111, 30}) ASSERT_EQ(csi_set(id, &v, 4), 0);
    EXPECT_FALSE(should_stop_download());
    for (auto [id, value] : set) ASSERT_EQ(csi_set(id, &value, 4), 0);
    EXPECT_TRUE(should_stop_download());
  }
  uint32_t v = 0;
  for (int id : {3, 38, 39, 111, 30}) ASSERT_EQ(csi_set(id, &v, 4), 0);
}
