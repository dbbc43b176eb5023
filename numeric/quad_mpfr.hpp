// Quad where the target has no binary128 type: a value type over GNU MPFR that gives exactly
// the results of IEEE binary128. Every value has a 113-bit significand; every operation rounds
// to nearest, ties to even, within binary128's exponent range, subnormals included. Only
// precision.hpp includes this.
#pragma once

#include <mpfr.h>

#include <compare>

#include "numeric/mpfr_number.hpp"

class Quad {
 public:
  Quad() : Quad(0) {}
  Quad(int i);     // NOLINT(google-explicit-constructor): exact, as for the built-in kinds
  Quad(float x);   // NOLINT(google-explicit-constructor)
  Quad(double x);  // NOLINT(google-explicit-constructor)

  // Rounded to nearest, ties to even, as the built-in conversions are.
  explicit operator float() const;
  explicit operator double() const;

  friend Quad operator+(const Quad& a, const Quad& b);
  friend Quad operator-(const Quad& a, const Quad& b);
  friend Quad operator*(const Quad& a, const Quad& b);
  friend Quad operator/(const Quad& a, const Quad& b);
  friend Quad operator-(const Quad& a);  // exact
  // IEEE comparisons: a NaN is unordered, so every comparison with one is false, except !=.
  friend bool operator==(const Quad& a, const Quad& b);
  friend std::partial_ordering operator<=>(const Quad& a, const Quad& b);

  // The MPFR number itself, for conversions.
  mpfr_srcptr get() const { return value_.get(); }
  mpfr_ptr get() { return value_.get(); }
  // Brings a result just computed with MPFR's ternary value `ternary` to binary128: its
  // exponent range and, below it, its subnormal grid.
  void Round(int ternary);

 private:
  static constexpr mpfr_prec_t kSignificandBits = 113;
  MpfrNumber value_{kSignificandBits};
};
