// Quad where the target has no binary128 type: the exact IEEE kind in the binary128 format, so
// that every operation, conversion and digit is the one IEEE binary128 gives. Only
// precision.hpp includes this.
#pragma once

#include <compare>

#include "numeric/ieee_number.hpp"

class Quad {
 public:
  Quad() : Quad(0) {}
  // Exact, as for the built-in kinds.
  Quad(int i) : value_(kBinary128, long{i}) {}      // NOLINT(google-explicit-constructor)
  Quad(float x) : value_(kBinary128, double{x}) {}  // NOLINT(google-explicit-constructor)
  Quad(double x) : value_(kBinary128, x) {}         // NOLINT(google-explicit-constructor)
  explicit Quad(const IeeeNumber& x) : value_(kBinary128, x) {}  // rounded once

  // Rounded to nearest, ties to even, as the built-in conversions are.
  explicit operator float() const { return value_.ToFloat(); }
  explicit operator double() const { return value_.ToDouble(); }

  friend Quad operator+(const Quad& a, const Quad& b) {
    return Quad(kInFormat, a.value_ + b.value_);
  }
  friend Quad operator-(const Quad& a, const Quad& b) {
    return Quad(kInFormat, a.value_ - b.value_);
  }
  friend Quad operator*(const Quad& a, const Quad& b) {
    return Quad(kInFormat, a.value_ * b.value_);
  }
  friend Quad operator/(const Quad& a, const Quad& b) {
    return Quad(kInFormat, a.value_ / b.value_);
  }
  friend Quad operator-(const Quad& a) { return Quad(kInFormat, -a.value_); }
  friend bool operator==(const Quad& a, const Quad& b) { return a.value_ == b.value_; }
  friend std::partial_ordering operator<=>(const Quad& a, const Quad& b) {
    return a.value_ <=> b.value_;
  }

  const IeeeNumber& number() const { return value_; }

 private:
  // A result already in binary128: taken as it is.
  enum InFormat { kInFormat };
  Quad(InFormat, const IeeeNumber& x) : value_(x) {}

  IeeeNumber value_;
};
