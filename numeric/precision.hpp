// The three precision kinds of the experiment, their exact conversions, Power and Factorial.
#pragma once

#include <cfloat>
#include <cstdint>

// Quad is IEEE binary128. Where long double already is binary128 (aarch64, s390x Linux) it is
// used as it stands; elsewhere GCC's __float128 provides the arithmetic and libquadmath the
// decimal digits. Everything else in the program names only the alias.
#if LDBL_MANT_DIG == 113
#define BESSEL_QUAD_IS_LONG_DOUBLE 1
using Quad = long double;
#elif defined(__SIZEOF_FLOAT128__)
#define BESSEL_QUAD_IS_LONG_DOUBLE 0
using Quad = __float128;
#else
#error "no IEEE binary128 type on this target"
#endif

using Single = float;
using Double = double;

static_assert(sizeof(Single) == 4 && FLT_MANT_DIG == 24, "Single must be IEEE binary32");
static_assert(sizeof(Double) == 8 && DBL_MANT_DIG == 53, "Double must be IEEE binary64");
static_assert(sizeof(Quad) == 16, "Quad must be IEEE binary128");
// Single and Double arithmetic must be carried out in its own format, never wider.
static_assert(FLT_EVAL_METHOD == 0, "intermediates must not be held in a wider format");

// Exact widening into Quad: every binary32, binary64 and int32 value is a binary128 value.
inline Quad Widen(Single x) {
  return static_cast<Quad>(x);
}
inline Quad Widen(Double x) {
  return static_cast<Quad>(x);
}
inline Quad Widen(Quad x) {
  return x;
}
inline Quad Widen(int32_t i) {
  return static_cast<Quad>(i);
}

// Quad to Single, rounded once to nearest, ties to even (the default IEEE rounding).
inline Single Narrow(Quad x) {
  return static_cast<Single>(x);
}

// x raised to n >= 0 by n rounded multiplications; Power(x, 0) is 1.
// Exact for the powers of two the series asks for: (-0.25)^k and 2^m.
template <class Kind>
Kind Power(Kind x, int32_t n) {
  Kind result = 1;
  for (int32_t i = 0; i < n; ++i) result = result * x;
  return result;
}

// n! as the product 2 * 3 * ... * n accumulated left to right in the kind, each product rounded;
// 1 for n < 2. Exact in Double and Quad up to the 15! the series needs; in Single from 14! on
// the rounding of each step fixes the bits.
template <class Kind>
Kind Factorial(int32_t n) {
  Kind result = 1;
  for (int32_t i = 2; i <= n; ++i) result = result * static_cast<Kind>(i);
  return result;
}
