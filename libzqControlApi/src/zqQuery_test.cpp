#include "zqcontrolapi/zqQuery.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(ZqQuery, KeysAreFoundAtParameterStartsAndRepeatsAreRefused) {
  std::string raw;
  EXPECT_EQ(zq_query_find("a=1&p=2", "p=", &raw), ZqQueryValue::kFound);
  EXPECT_EQ(raw, "2");
  EXPECT_EQ(zq_query_find("ap=1", "p=", &raw), ZqQueryValue::kAbsent);
  EXPECT_EQ(zq_query_find("p=1&x=2&p=3", "p=", &raw), ZqQueryValue::kRepeated);
  EXPECT_EQ(zq_query_find(nullptr, "p=", &raw), ZqQueryValue::kAbsent);
  EXPECT_EQ(zq_query_find("p=", "p=", &raw), ZqQueryValue::kFound);
  EXPECT_EQ(raw, "");
  EXPECT_EQ(zq_query_find("sub_mode=3", "mode=", &raw), ZqQueryValue::kAbsent);
  EXPECT_EQ(zq_query_find("p=1&x=p=0", "p=", &raw), ZqQueryValue::kFound);  // "p=" in a value
  EXPECT_EQ(raw, "1");
  std::string value;
  ASSERT_TRUE(zq_query_get_decoded("ssid=My%20Net+1", "ssid=", &value));
  EXPECT_EQ(value, "My Net+1");
}

TEST(ZqQuery, DecimalNumbersAreDigitsOnly) {
  struct Case {
    const char* text;
    bool u32;
    bool i32;
  };
  const Case cases[] = {
      {"0", true, true},    {"4294967295", true, false}, {"4294967296", false, false},
      {"-1", false, true},  {"2147483648", true, false}, {"", false, false},
      {"+1", false, false}, {"1 ", false, false},
  };
  for (const Case& c : cases) {
    uint32_t u = 7;
    int32_t i = 7;
    EXPECT_EQ(zq_parse_u32(c.text, &u), c.u32) << c.text;
    EXPECT_EQ(zq_parse_i32(c.text, &i), c.i32) << c.text;
  }
  int64_t big = 0;
  ASSERT_TRUE(zq_parse_i64("-9223372036854775808", &big));
  EXPECT_EQ(big, INT64_MIN);
  EXPECT_FALSE(zq_parse_i64("9223372036854775808", &big));
}

TEST(ZqQuery, LeadingNumbersReadLikeStreamExtraction) {
  struct Case {
    const char* text;
    bool ok;
    int32_t value;
  };
  const Case cases[] = {
      {"12abc", true, 12},
      {" \t-3x", true, -3},
      {"+7", true, 7},
      {"abc", false, 0},
      {"2147483647", true, INT32_MAX},
      {"-2147483648", true, INT32_MIN},
      {"2147483648", false, 0},
  };
  for (const Case& c : cases) {
    int32_t v = 0;
    EXPECT_EQ(zq_parse_leading_i32(c.text, &v), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(v, c.value) << c.text;
    }
  }
}

}  // namespace
