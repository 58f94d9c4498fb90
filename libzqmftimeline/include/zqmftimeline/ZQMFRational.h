// Exact fractions for rates and durations: a 32-bit numerator carrying the sign over a
// positive 32-bit denominator. Results that do not fit are replaced by the nearest fraction
// whose terms stay within 2147483647 (continued-fraction convergents). 0/0 stands for "not a
// number" (a NaN converted, a division by zero): it compares unequal to everything, and
// converts to NaN.
#ifndef ZQ_LIBZQMFTIMELINE_INCLUDE_ZQMFTIMELINE_ZQMFRATIONAL_H_
#define ZQ_LIBZQMFTIMELINE_INCLUDE_ZQMFTIMELINE_ZQMFRATIONAL_H_

#include <cstdint>
#include <string>

class ZQMFRational {
 public:
  static constexpr int64_t kLimit = 2147483647;

  ZQMFRational() = default;  // 0/1
  // numerator/denominator; a denominator of 0 becomes 1, a negative one moves its sign up.
  ZQMFRational(int32_t numerator, int32_t denominator = 1);  // NOLINT: integers convert
  // whole + numerator/denominator, that is (whole x denominator + numerator)/denominator.
  ZQMFRational(int32_t whole, int32_t numerator, int32_t denominator);

  // The nearest fraction with terms within kLimit; NaN gives 0/0, infinities and magnitudes
  // beyond the limit give +-kLimit/1.
  static ZQMFRational Double2Rational(double value);
  // "n", "n/d" or a decimal number ("29.97"); false (and *out untouched) otherwise.
  static bool FromString(const char* text, ZQMFRational* out);
  static uint64_t gcd(uint64_t a, uint64_t b);
  // Reduces the non-negative fraction n/d (d > 0) to lowest terms, or to its nearest
  // approximation with both terms within `limit`.
  static void reduce(uint64_t* n, uint64_t* d, uint64_t limit);

  int32_t numerator() const { return num_; }
  int32_t denominator() const { return den_; }
  bool valid() const { return den_ != 0; }

  explicit operator double() const { return real_quotient(); }
  double real_quotient() const;
  int32_t int_quotient() const;  // truncated towards zero; 0 for 0/0
  ZQMFRational reciprocal() const;
  std::string c_string() const;  // "6" when the denominator is 1, else "1/3"
  void c_display() const;        // c_string() on standard output

  ZQMFRational& operator+=(const ZQMFRational& o);
  ZQMFRational& operator-=(const ZQMFRational& o);
  ZQMFRational& operator*=(const ZQMFRational& o);
  ZQMFRational& operator/=(const ZQMFRational& o);
  ZQMFRational& operator+=(double o) { return *this = Double2Rational(real_quotient() + o); }
  ZQMFRational& operator-=(double o) { return *this = Double2Rational(real_quotient() - o); }
  ZQMFRational& operator*=(double o) { return *this = Double2Rational(real_quotient() * o); }
  ZQMFRational& operator/=(double o) { return *this = Double2Rational(real_quotient() / o); }
  ZQMFRational& operator++() { return *this += 1; }
  ZQMFRational& operator--() { return *this -= 1; }
  ZQMFRational operator++(int) {
    ZQMFRational old = *this;
    ++*this;
    return old;
  }
  ZQMFRational operator--(int) {
    ZQMFRational old = *this;
    --*this;
    return old;
  }
  ZQMFRational operator-() const;

  friend ZQMFRational operator+(ZQMFRational a, const ZQMFRational& b) { return a += b; }
  friend ZQMFRational operator-(ZQMFRational a, const ZQMFRational& b) { return a -= b; }
  friend ZQMFRational operator*(ZQMFRational a, const ZQMFRational& b) { return a *= b; }
  friend ZQMFRational operator/(ZQMFRational a, const ZQMFRational& b) { return a /= b; }
  friend ZQMFRational operator+(ZQMFRational a, double b) { return a += b; }
  friend ZQMFRational operator-(ZQMFRational a, double b) { return a -= b; }
  friend ZQMFRational operator*(ZQMFRational a, double b) { return a *= b; }
  friend ZQMFRational operator/(ZQMFRational a, double b) { return a /= b; }

  friend ZQMFRational operator+(ZQMFRational a, int32_t b) { return a += ZQMFRational(b); }
  friend ZQMFRational operator-(ZQMFRational a, int32_t b) { return a -= ZQMFRational(b); }
  friend ZQMFRational operator*(ZQMFRational a, int32_t b) { return a *= ZQMFRational(b); }
  friend ZQMFRational operator/(ZQMFRational a, int32_t b) { return a /= ZQMFRational(b); }
  ZQMFRational& operator+=(int32_t o) { return *this += ZQMFRational(o); }
  ZQMFRational& operator-=(int32_t o) { return *this -= ZQMFRational(o); }
  ZQMFRational& operator*=(int32_t o) { return *this *= ZQMFRational(o); }
  ZQMFRational& operator/=(int32_t o) { return *this /= ZQMFRational(o); }

  // Comparisons: exact between fractions (integers convert exactly); against a double through
  // the quotient.
  friend bool operator==(const ZQMFRational& a, const ZQMFRational& b) {
    return Compare(a, b) == 0;
  }
  friend bool operator!=(const ZQMFRational& a, const ZQMFRational& b) {
    return Compare(a, b) != 0;
  }
  friend bool operator<(const ZQMFRational& a, const ZQMFRational& b) {
    return Compare(a, b) == -1;
  }
  friend bool operator<=(const ZQMFRational& a, const ZQMFRational& b) {
    const int c = Compare(a, b);
    return c == -1 || c == 0;
  }
  friend bool operator>(const ZQMFRational& a, const ZQMFRational& b) { return Compare(a, b) == 1; }
  friend bool operator>=(const ZQMFRational& a, const ZQMFRational& b) {
    const int c = Compare(a, b);
    return c == 1 || c == 0;
  }
  friend bool operator==(const ZQMFRational& a, int32_t b) { return a == ZQMFRational(b); }
  friend bool operator!=(const ZQMFRational& a, int32_t b) { return a != ZQMFRational(b); }
  friend bool operator<(const ZQMFRational& a, int32_t b) { return a < ZQMFRational(b); }
  friend bool operator<=(const ZQMFRational& a, int32_t b) { return a <= ZQMFRational(b); }
  friend bool operator>(const ZQMFRational& a, int32_t b) { return a > ZQMFRational(b); }
  friend bool operator>=(const ZQMFRational& a, int32_t b) { return a >= ZQMFRational(b); }
  friend bool operator==(const ZQMFRational& a, double b) { return a.real_quotient() == b; }
  friend bool operator!=(const ZQMFRational& a, double b) { return !(a.real_quotient() == b); }
  friend bool operator<(const ZQMFRational& a, double b) { return a.real_quotient() < b; }
  friend bool operator<=(const ZQMFRational& a, double b) { return a.real_quotient() <= b; }
  friend bool operator>(const ZQMFRational& a, double b) { return a.real_quotient() > b; }
  friend bool operator>=(const ZQMFRational& a, double b) { return a.real_quotient() >= b; }

 private:
  // -1, 0, 1, or 2 when either is 0/0.
  static int Compare(const ZQMFRational& a, const ZQMFRational& b);
  // The fraction n/d (any signs), reduced into range; d == 0 gives 0/0.
  static ZQMFRational FromWide(int64_t n, int64_t d);

  int32_t num_ = 0;
  int32_t den_ = 1;
};

#endif  // ZQ_LIBZQMFTIMELINE_INCLUDE_ZQMFTIMELINE_ZQMFRATIONAL_H_
