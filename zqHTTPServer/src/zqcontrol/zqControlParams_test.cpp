#include "zqcontrol/zqControlParams.h"

#include <gtest/gtest.h>

namespace {

TEST(ZqControlParams, WidthsAcceptSignedAndUnsignedReadings) {
  EXPECT_TRUE(zqc_fits_unsigned(255, 1));
  EXPECT_FALSE(zqc_fits_unsigned(256, 1));
  EXPECT_TRUE(zqc_fits_unsigned(65535, 2));
  EXPECT_FALSE(zqc_fits_unsigned(65536, 2));
  EXPECT_TRUE(zqc_fits_unsigned(UINT32_MAX, 4));
  EXPECT_TRUE(zqc_fits_signed(-128, 1));
  EXPECT_TRUE(zqc_fits_signed(255, 1));
  EXPECT_FALSE(zqc_fits_signed(-129, 1));
  EXPECT_FALSE(zqc_fits_signed(256, 1));
  EXPECT_TRUE(zqc_fits_signed(INT32_MIN, 4));
}

TEST(ZqControlParams, HexFieldsEachIntroducedByAPercentSign) {
  int32_t f[8] = {};
  EXPECT_EQ(zqc_read_hex_fields("%0e%0a%1d%0b%15%2c", 6, f), -1);
  EXPECT_EQ(f[0], 14);
  EXPECT_EQ(f[2], 29);
  EXPECT_EQ(f[5], 44);
  EXPECT_EQ(zqc_read_hex_fields("%17%4%5%a%14%1e%ffc4%1", 8, f), -1);
  EXPECT_EQ(f[6], 0xffc4);
  EXPECT_EQ(f[7], 1);
  EXPECT_EQ(zqc_read_hex_fields("%FFFFFFFF", 1, f), -1);
  EXPECT_EQ(f[0], -1);

  EXPECT_EQ(zqc_read_hex_fields("%0e%0a", 6, f), 2);      // too few
  EXPECT_EQ(zqc_read_hex_fields("0e%0a", 2, f), 0);       // no "%"
  EXPECT_EQ(zqc_read_hex_fields("%0e%%0a", 2, f), 1);     // empty field
  EXPECT_EQ(zqc_read_hex_fields("%0e%zz", 2, f), 1);      // not hexadecimal
  EXPECT_EQ(zqc_read_hex_fields("%123456789", 1, f), 0);  // nine digits
  EXPECT_EQ(zqc_read_hex_fields("%0e%0a%01", 2, f), 2);   // more than asked for
  EXPECT_EQ(zqc_read_hex_fields("%0e %0a", 2, f), 1);     // a space is no "%"
  EXPECT_EQ(zqc_read_hex_fields("", 6, f), 0);
}

TEST(ZqControlParams, SettingPathIsSlashIdSlashValue) {
  int32_t id = 0;
  int32_t value = 0;
  ASSERT_TRUE(zqc_read_setting_path("/91/66", &id, &value));
  EXPECT_EQ(id, 91);
  EXPECT_EQ(value, 66);
  ASSERT_TRUE(zqc_read_setting_path("/-1/-2", &id, &value));
  EXPECT_EQ(value, -2);
  for (const char* bad : {"", "91/66", "/91/", "//66", "/91/66/", "/ 1/2", "/1/99999999999"}) {
    EXPECT_FALSE(zqc_read_setting_path(bad, &id, &value)) << bad;
  }
}

}  // namespace
