// The three precision kinds of the experiment, their exact conversions, Power and Factorial.
#pragma once

#include <bit>
#include <cfloat>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

// Quad is IEEE binary128, from the first of these the target has (the build may force MPFR):
//   long double, where it already is binary128 (aarch64, s390x, riscv64, mips64el Linux);
//   GCC's __float128, with libquadmath for decimal conversions (x86, ppc64el);
//   a value type over GNU MPFR that rounds exactly as binary128 does (armhf, or on request).
// Everything else in the program names only the alias; only this header and precision.cpp know
// which backend it is.
#if defined(BESSEL_QUAD_MPFR)
#include "numeric/quad_mpfr.hpp"
#elif LDBL_MANT_DIG == 113
#define BESSEL_QUAD_LONG_DOUBLE 1
using Quad = long double;
#elif defined(__SIZEOF_FLOAT128__)
#define BESSEL_QUAD_FLOAT128 1
using Quad = __float128;
#else
#error "no IEEE binary128 type on this target: build with -DBESSEL_QUAD=mpfr"
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

// The 128 bits of a binary128 value as IEEE lays them out: sign, 15-bit biased exponent and
// 112-bit fraction, from the top bit of `high` down to the bottom bit of `low`.
struct QuadBits {
  uint64_t high = 0;
  uint64_t low = 0;
  friend bool operator==(const QuadBits&, const QuadBits&) = default;
};
QuadBits BitsOf(const Quad& x);
Quad QuadFromBits(QuadBits bits);

// The same value to the last bit (and the same sign of zero) in each kind.
inline bool SameBits(Single a, Single b) {
  return std::bit_cast<uint32_t>(a) == std::bit_cast<uint32_t>(b);
}
inline bool SameBits(Double a, Double b) {
  return std::bit_cast<uint64_t>(a) == std::bit_cast<uint64_t>(b);
}
inline bool SameBits(const Quad& a, const Quad& b) {
  return BitsOf(a) == BitsOf(b);
}

// The Quad nearest to a decimal number ("0.1", "-1.9549175e-9"), ties to even.
Quad ParseQuad(std::string_view text);

// A finite, positive Quad in exponent form with `fraction_digits` digits behind the point,
// rounded from its exact binary value to nearest, ties to even: "7.65e-01" for 2 digits. The
// exponent has its sign and at least two digits.
std::string ScientificText(const Quad& magnitude, int fraction_digits);
