#include "zqmodkit/zqRelay.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr const char* kModkit[] = {"/modkit/", "/zq/zqModkit/"};
constexpr const char* kCamera[] = {"/camera/"};

TEST(ZqRelay, QueryComesFromThePathMarkerOrTheQueryString) {
  EXPECT_EQ(zq_relay_query("/modkit/XY", "p=%2501", kModkit), "cmd=XY&p=%2501");
  EXPECT_EQ(zq_relay_query("/modkit/XY", nullptr, kModkit), "cmd=XY");
  EXPECT_EQ(zq_relay_query("/modkit/XY", "", kModkit), "cmd=XY");
  EXPECT_EQ(zq_relay_query("/zq/zqModkit/cv", "t=1", kModkit), "cmd=cv&t=1");
  EXPECT_EQ(zq_relay_query("/modkit/", nullptr, kModkit), "cmd=");
  EXPECT_EQ(zq_relay_query("/modkit", "cmd=XY&p=1", kModkit), "cmd=XY&p=1");
  EXPECT_EQ(zq_relay_query("/modkit", nullptr, kModkit), "");
  // The camera marker is lower case: "/zq/zqCamera/XY" has none.
  EXPECT_EQ(zq_relay_query("/zq/zqCamera/XY", "cmd=AB", kCamera), "cmd=AB");
  EXPECT_EQ(zq_relay_query("/zq/zqCamera/camera/XY", nullptr, kCamera), "cmd=XY");

  const std::string long_query(400, 'q');
  EXPECT_EQ(zq_relay_query("/modkit", long_query.c_str(), kModkit), long_query.substr(0, 255));
  EXPECT_EQ(zq_relay_query("/modkit/XY", long_query.c_str(), kModkit).size(), 255u);
}

TEST(ZqRelay, ArgumentEscapesAreDecodedOnceMore) {
  struct Case {
    const char* text;
    int result;
    std::vector<uint8_t> bytes;
  };
  const Case cases[] = {
      {"%01", 1, {0x01}},
      {"%ff%FF%aB", 3, {0xff, 0xff, 0xab}},
      {"ab%20c", 4, {'a', 'b', ' ', 'c'}},
      {"", 0, {}},
      {"%00x", 2, {0x00, 'x'}},
      {"%", -1, {}},
      {"%1", -1, {}},
      {"%g1", -1, {}},
      {"%1g", -1, {}},
      {"abcde", -1, {}},  // one byte more than fits
  };
  for (const Case& c : cases) {
    uint8_t out[4] = {};
    const int n = zq_relay_decode_arg(c.text, out, sizeof out);
    EXPECT_EQ(n, c.result) << c.text;
    const std::vector<uint8_t> got(out, out + (n > 0 ? n : 0));
    EXPECT_EQ(got, c.bytes) << c.text;
  }
}

}  // namespace
