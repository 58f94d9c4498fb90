#include "zqcommon/zqSha1.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(ZqSha1, KnownDigestsInLowerCaseHex) {
  EXPECT_EQ(zq_sha1_hex(""), "da39a3ee5e6b4b0d3255bfef95601890afd80709");
  EXPECT_EQ(zq_sha1_hex("abc"), "a9993e364706816aba3e25717850c26c9cd0d89d");
  EXPECT_EQ(zq_sha1_hex(std::string("a\0b", 3)), "4a3dec2d1f8245280855c42db0ee4239f917fdb8");
  const unsigned char bytes[] = {0x00, 0x0f, 0xa0, 0xff};
  EXPECT_EQ(zq_hex_lower(bytes, sizeof bytes), "000fa0ff");
}

}  // namespace
