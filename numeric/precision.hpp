// The three precision kinds of the experiment, their exact conversions, Power and Factorial.
#pragma once

#include <cfloat>
#include <cstdint>

#include "numeric/decimal_significand.hpp"

// Quad is IEEE binary128, by the backend the build chose (cmake/Quad.cmake), the first of these
// the target has unless one is forced:
//   long double, where it already is binary128 (aarch64, s390x, riscv64, mips64el Linux);
//   GCC's __float128, with libquadmath for decimal conversions (x86, ppc64el);
//   a value type over GNU MPFR that rounds exactly as binary128 does (armhf, or on request).
// Everything else in the program names only the alias; only this header and the backend's own
// file (quad_long_double.cpp, quad_float128.cpp, quad_mpfr.cpp) know which backend it is.
#if defined(BESSEL_QUAD_MPFR)
#include "numeric/quad_mpfr.hpp"
#elif defined(BESSEL_QUAD_LONG_DOUBLE)
#if LDBL_MANT_DIG != 113
#error "the build chose long double for binary128, but long double is not binary128 here"
#endif
using Quad = long double;
#elif defined(BESSEL_QUAD_FLOAT128)
#if !defined(__SIZEOF_FLOAT128__)
#error "the build chose __float128 for binary128, but this compiler has no __float128"
#endif
using Quad = __float128;
#else
#error "no binary128 backend chosen: the build defines BESSEL_QUAD_LONG_DOUBLE, _FLOAT128 or _MPFR"
#endif

using Single = float;
using Double = double;

static_assert(sizeof(Single) == 4 && FLT_MANT_DIG == 24, "Single must be IEEE binary32");
static_assert(sizeof(Double) == 8 && DBL_MANT_DIG == 53, "Double must be IEEE binary64");
// Single and Double arithmetic must be carried out in its own format, never wider.
static_assert(FLT_EVAL_METHOD == 0, "intermediates must not be held in a wider format");
#if !defined(BESSEL_QUAD_MPFR)
static_assert(sizeof(Quad) == 16, "Quad must be IEEE binary128");
#endif

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

// The exact value of a finite, positive Quad rounded to `count` >= 1 significant digits, to
// nearest, ties to even. A carry into a new leading digit (9.9996 to 4 digits) gives "1000",
// exponent 1.
DecimalSignificand ExactDigits(const Quad& magnitude, int count);
