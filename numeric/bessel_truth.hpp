// The one Bessel reference: f_m(x) of any of the six functions, and the companion solution of
// its recurrence, for all orders at once, as Arb balls that enclose the true values whatever
// roundings were made; and the error growth that theory predicts from them for the forward
// recurrence, as balls too. The laboratory measures against it, and the plot tool is its J,
// x = 1 case.
#pragma once

#include <mpfr.h>

#include <optional>
#include <string>
#include <vector>

#include "numeric/arb_ball.hpp"
#include "numeric/bessel_function.hpp"
#include "numeric/mpfr_number.hpp"
#include "numeric/short_number.hpp"
#include "numeric/stop.hpp"

struct BesselTable {
  const BesselFunction* function = &kBesselJ;
  long bits = 0;           // the precision the balls were computed at
  std::vector<ArbBall> f;  // f_0(x) ... f_last(x)
  std::vector<ArbBall> g;  // the companion solution g_0(x) ... g_last(x)
};

// The most bits a value is asked of Arb's own functions at.
inline constexpr long kMaxDirectBits = long{1} << 21;

// f_m(x) and the companion, m = 0 ... last, each ball's relative radius below 2^-accurate_bits:
// the minimal solution recurred downwards from Arb's values at orders last and last - 1, the
// dominant one upwards from Arb's values at orders 0 and 1, each in the direction in which it is
// stable: in ball arithmetic, through the ratios of consecutive values where J, Y, j and y are
// monotone, and where they oscillate over many orders as BoundedOscillation does, from Arb's
// values afresh for the minimal one; at a working precision raised until every ball is narrow
// enough; the few a recurrence leaves too wide are taken from Arb alone. False if no working
// precision up to kMaxTruthBits gets there. Throws Stopped once `stop` is asked for (polled at
// every order).
inline constexpr long kMaxTruthBits = 16384;
// The most orders whose balls are narrowed one by one, from Arb alone; beyond, the whole table
// is computed anew at a higher precision.
inline constexpr size_t kMaxRefinedOrders = 64;
bool TrueBessel(const BesselFunction& function, mpfr_srcptr x, long last, long accurate_bits,
                BesselTable& table, const StopToken& stop = {});

// Order m of the table (f_m, and g_m when `companion`) again from Arb alone, to at least
// accurate_bits; false past kMaxDirectBits.
bool RefineOrder(BesselTable& table, mpfr_srcptr x, size_t m, long accurate_bits, bool companion);

// How TrueBessel computes the orders 0 ... last of J, Y, j or y where they oscillate over many
// orders (x above 111), alone: both solutions in plain MPFR at `bits` from Arb's values at orders 0
// and 1 (the dominant one, upwards) and last and last - 1 (the minimal one, downwards), each
// value's error bounded afterwards from each step's rounding, carried by the recurrence's Green's
// function (|J_n(x)| <= 1 bounding the minimal solution meanwhile). The balls hold the values as
// computed and their bounds, not rounded to fewer bits. False for the other functions, below
// order 1, or where Arb cannot give a start.
bool BoundedOscillation(const BesselFunction& function, mpfr_srcptr x, long last, long bits,
                        BesselTable& table);

// The bits beyond a format's precision to which the truth is asked to be right, so that every
// error measured or predicted against it is right to far more digits than are printed.
inline constexpr long kTruthGuardBits = 24;

// How Miller's algorithm normalises a minimal function: J_0 + 2 (J_2 + J_4 + ...) = 1;
// I_0 + 2 (I_1 + I_2 + ...) = e^x; j_l by j_0 = sin(x) / x or, where the recurrence makes b_1
// the larger, by j_1 = (sin(x) / x - cos(x)) / x (the sum of (2l + 1) j_l^2 = 1 would square
// values that the narrow formats cannot hold).
enum class Normaliser { kEvenSum, kWholeSum, kFirstValue };
inline Normaliser NormaliserOf(const BesselFunction& function) {
  return function.kind == BesselKind::kJ   ? Normaliser::kEvenSum
         : function.kind == BesselKind::kI ? Normaliser::kWholeSum
                                           : Normaliser::kFirstValue;
}

