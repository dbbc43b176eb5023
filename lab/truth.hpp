// The true values the laboratory measures against: J_m(x) and Y_m(x) for all orders at once, in
// GNU MPFR far beyond every format, by recurrences that are stable in their direction.
#pragma once

#include <mpfr.h>

#include <vector>

#include "numeric/mpfr_number.hpp"

struct BesselTable {
  mpfr_prec_t bits = 0;
  std::vector<MpfrNumber> j;  // J_0(x) ... J_last(x)
  std::vector<MpfrNumber> y;  // Y_0(x) ... Y_last(x)
};

// The order N at which a backward recurrence for J_m(x), m <= last, may start (J_(N+1) = 0,
// J_N = 1, then normalised) so that the start leaves a relative error below 2^-bits at every
// order up to `last` away from the zeros of J_m: its values are J_m - (J_(N+1)/Y_(N+1)) Y_m up to
// a common factor, so N is the smallest order above max(last, x) of the form
// max(last, ceil(x)) + 8 * 2^k with |J_(N+1)/Y_(N+1)| * max(1, |Y_last/J_last|) <= 2^-bits
// (J_n and Y_n at those few orders from MPFR's own functions).
long BackwardStart(mpfr_srcptr x, long last, mpfr_prec_t bits);

// J_m(x) and Y_m(x), m = 0 ... last, each with a relative error below 2^-accurate_bits: Y by the
// upward recurrence from Y_0 and Y_1 (Y is the growing solution there), J by the downward one
// from BackwardStart, normalised with J_0 + 2 (J_2 + J_4 + ...) = 1. The working precision is
// chosen by computing the table twice, at two precisions, until both agree to accurate_bits;
// false if no precision up to 16384 bits gets there.
bool TrueBessel(mpfr_srcptr x, long last, mpfr_prec_t accurate_bits, BesselTable& table);
