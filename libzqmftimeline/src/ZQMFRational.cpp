#include "zqmftimeline/ZQMFRational.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "zqcommon/zqUint128.h"

namespace {

uint64_t Magnitude(int64_t v) {
  return v < 0 ? static_cast<uint64_t>(-(v + 1)) + 1 : static_cast<uint64_t>(v);
}

bool ParseInt32(const char* begin, const char* end, int32_t* out) {
  if (begin == end) return false;
  char* stop = nullptr;
  errno = 0;
  const long v = strtol(begin, &stop, 10);
  if (stop != end || errno != 0 || v < INT32_MIN || v > INT32_MAX) return false;
  *out = static_cast<int32_t>(v);
  return true;
}

}  // namespace

ZQMFRational::ZQMFRational(int32_t numerator, int32_t denominator) {
  *this = FromWide(numerator, denominator == 0 ? 1 : denominator);
}

ZQMFRational::ZQMFRational(int32_t whole, int32_t numerator, int32_t denominator) {
  const int64_t d = denominator == 0 ? 1 : denominator;
  *this = FromWide(static_cast<int64_t>(whole) * d + numerator, d);
}

uint64_t ZQMFRational::gcd(uint64_t a, uint64_t b) {
  while (b != 0) {
    const uint64_t t = a % b;
    a = b;
    b = t;
  }
  return a;
}

void ZQMFRational::reduce(uint64_t* n, uint64_t* d, uint64_t limit) {
  if (*d == 0) return;
  const uint64_t g = gcd(*n, *d);
  if (g > 1) {
    *n /= g;
    *d /= g;
  }
  if (*n <= limit && *d <= limit) return;
  if (*n / *d >= limit) {  // beyond the largest representable value
    *n = limit;
    *d = 1;
    return;
  }
  // Convergents p/q of the continued fraction of n/d, while both terms stay within the limit.
  uint64_t p0 = 0, q0 = 1, p1 = 1, q1 = 0;
  uint64_t x = *n, y = *d;
  while (y != 0) {
    const uint64_t a = x / y;
    const Uint128 p2 = Uint128::Product(a, p1) + p0;
    const Uint128 q2 = Uint128::Product(a, q1) + q0;
    if (p2 > limit || q2 > limit) break;
    p0 = p1;
    q0 = q1;
    p1 = p2.Low();
    q1 = q2.Low();
    const uint64_t r = x - a * y;
    x = y;
    y = r;
  }
  // The best semiconvergent between the last two convergents, if it beats the last one.
  uint64_t m = (limit - q0) / q1;
  if (p1 != 0 && (limit - p0) / p1 < m) m = (limit - p0) / p1;
  const uint64_t sp = m * p1 + p0, sq = m * q1 + q0;
  // |p/q - n/d| compared as |p d - n q| / q (the common factor 1/d dropped).
  auto error_times = [&](uint64_t p, uint64_t q, uint64_t other_q) {
    const Uint128 a = Uint128::Product(p, *d), b = Uint128::Product(*n, q);
    return (a > b ? a - b : b - a) * other_q;
  };
  if (sq != 0 && error_times(sp, sq, q1) < error_times(p1, q1, sq)) {
    *n = sp;
    *d = sq;
  } else {
    *n = p1;
    *d = q1;
  }
}

ZQMFRational ZQMFRational::FromWide(int64_t n, int64_t d) {
  ZQMFRational r;
  if (d == 0) {
    r.num_ = 0;
    r.den_ = 0;
    return r;
  }
  const bool negative = (n < 0) != (d < 0) && n != 0;
  uint64_t un = Magnitude(n), ud = Magnitude(d);
  reduce(&un, &ud, static_cast<uint64_t>(kLimit));
  r.num_ = negative ? -static_cast<int32_t>(un) : static_cast<int32_t>(un);
  r.den_ = static_cast<int32_t>(ud);
  return r;
}

