#include "zqcontrol/zqControlParams.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(ZqControlParams, KeysMatchWholeParametersOnce) {
  std::string v;
  EXPECT_EQ(zqc_param("p=1", "p=", &v), ZqcParam::kFound);
  EXPECT_EQ(v, "1");
  EXPECT_EQ(zqc_param("mode=1&sub_mode=", "sub_mode=", &v), ZqcParam::kFound);
  EXPECT_EQ(v, "");  // present but empty
  EXPECT_EQ(zqc_param("sub_mode=3", "mode=", &v), ZqcParam::kAbsent);
  EXPECT_EQ(zqc_param("xp=1&q=2", "p=", &v), ZqcParam::kAbsent);
  EXPECT_EQ(zqc_param("", "p=", &v), ZqcParam::kAbsent);
  EXPECT_EQ(zqc_param(nullptr, "p=", &v), ZqcParam::kAbsent);
  EXPECT_EQ(zqc_param("p=1&p=0", "p=", &v), ZqcParam::kRepeated);
  EXPECT_EQ(zqc_param("p=1&x=p=0", "p=", &v), ZqcParam::kFound);  // "p=" inside a value
}

TEST(ZqControlParams, NumbersAreDecimalDigitsWithin32Bits) {
  struct Case {
    const char* text;
    bool unsigned_ok;
    uint32_t u;
    bool signed_ok;
    int32_t s;
  };
  const Case cases[] = {
      {"0", true, 0, true, 0},
      {"42", true, 42, true, 42},
      {"4294967295", true, 4294967295u, false, 0},
      {"4294967296", false, 0, false, 0},
      {"2147483647", true, 2147483647u, true, 2147483647},
      {"-2147483648", false, 0, true, INT32_MIN},
      {"-2147483649", false, 0, false, 0},
      {"99999999999999999999999", false, 0, false, 0},
      {"", false, 0, false, 0},
      {"-", false, 0, false, 0},
      {"--1", false, 0, false, 0},
      {"+1", false, 0, false, 0},
      {" 1", false, 0, false, 0},
      {"1 ", false, 0, false, 0},
      {"1a", false, 0, false, 0},
      {"0x10", false, 0, false, 0},
      {"%31", false, 0, false, 0},
      {"\xff", false, 0, false, 0},
  };
  for (const Case& c : cases) {
    uint32_t u = 7;
    int32_t s = 7;
    EXPECT_EQ(zqc_read_unsigned(c.text, &u), c.unsigned_ok) << c.text;
    EXPECT_EQ(u, c.unsigned_ok ? c.u : 7u) << c.text;
    EXPECT_EQ(zqc_read_signed(c.text, &s), c.signed_ok) << c.text;
    EXPECT_EQ(s, c.signed_ok ? c.s : 7) << c.text;
  }
}

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
  for (const char* bad : {"", "/", "91/66", "/91", "/91/", "//66", "/91/66/", "/a/1", "/ 1/2",
                          "/1/2x", "/1/99999999999"}) {
    EXPECT_FALSE(zqc_read_setting_path(bad, &id, &value)) << bad;
  }
}

}  // namespace
