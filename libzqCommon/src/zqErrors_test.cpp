#include "zqcommon/zqErrors.h"

#include <gtest/gtest.h>

TEST(ZqErrors, NamesKnownCodesAndUnknownOnes) {
  EXPECT_STREQ(zqErrno2Str(0), "ZQ_OK");
  EXPECT_STREQ(zqErrno2Str(-3), "ZQ_ERR_INVALID_PARAM");
  EXPECT_STREQ(zqErrno2Str(-104), "ZQ_ERR_NOT_SUPPORTED");
  // -13 is a gap in the table, and positive codes have no names.
  EXPECT_STREQ(zqErrno2Str(-13), "UNKNOWN");
  EXPECT_STREQ(zqErrno2Str(5), "UNKNOWN");
}