ZQMFRational ZQMFRational::Double2Rational(double value) {
  ZQMFRational r;
  if (std::isnan(value)) {
    r.num_ = 0;
    r.den_ = 0;
    return r;
  }
  const bool negative = value < 0;
  const double magnitude = std::fabs(value);
  if (magnitude >= static_cast<double>(kLimit)) {  // also the infinities
    r.num_ = negative ? -static_cast<int32_t>(kLimit) : static_cast<int32_t>(kLimit);
    return r;
  }
  if (magnitude == 0) return r;
  // value = mantissa x 2^e; scaled by 2^(62 - e) it is an integer of at most 62 bits (the
  // shift is capped for small values, whose lowest bits then round away).
  int e = 0;
  std::frexp(magnitude, &e);
  int shift = 62 - e;
  if (shift > 62) shift = 62;
  uint64_t n = static_cast<uint64_t>(std::llround(std::ldexp(magnitude, shift)));
  uint64_t d = uint64_t{1} << shift;
  reduce(&n, &d, static_cast<uint64_t>(kLimit));
  r.num_ = negative ? -static_cast<int32_t>(n) : static_cast<int32_t>(n);
  r.den_ = static_cast<int32_t>(d);
  return r;
}

bool ZQMFRational::FromString(const char* text, ZQMFRational* out) {
  if (text == nullptr || out == nullptr || *text == '\0') return false;
  const char* end = text;
  while (*end != '\0') end++;
  const char* slash = text;
  while (slash != end && *slash != '/') slash++;
  int32_t n = 0, d = 1;
  if (slash != end) {
    if (!ParseInt32(text, slash, &n) || !ParseInt32(slash + 1, end, &d) || d == 0) return false;
    *out = ZQMFRational(n, d);
    return true;
  }
  if (ParseInt32(text, end, &n)) {
    *out = ZQMFRational(n);
    return true;
  }
  char* stop = nullptr;
  errno = 0;
  const double v = strtod(text, &stop);
  if (stop != end || errno != 0 || !std::isfinite(v) || std::fabs(v) > kLimit) return false;
  *out = Double2Rational(v);
  return true;
}

double ZQMFRational::real_quotient() const {
  if (den_ == 0) return std::nan("");
  return static_cast<double>(num_) / den_;
}

int32_t ZQMFRational::int_quotient() const { return den_ == 0 ? 0 : num_ / den_; }

ZQMFRational ZQMFRational::reciprocal() const { return FromWide(den_, num_); }

ZQMFRational ZQMFRational::operator-() const { return FromWide(-static_cast<int64_t>(num_), den_); }

std::string ZQMFRational::c_string() const {
  char text[32];
  if (den_ == 1) {
    snprintf(text, sizeof(text), "%d", num_);
  } else {
    snprintf(text, sizeof(text), "%d/%d", num_, den_);
  }
  return text;
}

void ZQMFRational::c_display() const { printf("%s", c_string().c_str()); }

ZQMFRational& ZQMFRational::operator+=(const ZQMFRational& o) {
  return *this = FromWide(static_cast<int64_t>(num_) * o.den_ + static_cast<int64_t>(o.num_) * den_,
                          static_cast<int64_t>(den_) * o.den_);
}

ZQMFRational& ZQMFRational::operator-=(const ZQMFRational& o) {
  return *this = FromWide(static_cast<int64_t>(num_) * o.den_ - static_cast<int64_t>(o.num_) * den_,
                          static_cast<int64_t>(den_) * o.den_);
}

ZQMFRational& ZQMFRational::operator*=(const ZQMFRational& o) {
  return *this = FromWide(static_cast<int64_t>(num_) * o.num_, static_cast<int64_t>(den_) * o.den_);
}

ZQMFRational& ZQMFRational::operator/=(const ZQMFRational& o) {
  if (den_ == 0 || o.den_ == 0) return *this = FromWide(0, 0);
  return *this = FromWide(static_cast<int64_t>(num_) * o.den_, static_cast<int64_t>(den_) * o.num_);
}

int ZQMFRational::Compare(const ZQMFRational& a, const ZQMFRational& b) {
  if (a.den_ == 0 || b.den_ == 0) return 2;
  const int64_t l = static_cast<int64_t>(a.num_) * b.den_;
  const int64_t r = static_cast<int64_t>(b.num_) * a.den_;
  return l < r ? -1 : (l > r ? 1 : 0);
}
