// One exact arithmetic kind for every IEEE binary format: a GNU MPFR number of the format's
// precision, brought after every operation and conversion into the format's exponent range and
// onto its subnormal grid, rounded to nearest, ties to even; overflow gives infinity. So every
// result is the one IEEE 754 arithmetic in that format gives. The significand lives inside the
// object: no operation allocates.
#pragma once

#include <gmp.h>
#include <mpfr.h>

#include <compare>

#include "numeric/decimal_significand.hpp"
#include "numeric/ieee_format.hpp"

class IeeeNumber {
 public:
  explicit IeeeNumber(const IeeeFormat& format);  // +0
  // Rounded once into `format`.
  IeeeNumber(const IeeeFormat& format, double x);
  IeeeNumber(const IeeeFormat& format, long i);
  IeeeNumber(const IeeeFormat& format, const IeeeNumber& x);
  // Sets the value from an MPFR number of any precision, rounded once into `format`.
  IeeeNumber(const IeeeFormat& format, mpfr_srcptr x);
  IeeeNumber(const IeeeNumber& other);
  IeeeNumber& operator=(const IeeeNumber& other);  // takes the other's format too

  const IeeeFormat& format() const { return *format_; }
  mpfr_srcptr get() const { return value_; }

  // Both operands in one format; the result in that format.
  friend IeeeNumber operator+(const IeeeNumber& a, const IeeeNumber& b);
  friend IeeeNumber operator-(const IeeeNumber& a, const IeeeNumber& b);
  friend IeeeNumber operator*(const IeeeNumber& a, const IeeeNumber& b);
  friend IeeeNumber operator/(const IeeeNumber& a, const IeeeNumber& b);
  friend IeeeNumber operator-(const IeeeNumber& a);  // exact
  // IEEE comparisons: a NaN is unordered, so every comparison with one is false, except !=.
  friend bool operator==(const IeeeNumber& a, const IeeeNumber& b);
  friend std::partial_ordering operator<=>(const IeeeNumber& a, const IeeeNumber& b);

  // Rounded to nearest, ties to even.
  double ToDouble() const { return mpfr_get_d(value_, MPFR_RNDN); }
  float ToFloat() const { return mpfr_get_flt(value_, MPFR_RNDN); }

  // Gives a result just computed into the value by `compute` (an MPFR call returning its
  // ternary value, made in MPFR's full exponent range) the format's range and subnormal grid.
  template <class Compute>
  void Set(Compute compute) {
    Round(compute(value_));
  }

 private:
  static constexpr int kLimbs = (kMaxIeeePrecision + GMP_NUMB_BITS - 1) / GMP_NUMB_BITS;
  void Init();
  void Round(int ternary);

  const IeeeFormat* format_;
  mpfr_t value_;
  mp_limb_t limbs_[kLimbs];
};

// The exact value of a finite, positive number rounded to `count` >= 1 significant digits, to
// nearest, ties to even.
DecimalSignificand ExactDigits(const IeeeNumber& magnitude, int count);
