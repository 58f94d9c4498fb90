// 128-bit products and quotients: known values, and on processors whose compiler has a 128-bit
// type, agreement with it over many random operands. The same code serves 32-bit processors,
// where no such type exists.
#include "zqcommon/zqUint128.h"

#include <gtest/gtest.h>

#include <random>

namespace {

TEST(Uint128, ProductsOfKnownValues) {
  struct Case {
    uint64_t a, b, high, low;
  };
  const Case cases[] = {
      {0xffffffffffffffffu, 0xffffffffffffffffu, 0xfffffffffffffffeu, 0x1},
      {uint64_t{1} << 32, uint64_t{1} << 32, 0x1, 0x0},  // the carry out of the low half
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.a << " x " << c.b);
    for (const Uint128& p : {Uint128::Product(c.a, c.b), Uint128(c.a) * c.b}) {
      EXPECT_EQ(p.High(), c.high);
      EXPECT_EQ(p.Low(), c.low);
    }
  }
  // A 128-bit value times a 64-bit one keeps the low 128 bits of the product.
  const Uint128 big = Uint128::FromHalves(3, 0x8000000000000000u) * 4;
  EXPECT_EQ(big.High(), 14u);
  EXPECT_EQ(big.Low(), 0u);
}

TEST(Uint128, SumsDifferencesAndOrderCarryBetweenHalves) {
  const Uint128 top = Uint128::FromHalves(0, 0xffffffffffffffffu);
  EXPECT_EQ(top + 1, Uint128::FromHalves(1, 0));
  EXPECT_EQ(Uint128::FromHalves(1, 0) - 1, top);
  EXPECT_EQ(Uint128(0) - 1, Uint128::FromHalves(0xffffffffffffffffu, 0xffffffffffffffffu));
  EXPECT_LT(top, Uint128::FromHalves(1, 0));  // the high half decides
  EXPECT_GT(Uint128::FromHalves(2, 0), Uint128::FromHalves(1, 0xffffffffffffffffu));
}

TEST(Uint128, QuotientsThatFitIn64Bits) {
  struct Case {
    uint64_t a, b, divisor, quotient;
  };
  const Case cases[] = {
      {0xffffffffffffffffu, 0xfffffffffffffffeu, 0xffffffffffffffffu, 0xfffffffffffffffeu},
      // A time near the end of a long recording times its sample count, over the span: the
      // product passes 64 bits, the quotient does not.
      {(uint64_t{1} << 40) - 1, 1u << 30, uint64_t{1} << 40, (1u << 30) - 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.a << " x " << c.b << " / " << c.divisor);
    EXPECT_EQ(MulDiv64(c.a, c.b, c.divisor), c.quotient);
  }
  // A quotient too large for 64 bits saturates.
  EXPECT_EQ(MulDiv64(uint64_t{1} << 63, 4, 2), UINT64_MAX);
}

#if defined(__SIZEOF_INT128__)
TEST(Uint128, AgreesWithTheCompilersType) {
  using Native = unsigned __int128;
  std::mt19937_64 random(12345);
  auto operand = [&] {
    // Mix full-width values with small and 32-bit ones, where the carries differ.
    const uint64_t v = random();
    switch (random() % 3) {
      case 0:
        return v;
      case 1:
        return v & 0xffffffffu;
      default:
        return v >> (random() % 64);
    }
  };
  for (int i = 0; i < 100000; ++i) {
    const uint64_t a = operand(), b = operand(), c = operand(), d = operand() | 1;
    const Native native = Native{a} * b;
    const Uint128 p = Uint128::Product(a, b);
    ASSERT_EQ(p.High(), static_cast<uint64_t>(native >> 64)) << a << " " << b;
    ASSERT_EQ(p.Low(), static_cast<uint64_t>(native)) << a << " " << b;
    const Native sum = native + c;
    ASSERT_EQ((p + c).High(), static_cast<uint64_t>(sum >> 64));
    ASSERT_EQ((p + c).Low(), static_cast<uint64_t>(sum));
    ASSERT_EQ(p < Uint128(c), native < c);
    const Native quotient = native / d;
    const uint64_t expected = quotient >> 64 != 0 ? UINT64_MAX : static_cast<uint64_t>(quotient);
    ASSERT_EQ(MulDiv64(a, b, d), expected) << a << " " << b << " " << d;
  }
}
#endif

}  // namespace
