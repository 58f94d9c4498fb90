#include "zqmftimeline/ZQMFRational.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

void ExpectTerms(const ZQMFRational& r, int32_t n, int32_t d) {
  EXPECT_EQ(r.numerator(), n) << r.c_string();
  EXPECT_EQ(r.denominator(), d) << r.c_string();
}

TEST(ZqmfRational, ConstructionNormalisesSignAndDenominator) {
  ExpectTerms(ZQMFRational(3, -4), -3, 4);
  ExpectTerms(ZQMFRational(-3, -4), 3, 4);
  ExpectTerms(ZQMFRational(5, 0), 5, 1);
  ExpectTerms(ZQMFRational(6, 8), 3, 4);
  ExpectTerms(ZQMFRational(0, -7), 0, 1);
  ExpectTerms(ZQMFRational(2, 1, 3), 7, 3);                // 2 + 1/3
  ExpectTerms(ZQMFRational(-2, 1, 3), -5, 3);              // -2 + 1/3
  ExpectTerms(ZQMFRational(INT32_MIN, -1), INT32_MAX, 1);  // the magnitude saturates
  EXPECT_EQ(ZQMFRational(6).c_string(), "6");
  EXPECT_EQ(ZQMFRational(1, 3).c_string(), "1/3");
}

TEST(ZqmfRational, ArithmeticIsExactAndReduced) {
  const ZQMFRational third(1, 3), half(1, 2);
  ExpectTerms(third + half, 5, 6);
  ExpectTerms(third - half, -1, 6);
  ExpectTerms(third * half, 1, 6);
  ExpectTerms(third / half, 2, 3);
  ExpectTerms(third + 1, 4, 3);
  ExpectTerms(half * 4, 2, 1);
  ExpectTerms(half / 3, 1, 6);
  ExpectTerms(half + 0.25, 3, 4);
  ExpectTerms(-half, -1, 2);
  ExpectTerms(third.reciprocal(), 3, 1);
  ExpectTerms(ZQMFRational(-2, 3).reciprocal(), -3, 2);
  ZQMFRational r(1, 2);
  ExpectTerms(++r, 3, 2);
  ExpectTerms(r++, 3, 2);
  ExpectTerms(r, 5, 2);
  ExpectTerms(--r, 3, 2);
  r *= ZQMFRational(2, 3);
  ExpectTerms(r, 1, 1);
  r -= 0.5;
  ExpectTerms(r, 1, 2);
  EXPECT_EQ(ZQMFRational(7, 2).int_quotient(), 3);
  EXPECT_EQ(ZQMFRational(-7, 2).int_quotient(), -3);
  EXPECT_DOUBLE_EQ(ZQMFRational(30000, 1001).real_quotient(), 30000.0 / 1001);
  EXPECT_DOUBLE_EQ(static_cast<double>(ZQMFRational(3, 8)), 0.375);

  // Results beyond 32 bits become the nearest fraction that fits.
  const ZQMFRational big = ZQMFRational(1, 2147483647) + ZQMFRational(1, 2147483646);
  EXPECT_NEAR(big.real_quotient(), 1.0 / 2147483647 + 1.0 / 2147483646, 1e-18);
  EXPECT_LE(big.denominator(), INT32_MAX);
}

TEST(ZqmfRational, DivisionByZeroIsNotANumber) {
  const ZQMFRational nan = ZQMFRational(1, 2) / ZQMFRational(0);
  EXPECT_FALSE(nan.valid());
  EXPECT_TRUE(std::isnan(nan.real_quotient()));
  EXPECT_FALSE(nan == nan);
  EXPECT_TRUE(nan != ZQMFRational(0));
  EXPECT_FALSE(nan < ZQMFRational(1));
  EXPECT_FALSE((nan + 1).valid());
  EXPECT_FALSE(ZQMFRational(0).reciprocal().valid());
  EXPECT_EQ(nan.int_quotient(), 0);
}

