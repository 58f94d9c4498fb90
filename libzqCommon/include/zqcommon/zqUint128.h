// Unsigned 128-bit integers for exact products of two 64-bit values: a time times a sample
// count divided by a span, a ratio's cross products. Written with two 64-bit halves so that the
// same code runs on every processor: the compiler's own 128-bit type does not exist on 32-bit
// ones such as the camera's ARM.
#ifndef ZQ_LIBZQCOMMON_INCLUDE_ZQCOMMON_ZQUINT128_H_
#define ZQ_LIBZQCOMMON_INCLUDE_ZQCOMMON_ZQUINT128_H_

#include <compare>
#include <cstdint>

class Uint128 {
 public:
  constexpr Uint128(uint64_t value = 0) : high_(0), low_(value) {}
  static constexpr Uint128 FromHalves(uint64_t high, uint64_t low) {
    Uint128 v;
    v.high_ = high;
    v.low_ = low;
    return v;
  }

  constexpr uint64_t High() const { return high_; }
  constexpr uint64_t Low() const { return low_; }

  // Sums, differences and products wrap modulo 2^128, like unsigned integers.
  friend constexpr Uint128 operator+(Uint128 a, Uint128 b) {
    const uint64_t low = a.low_ + b.low_;
    return FromHalves(a.high_ + b.high_ + (low < a.low_ ? 1 : 0), low);
  }
  friend constexpr Uint128 operator-(Uint128 a, Uint128 b) {
    return FromHalves(a.high_ - b.high_ - (a.low_ < b.low_ ? 1 : 0), a.low_ - b.low_);
  }
  friend constexpr Uint128 operator*(Uint128 a, uint64_t b) {
    Uint128 p = Product(a.low_, b);
    p.high_ += a.high_ * b;
    return p;
  }

  // Ordered as numbers: the high halves first.
  friend constexpr auto operator<=>(const Uint128&, const Uint128&) = default;

  // The full product of two 64-bit values, from four 32-bit products.
  static constexpr Uint128 Product(uint64_t a, uint64_t b) {
    const uint64_t a0 = a & 0xffffffffu, a1 = a >> 32;
    const uint64_t b0 = b & 0xffffffffu, b1 = b >> 32;
    const uint64_t p00 = a0 * b0, p01 = a0 * b1, p10 = a1 * b0, p11 = a1 * b1;
    const uint64_t middle = (p00 >> 32) + (p01 & 0xffffffffu) + (p10 & 0xffffffffu);
    return FromHalves(p11 + (p01 >> 32) + (p10 >> 32) + (middle >> 32),
                      (middle << 32) | (p00 & 0xffffffffu));
  }

  // The quotient by `divisor` (not 0) when it fits in 64 bits, that is when High() < divisor;
  // otherwise the largest 64-bit value.
  constexpr uint64_t DivideFitting(uint64_t divisor) const {
    if (high_ == 0) return low_ / divisor;
    if (high_ >= divisor) return UINT64_MAX;
    // Long division one bit at a time; the remainder stays below the divisor, and the bit
    // shifted out of it (`carry`) stands for 2^64, more than any divisor.
    uint64_t remainder = high_, quotient = 0;
    for (int bit = 63; bit >= 0; --bit) {
      const bool carry = (remainder >> 63) != 0;
      remainder = (remainder << 1) | ((low_ >> bit) & 1);
      quotient <<= 1;
      if (carry || remainder >= divisor) {
        remainder -= divisor;
        quotient |= 1;
      }
    }
    return quotient;
  }

 private:
  uint64_t high_;  // declared first: the defaulted comparison compares it first
  uint64_t low_;
};

// a x b / divisor rounded down, exact for every a and b as long as the result fits in 64 bits
// (the largest 64-bit value otherwise); `divisor` must not be 0.
constexpr uint64_t MulDiv64(uint64_t a, uint64_t b, uint64_t divisor) {
  return Uint128::Product(a, b).DivideFitting(divisor);
}

#endif  // ZQ_LIBZQCOMMON_INCLUDE_ZQCOMMON_ZQUINT128_H_
