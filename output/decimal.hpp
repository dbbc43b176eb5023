// Exact decimal digits of Single, Double and Quad values, apart from any layout.
#pragma once

#include <string>

#include "numeric/precision.hpp"

struct DecimalDigits {
  enum class Class { kZero, kFinite, kInfinite, kNaN };
  Class value_class = Class::kZero;
  bool negative = false;
  // For kFinite: the significant digits D1 D2 ... Dn, D1 never '0', so that the value is
  // D1.D2...Dn x 10^exponent. 0.7651977f to 10 digits -> "7651976943", exponent -1.
  std::string digits;
  int exponent = 0;
};

// The exact binary value of x rounded to `count` >= 1 significant decimal digits, to nearest,
// ties to even. A carry into a new leading digit (9.9996 to 4 digits) gives "1000", exponent 1.
DecimalDigits ToDecimal(Single x, int count);
DecimalDigits ToDecimal(Double x, int count);
DecimalDigits ToDecimal(Quad x, int count);
