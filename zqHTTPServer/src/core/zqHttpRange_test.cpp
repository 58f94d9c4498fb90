#include "core/zqHttpRange.h"

#include <gtest/gtest.h>

TEST(ZqHttpRange, FormsOfOneRange) {
  struct Case {
    const char* header;
    int64_t size;
    ZqRangeResult result;
    int64_t first;
    int64_t last;
  };
  const Case cases[] = {
      {"bytes=0-99", 1000, ZqRangeResult::kOk, 0, 99},
      {"bytes=100-", 1000, ZqRangeResult::kOk, 100, 999},
      {"bytes=-10", 1000, ZqRangeResult::kOk, 990, 999},
      {"bytes=-5000", 1000, ZqRangeResult::kOk, 0, 999},       // suffix longer than the file
      {"bytes=900-5000", 1000, ZqRangeResult::kOk, 900, 999},  // end clipped
      {"bytes=999-999", 1000, ZqRangeResult::kOk, 999, 999},
      {"bytes=1000-", 1000, ZqRangeResult::kUnsatisfiable, 0, 0},
      {"bytes=-0", 1000, ZqRangeResult::kUnsatisfiable, 0, 0},
      {"bytes=0-", 0, ZqRangeResult::kUnsatisfiable, 0, 0},
      {"bytes=5-4", 1000, ZqRangeResult::kNone, 0, 0},
      {"bytes=0-1,5-6", 1000, ZqRangeResult::kNone, 0, 0},
      {"bytes= 1-2", 1000, ZqRangeResult::kNone, 0, 0},
      {"bytes=1-2x", 1000, ZqRangeResult::kNone, 0, 0},
      {"bytes=99999999999999999999-", 1000, ZqRangeResult::kNone, 0, 0},
      {"items=0-1", 1000, ZqRangeResult::kNone, 0, 0},
  };
  for (const Case& c : cases) {
    ZqByteRange r = {-1, -1};
    ASSERT_EQ(zq_parse_range(c.header, c.size, &r), c.result) << c.header;
    if (c.result == ZqRangeResult::kOk) {
      EXPECT_EQ(r.first, c.first) << c.header;
      EXPECT_EQ(r.last, c.last) << c.header;
    }
  }
  ZqByteRange r;
  EXPECT_EQ(zq_parse_range(nullptr, 10, &r), ZqRangeResult::kNone);
}
