#include "zqcommon/zqByteOrder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

// Bytes whose every position differs, so a swapped or shifted byte shows.
constexpr uint8_t kBytes[] = {0x81, 0x42, 0x23, 0x14, 0xF5, 0x06, 0x97, 0x68, 0x09};

TEST(ZqByteOrder, LoadsInBothOrdersAtEveryWidth) {
  EXPECT_EQ(zq_load_be16(kBytes), 0x8142u);
  EXPECT_EQ(zq_load_le16(kBytes), 0x4281u);
  EXPECT_EQ(zq_load_be24(kBytes), 0x814223u);
  EXPECT_EQ(zq_load_be32(kBytes), 0x81422314u);
  EXPECT_EQ(zq_load_le32(kBytes), 0x14234281u);
  EXPECT_EQ(zq_load_be64(kBytes), 0x81422314F5069768ull);
  EXPECT_EQ(zq_load_le64(kBytes), 0x689706F514234281ull);
  EXPECT_EQ(zq_load16(kBytes, false), zq_load_le16(kBytes));
  EXPECT_EQ(zq_load32(kBytes, true), zq_load_be32(kBytes));
  EXPECT_EQ(zq_load_be(kBytes, 0), 0u);
  EXPECT_EQ(zq_load_be(kBytes, 1), 0x81u);
  EXPECT_EQ(zq_load_le(kBytes + 1, 3), 0x142342u);
  // Any alignment: the value does not depend on where the bytes start.
  std::vector<uint8_t> shifted(sizeof kBytes + 3);
  for (size_t at = 0; at < 4; ++at) {
    memcpy(shifted.data() + at, kBytes, sizeof kBytes);
    EXPECT_EQ(zq_load_be64(shifted.data() + at), zq_load_be64(kBytes));
  }
}

TEST(ZqByteOrder, StoresWriteExactlyTheirBytesAndReadBack) {
  for (const size_t n : {2u, 4u, 8u}) {
    uint8_t be[10];
    uint8_t le[10];
    memset(be, 0xAA, sizeof be);
    memset(le, 0xAA, sizeof le);
    const uint64_t v = zq_load_be64(kBytes) >> (64 - 8 * n);
    zq_store_be(be + 1, v, n);
    zq_store_le(le + 1, v, n);
    EXPECT_EQ(be[0], 0xAA);
    EXPECT_EQ(be[n + 1], 0xAA);  // nothing past the value
    EXPECT_EQ(le[n + 1], 0xAA);
    EXPECT_EQ(memcmp(be + 1, kBytes, n), 0) << n;
    EXPECT_EQ(zq_load_le(le + 1, n), v) << n;
    EXPECT_EQ(zq_load_be(be + 1, n), v) << n;
  }
  uint8_t out[8] = {};
  zq_store_le32(out, 0x01020304);
  zq_store_be16(out + 4, 0x0506);
  zq_store_le16(out + 6, 0x0708);
  const uint8_t want[] = {4, 3, 2, 1, 5, 6, 8, 7};
  EXPECT_EQ(memcmp(out, want, 8), 0);
}

}  // namespace
