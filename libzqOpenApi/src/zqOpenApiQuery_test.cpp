#include "zqopenapi/zqOpenApiQuery.h"

#include <gtest/gtest.h>

namespace {

TEST(ZqOpenApiQuery, PatternsReadDigitsThatFitTheirWidth) {
  struct Case {
    const char* text;
    const char* pattern;
    bool matches;
    uint32_t first;
    uint32_t second;
  };
  const Case cases[] = {
      {"id=5", "id=%u", true, 5, 0},
      {"id=5&x=1", "id=%u", true, 5, 0},  // the rest is ignored, as scanf does
      {"id=4294967295", "id=%u", true, 4294967295u, 0},
      {"id=4294967296", "id=%u", false, 0, 0},
      {"id=+1", "id=%u", false, 0, 0},
      {"id=", "id=%u", false, 0, 0},
      {"id=65535", "id=%hu", true, 65535, 0},
      {"id=65536", "id=%hu", false, 0, 0},
      {"setting=3&option=2", "setting=%u&option=%u", true, 3, 2},
      {"setting=3", "setting=%u&option=%u", false, 0, 0},
  };
  for (const Case& c : cases) {
    uint32_t out[2] = {};
    EXPECT_EQ(zqoa_scan(c.text, c.pattern, out, 2), c.matches) << c.text;
    if (c.matches) {
      EXPECT_EQ(out[0], c.first) << c.text;
      EXPECT_EQ(out[1], c.second) << c.text;
    }
  }
  uint32_t one = 0;
  EXPECT_FALSE(zqoa_scan("a=1&b=2", "a=%u&b=%u", &one, 1));  // no room for the second
  EXPECT_FALSE(zqoa_scan("a=1", "a=%d", &one, 1));           // an unknown conversion
}

TEST(ZqOpenApiQuery, SettingQueryInEitherOrder) {
  uint32_t setting = 0, option = 0;
  ASSERT_TRUE(zqoa_scan_setting("option=2&setting=3", &setting, &option));
  EXPECT_EQ(setting, 3u);
  EXPECT_EQ(option, 2u);
  ASSERT_TRUE(zqoa_scan_setting("setting=4&option=5", &setting, &option));
  EXPECT_EQ(setting, 4u);
  EXPECT_EQ(option, 5u);
  EXPECT_FALSE(zqoa_scan_setting("option=2", &setting, &option));
  EXPECT_FALSE(zqoa_scan_setting(nullptr, &setting, &option));
}

}  // namespace
