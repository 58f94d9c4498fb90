#include <gtest/gtest.h>

#include "zqCtrlD.h"

TEST(SimHelpers, ParseParamFindsKeysOnlyAtParameterStarts) {
  std::string v;
  EXPECT_TRUE(parseParam("p=1", "p=", v));
  EXPECT_EQ(v, "1");
  EXPECT_TRUE(parseParam("mode=2&sub_mode=", "sub_mode=", v));
  EXPECT_EQ(v, "");
  EXPECT_TRUE(parseParam("x=1&p=%0e%0a&y=2", "p=", v));
  EXPECT_EQ(v, "%0e%0a");  // raw, not decoded
  EXPECT_FALSE(parseParam("sub_mode=2", "mode=", v));
  EXPECT_FALSE(parseParam("", "p=", v));
  EXPECT_FALSE(parseParam(nullptr, "p=", v));
}

TEST(SimHelpers, UrlDecode) { EXPECT_EQ(urlDecode("a%20b%2fc+d%zz"), "a b/c+d%zz"); }