TEST(ZqmfRational, Comparisons) {
  EXPECT_TRUE(ZQMFRational(1, 3) < ZQMFRational(1, 2));
  EXPECT_TRUE(ZQMFRational(2, 4) == ZQMFRational(1, 2));
  EXPECT_TRUE(ZQMFRational(-1, 2) < 0);
  EXPECT_TRUE(ZQMFRational(5, 1) == 5);
  EXPECT_TRUE(ZQMFRational(1, 3) > 0.333);
  EXPECT_TRUE(ZQMFRational(1, 4) == 0.25);
  EXPECT_TRUE(ZQMFRational(1, 4) <= ZQMFRational(2, 8));
  EXPECT_FALSE(ZQMFRational(INT32_MAX, 1) < ZQMFRational(INT32_MAX - 1, 1));
}

TEST(ZqmfRational, FromDoubles) {
  ExpectTerms(ZQMFRational::Double2Rational(0.5), 1, 2);
  ExpectTerms(ZQMFRational::Double2Rational(-0.75), -3, 4);
  ExpectTerms(ZQMFRational::Double2Rational(30000.0 / 1001), 30000, 1001);
  ExpectTerms(ZQMFRational::Double2Rational(1e300), INT32_MAX, 1);
  ExpectTerms(ZQMFRational::Double2Rational(-INFINITY), -INT32_MAX, 1);
  ExpectTerms(ZQMFRational::Double2Rational(NAN), 0, 0);
  const ZQMFRational pi = ZQMFRational::Double2Rational(M_PI);
  EXPECT_NEAR(pi.real_quotient(), M_PI, 1e-15);
  const ZQMFRational tiny = ZQMFRational::Double2Rational(1e-12);
  EXPECT_NEAR(tiny.real_quotient(), 1e-12, 1e-12);
}

TEST(ZqmfRational, ReduceFindsTheBestApproximationWithinTheLimit) {
  const struct {
    uint64_t n, d, limit, want_n, want_d;
  } kCases[] = {
      {314159265358979ULL, 100000000000000ULL, 1000, 355, 113},
      {31415926535ULL, 10000000000ULL, 100, 22, 7},  // the semiconvergent 91/29 is worse
      {5000, 1, 1000, 1000, 1},
  };
  for (const auto& c : kCases) {
    uint64_t n = c.n, d = c.d;
    ZQMFRational::reduce(&n, &d, c.limit);
    EXPECT_EQ(n, c.want_n) << c.n << "/" << c.d;
    EXPECT_EQ(d, c.want_d) << c.n << "/" << c.d;
  }
  EXPECT_EQ(ZQMFRational::gcd(1071, 462), 21u);
  EXPECT_EQ(ZQMFRational::gcd(0, 9), 9u);
}

TEST(ZqmfRational, ReduceMatchesAnExhaustiveSearch) {
  // Fractions of large terms against every denominator within a small limit.
  const uint64_t limit = 150;
  uint64_t seed = 12345;
  for (int i = 0; i < 300; i++) {
    seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
    const uint64_t d0 = 1000003 + (seed >> 40);
    const uint64_t n0 = (seed >> 20) % (d0 * 3);
    uint64_t n = n0, d = d0;
    ZQMFRational::reduce(&n, &d, limit);
    ASSERT_LE(n, limit);
    ASSERT_LE(d, limit);
    const long double x = static_cast<long double>(n0) / d0;
    long double best = INFINITY;
    for (uint64_t q = 1; q <= limit; q++) {
      for (uint64_t p :
           {static_cast<uint64_t>(std::floor(x * q)), static_cast<uint64_t>(std::ceil(x * q))}) {
        if (p <= limit) best = std::min(best, std::fabs(static_cast<long double>(p) / q - x));
      }
    }
    EXPECT_LE(std::fabs(static_cast<long double>(n) / d - x), best * (1 + 1e-12L))
        << n0 << "/" << d0;
  }
}

TEST(ZqmfRational, FromStrings) {
  ZQMFRational r;
  ASSERT_TRUE(ZQMFRational::FromString("30000/1001", &r));
  ExpectTerms(r, 30000, 1001);
  ASSERT_TRUE(ZQMFRational::FromString("-24", &r));
  ExpectTerms(r, -24, 1);
  ASSERT_TRUE(ZQMFRational::FromString("29.97", &r));
  ExpectTerms(r, 2997, 100);
  for (const char* bad : {"", "1/0", "1/", "/2", "abc", "1/2x", "99999999999", "1.5.2", "nan"}) {
    r = ZQMFRational(7);
    EXPECT_FALSE(ZQMFRational::FromString(bad, &r)) << bad;
    ExpectTerms(r, 7, 1);
  }
}

}  // namespace
