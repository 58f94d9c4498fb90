#include "core/zqRecordingStatus.h"

#include <gtest/gtest.h>

#include "csi.h"

TEST(ZqRecordingStatus, RefreshesAtMostEvery500MsUnlessForced) {
  uint32_t recording = 1;
  ASSERT_EQ(csi_set(3, &recording, 4), 0);
  EXPECT_EQ(UTILS_UpdateRecordingStatus(true), 1);
  EXPECT_EQ(UTILS_GetRecordingStatus(), 1);

  recording = 0;
  ASSERT_EQ(csi_set(3, &recording, 4), 0);
  EXPECT_EQ(UTILS_UpdateRecordingStatus(false), 0);  // read just now: not again
  EXPECT_EQ(UTILS_GetRecordingStatus(), 1);          // so the flag is stale on purpose
  EXPECT_EQ(UTILS_UpdateRecordingStatus(true), 1);
  EXPECT_EQ(UTILS_GetRecordingStatus(), 0);

  recording = 2;  // any non-zero value means recording
  ASSERT_EQ(csi_set(3, &recording, 4), 0);
  EXPECT_EQ(UTILS_UpdateRecordingStatus(true), 1);
  EXPECT_EQ(UTILS_GetRecordingStatus(), 1);
}