// The order N at which Miller's backward recurrence for a minimal solution f_m(x), m <= last,
// may start (f_(N+1) = 0, f_N = 1, then normalised) so that the start leaves a relative error
// below 2^-bits at every order up to `last` away from the zeros of f_m: its values are
// f_m - (f_(N+1) / g_(N+1)) g_m up to a common factor, so N is the smallest order above
// max(last, x) of the form max(last, ceil(x)) + 8 * 2^k that BackwardStartRule states (f_n and
// g_n at those few orders from Arb, g by its upward recurrence). None where Arb cannot give
// one of those values within kMaxDirectBits. Throws Stopped once `stop` is asked for.
std::optional<long> BackwardStart(const BesselFunction& function, mpfr_srcptr x, long last,
                                  long bits, const StopToken& stop = {});
// The rule, said in words, for a reader of the output.
std::string BackwardStartRule(const BesselFunction& function);

// (computed - f) / f for the truth's ball f, a ball itself.
ArbBall RelativeError(mpfr_srcptr computed, const ArbBall& truth);

// What the parts below take of the truth at order m, the same for every seed format: computed
// once an order where many formats are measured. g_m / f_m at `bits`, 64 beyond those of the
// balls of f_m and g_m, and |f_m| and |g_m| bounded at 64 bits.
struct TruthRow {
  TruthRow(const BesselTable& truth, size_t m);

  size_t m;
  long bits;
  ArbBall g_over_f;
  MpfrNumber abs_f_up{64}, abs_f_low{64}, abs_g_up{64};
};

// The relative errors (A f_m + B g_m) / f_m, m = 0 ... last, that seeds off by e_0 = seed_0 - f_0
// and e_1 = seed_1 - f_1 give the forward recurrence in exact arithmetic: the recurrence is
// linear, so the errors travel as A f_m + B g_m, with A, B from e_0 = A f_0 + B g_0,
// e_1 = A f_1 + B g_1 (Cramer's rule; the determinant is the Casoratian, -2 / (pi x) for J and
// Y). The seeds are taken exactly; the balls carry every rounding. `At` gives order m's. At
// orders 0 and 1 it is the seed's own relative error e_m / f_m, which A and B give back there
// by their definition: so a finite seed keeps its finite error beside one that overflowed
// (Y_0(1e-6) = -8.87 fits binary16, Y_1(1e-6) = -6.4e5 does not), where A and B, and every
// order from 2 on, are infinite or NaN.
class SeedsPart {
 public:
  SeedsPart(const BesselTable& truth, mpfr_srcptr seed_0, mpfr_srcptr seed_1);
  ArbBall At(const TruthRow& row) const;

 private:
  long bits_;
  long ab_bits_;  // A and B kept to 64 beyond the balls of orders 0 and 1
  ArbBall a_, b_;
  ArbBall seed_errors_[2];  // e_0 / f_0, e_1 / f_1
};
std::vector<ArbBall> PredictedRelativeErrors(const BesselTable& truth, mpfr_srcptr seed_0,
                                             mpfr_srcptr seed_1);

