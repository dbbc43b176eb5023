// The one Bessel reference: J_m(x) and Y_m(x) for all orders at once, in GNU MPFR far beyond
// every format, by recurrences that are stable in their direction; and the error growth that
// theory predicts from them for the forward recurrence. The laboratory measures against it, and
// the plot tool is its x = 1 case.
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
// The rule, said in words, for a reader of the output.
inline constexpr const char* kBackwardStartRule =
    "the least N = max(M, ceil(x)) + 8 * 2^k at which |e| max(1, |Y_M / J_M|), "
    "|e| (|Y_0| + 2 |Y_2| + ... + 2 |Y_N|) and 4 |J_(N+1)| are each at most 2^-(bits + 2), "
    "e = J_(N+1) / Y_(N+1)";

// log2 |a / b| for numbers of any size, far beyond a double's range; NaN unless both are finite
// and nonzero.
double Log2Ratio(mpfr_srcptr a, mpfr_srcptr b);

// Gives GNU MPFR its widest exponent range (about 2^(+-2^62)) for the rest of the process: at
// tiny x and high orders J_m(x) and Y_m(x) lie far beyond its default 2^(+-2^30) (J_100000 of
// 1e-4900 is near 10^-490000000). Call first thing in main, before any MPFR number is made.
void WidenMpfrExponents();

// J_m(x) and Y_m(x), m = 0 ... last, each with a relative error below 2^-accurate_bits: Y by the
// upward recurrence from Y_0 and Y_1 (Y is the growing solution there), J by the downward one
// from BackwardStart, normalised with J_0 + 2 (J_2 + J_4 + ...) = 1. The working precision is
// chosen by computing the table twice, at two precisions, until both agree to accurate_bits;
// false if no working precision up to kMaxTruthBits gets there.
// `check`, when given, receives the second table, computed at 64 bits more.
inline constexpr mpfr_prec_t kMaxTruthBits = 16384;
bool TrueBessel(mpfr_srcptr x, long last, mpfr_prec_t accurate_bits, BesselTable& table,
                BesselTable* check = nullptr);

// The bits beyond a format's precision to which the truth is asked to be right, so that every
// error measured or predicted against it is right to far more digits than are printed.
inline constexpr mpfr_prec_t kTruthGuardBits = 24;

// The relative errors (A J_m + B Y_m) / J_m, m = 0 ... last, that seeds off by e_0 = seed_0 - J_0
// and e_1 = seed_1 - J_1 give the forward recurrence in exact arithmetic: the recurrence is linear,
// so the errors travel as A J_m + B Y_m, with A, B from e_0 = A J_0 + B Y_0, e_1 = A J_1 + B Y_1
// (Cramer's rule; the determinant is the Wronskian, -2 / (pi x)). The seeds are taken exactly;
// the arithmetic runs 256 bits beyond the truth, so nothing cancels; each error is rounded to
// the truth's precision.
std::vector<MpfrNumber> PredictedRelativeErrors(const BesselTable& truth, mpfr_srcptr seed_0,
                                                mpfr_srcptr seed_1);

// The rest of a forward recurrence's error: what its own roundings put in. Each step computes
// c_(m+1) = (2m / x) c_m - c_(m-1) + d_(m+1), its rounding error d_(m+1) (the rounding of 2m / x
// included) known exactly from the values computed; the recurrence being linear, d_k travels
// on as a seed error entered at order k would, as G(m, k) d_k with
// G(m, k) = (pi x / 2) (J_m Y_(k-1) - Y_m J_(k-1)) (the Wronskian again). So the error splits
// exactly: (c_m - J_m) / J_m = predicted_m + rounding_m, rounding_m = (sum of G(m, k) d_k) / J_m,
// computed by the same recurrence driven by the d_k, 256 bits beyond the truth. Each d_k is
// rounded once, from its exact numerator: d_(k+1) = (x c_(k+1) - 2k c_k + x c_(k-1)) / x, so
// that however much the step cancels, no rounding of the check's own can fake one (a step that
// rounds nothing gives 0). `computed`: c_0 ... c_last; x as the recurrence used it. NaN from
// the first value that is not finite on.
std::vector<MpfrNumber> RoundingRelativeErrors(const BesselTable& truth, mpfr_srcptr x,
                                               const std::vector<mpfr_srcptr>& computed);

// A bound on |rounding_m| known before anything is computed in the format: from its unit
// roundoff u = 2^-p, half its smallest subnormal (for results below its normal range), the
// truth and the seeds' part alone. With W_k = |J_k| + |predicted_k J_k| + R_k bounding |c_k|,
// each step's error is at most ((1 + u)^2 - 1) |2k/x| W_k (2k and 2k/x rounded) + u F W_k (the
// product) + u (F W_k (1 + u) + W_(k-1)) (the difference) + 3 half-subnormals, F = |2k/x| (1 +
// u)^2; and R_m = (pi x / 2) (|J_m| sum |d_k Y_(k-1)| + |Y_m| sum |d_k J_(k-1)|) bounds what they
// add up to. Every bound rounded upwards; relative to |J_m|. Once a step's factor, product or
// difference may pass the format's largest value (below 2^(max_exponent + 1)), no bound holds:
// from there on it is infinite.
std::vector<MpfrNumber> RoundingErrorBounds(const BesselTable& truth, mpfr_srcptr x,
                                            const std::vector<MpfrNumber>& predicted, int precision,
                                            int min_exponent, int max_exponent);
