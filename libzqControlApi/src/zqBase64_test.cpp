#include "zqcontrolapi/zqBase64.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "zqcontrolapi/zqGenericResult.h"

namespace {

std::string Text(const std::vector<uint8_t>& v) { return std::string(v.begin(), v.end()); }

TEST(ZqBase64, DecodesCanonicalTextOnly) {
  struct Case {
    const char* text;
    bool ok;
    const char* bytes;
  };
  const Case cases[] = {
      {"", true, ""},          {"Zg==", true, "f"}, {"+/+/", true, "\xfb\xff\xbf"},
      {"Zg", false, ""},        // unpadded
      {"Zg=", false, ""},       // short
      {"Z===", false, ""},      // too much padding
      {"Zg==Zg==", false, ""},  // padding inside
      {"Zm-_", false, ""},      // the URL-safe alphabet
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> out = {9};
    EXPECT_EQ(zq_base64_decode(c.text, &out), c.ok) << c.text;
    EXPECT_EQ(Text(out), c.bytes) << c.text;
  }
}

TEST(ZqGenericResult, DecodesTheRequiredResult) {
  int32_t result = -1;
  const uint8_t success[] = {0x08, 0x01};
  ASSERT_TRUE(zq_generic_result_decode(success, &result));
  EXPECT_EQ(result, kZqResultSuccess);
  const uint8_t invalid_argument[] = {0x08, 0x05};
  ASSERT_TRUE(zq_generic_result_decode(invalid_argument, &result));
  EXPECT_EQ(result, 5);
  // An unknown field before the result is skipped, as protobuf readers do.
  const uint8_t with_extra[] = {0x10, 0x07, 0x08, 0x01};
  ASSERT_TRUE(zq_generic_result_decode(with_extra, &result));
  EXPECT_EQ(result, 1);

  result = 42;
  for (const std::vector<uint8_t>& bad : std::vector<std::vector<uint8_t>>{
           {}, {0x08}, {0x10, 0x01}, {0x08, 0x80}, {0x0A, 0x05, 0x01}}) {
    EXPECT_FALSE(zq_generic_result_decode(bad, &result)) << bad.size();
  }
  EXPECT_EQ(result, 42);
}

}  // namespace