// The rest of a forward recurrence's error: what its own roundings put in. Each step computes
// c_(m+1) = s (n_m / x) c_m + t c_(m-1) + d_(m+1), its rounding error d_(m+1) (the rounding of
// n_m / x included) known exactly from the values computed; the recurrence being linear, d_k
// travels on as a seed error entered at order k would, as G(m, k) d_k with
// G(m, k) = (f_m g_(k-1) - g_m f_(k-1)) / C, C the Casoratian f_k g_(k-1) - g_k f_(k-1), the
// same at every k up to its sign. So the error splits exactly:
// (c_m - f_m) / f_m = predicted_m + rounding_m, rounding_m = (sum of G(m, k) d_k) / f_m, computed
// in ball arithmetic as f_m P_m - g_m Q_m from the running sums P_m of d_k g_(k-1) / C_k and Q_m
// of d_k f_(k-1) / C_k (a recurrence driven by the d_k would widen its balls at every step). Each
// d_k comes from its exact numerator: d_(k+1) = (x c_(k+1) - s n_k c_k - t x c_(k-1)) / x, so that
// however much the step cancels, no rounding of the check's own can fake one (a step that rounds
// nothing gives 0). x as the recurrence used it. NaN from the first value that is not finite on.
// The roundings of a few steps can cancel exactly (in binary16, I_8(1)'s step rounds off just
// what I_7(1)'s added), and a ball can never show an exact 0: where the ball holds 0, the
// recurrence is run exactly from c_0 and c_1, x^m c'_m = s n_(m-1) x^(m-1) c'_(m-1) +
// t x^2 x^(m-2) c'_(m-2), every product and sum in the bits that hold it, and rounding_m is an
// exact 0 where x^m c_m equals it: c_m is then what no rounding at all would have given. Up to
// kMaxExactBits; beyond, the ball is left as it is.
// `Next` takes c_m for m = 0, 1, ... in turn (the truth's row m), with c_(m-1) and c_(m-2)
// (unused for c_0 and c_1), and gives rounding_m; the truth and x must outlive the object.
class RoundingPart {
 public:
  RoundingPart(const BesselTable& truth, mpfr_srcptr x);
  ArbBall Next(const TruthRow& row, mpfr_srcptr c_next, mpfr_srcptr c, mpfr_srcptr c_before);

  static constexpr mpfr_prec_t kMaxExactBits = mpfr_prec_t{1} << 20;

 private:
  // Whether c_m is exactly the value of the recurrence run without rounding from c_0 and c_1;
  // false too where that value needs more than kMaxExactBits.
  bool Unrounded(size_t m, mpfr_srcptr c_m);

  const BesselTable& truth_;
  mpfr_srcptr x_;
  long bits_;
  ArbBall x_ball_, inverse_c_, p_, q_;
  ArbBall d_, weight_;  // each step's, reused
  size_t m_ = 0;
  bool finite_ = true;
  // The exact recurrence, scaled: x^k c'_k and x^(k-1) c'_(k-1), at k = exact_at_; and x^k.
  MpfrNumber exact_{MPFR_PREC_MIN}, exact_before_{MPFR_PREC_MIN}, x_power_{MPFR_PREC_MIN};
  size_t exact_at_ = 0;
};

// A bound on |rounding_m| known before anything is computed in the format: from its unit
// roundoff u = 2^-p, half its smallest subnormal (for results below its normal range), the
// truth and the seeds' part alone. With W_k = |f_k| + |predicted_k f_k| + R_k bounding |c_k|,
// each step's error is at most ((1 + u)^2 - 1) |n_k/x| W_k (n_k and n_k/x rounded) + u F W_k
// (the product) + u (F W_k (1 + u) + W_(k-1)) (the sum) + 3 half-subnormals, F = |n_k/x| (1 +
// u)^2; and R_m = (|f_m| sum |d_k g_(k-1)| + |g_m| sum |d_k f_(k-1)|) / |C| bounds what they add
// up to. Every bound rounded upwards from the balls' ends; relative to |f_m|. Once a step's
// factor, product or sum may pass the format's largest value (below 2^(max_exponent + 1)), no
// bound holds: from there on it is infinite. `Next` takes predicted_0, predicted_1, ... in
// turn, with the truth's row m, and gives each order's bound; the truth and x must outlive the
// object.
class RoundingBound {
 public:
  RoundingBound(const BesselTable& truth, mpfr_srcptr x, int precision, int min_exponent,
                int max_exponent);
  ShortNumber Next(const TruthRow& row, const ArbBall& predicted);

 private:
  static constexpr mpfr_prec_t kBits = 64;  // bounds need no more, each rounded upwards
  const BesselTable& truth_;
  mpfr_srcptr x_;
  MpfrNumber u_{kBits}, grown_{kBits}, half_subnormal_{kBits}, inverse_c_{kBits};
  MpfrNumber largest_{kBits}, sum_g_{kBits}, sum_f_{kBits};
  // Of the order before: |f|, |g|; W of the two before.
  MpfrNumber abs_f_{kBits}, abs_g_{kBits}, w_{kBits}, w_before_{kBits};
  size_t m_ = 0;
  bool may_overflow_ = false;
};
