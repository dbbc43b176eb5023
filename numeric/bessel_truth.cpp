// The true Bessel values in ball arithmetic, each solution recurred in its stable direction
// from Arb's own values; and the prediction made from them.
#include "numeric/bessel_truth.hpp"

#include <acb_hypgeom.h>
#include <arb_hypgeom.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <initializer_list>
#include <limits>
#include <optional>

namespace {

// The bits beyond the accuracy asked that each working precision carries, with what each
// secures:
// - Arb's own functions start there, enough for their evaluation's loss in the usual case (a
//   ball still too wide doubles the precision);
constexpr long kDirectGuardBits = 32;
// - the truth's balls are kept there: rounding a midpoint to them widens its ball by no more
//   than 2^-64 of the accuracy asked, and what is computed from them needs no more (g_m / f_m
//   and the seeds' part A + B g_m / f_m at every order are computed there too, beyond the bits
//   of the balls they come from, so that an order refined from Arb narrows them);
constexpr long kKeptGuardBits = 64;
// - the seeds' part's A and B, the rounding part and the relative errors are computed there
//   beyond the truth's bits: the seeds' errors and each step's rounding error enter exactly, and
//   the arithmetic's own roundings stay far below the truth's radii, even where a truth's midpoint
//   is short (J_0 of a tiny x is 1 to thousands of bits).
constexpr long kPartsGuardBits = 256;
// - a product c n_k, n_k a long, is exact in c's bits and a long's.
constexpr long kLongBits = std::numeric_limits<unsigned long>::digits;

// f_n(x) of one function (its own value: no companion's sign) from Arb's own functions
// (arb_hypgeom_bessel_j, _y, _i, _k; the spherical ones as sqrt(pi / (2x)) J_(n+1/2)(x) and
// Y_(n+1/2)(x)), at a working precision doubled until the ball's relative accuracy reaches
// accurate_bits; false past kMaxDirectBits.
bool DirectBessel(BesselKind kind, long n, mpfr_srcptr x, long accurate_bits, ArbBall& value) {
  const ArbBall x_ball(x);
  ArbBall nu, t;
  const bool spherical = kind == BesselKind::kSphericalJ || kind == BesselKind::kSphericalY;
  // Beyond the argument, J's power series: Arb's own choice there, the asymptotic expansion in
  // x, loses nearly every digit at orders far beyond x and asks for ten thousands of bits.
  const bool series = mpfr_cmp_si(x, n) < 0;
  acb_t complex_nu, complex_x, complex_value;
  acb_init(complex_nu);
  acb_init(complex_x);
  acb_init(complex_value);
  acb_set_arb(complex_x, x_ball.get());
  for (long bits = accurate_bits + kDirectGuardBits; bits <= kMaxDirectBits; bits *= 2) {
    arb_set_si(nu.get(), spherical ? 2 * n + 1 : n);
    if (spherical) arb_mul_2exp_si(nu.get(), nu.get(), -1);
    switch (kind) {
      case BesselKind::kJ:
      case BesselKind::kSphericalJ:
        if (series) {
          acb_set_arb(complex_nu, nu.get());
          acb_hypgeom_bessel_j_0f1(complex_value, complex_nu, complex_x, bits);
          arb_set(value.get(), acb_realref(complex_value));
        } else {
          arb_hypgeom_bessel_j(value.get(), nu.get(), x_ball.get(), bits);
        }
        break;
      case BesselKind::kY:
      case BesselKind::kSphericalY:
        arb_hypgeom_bessel_y(value.get(), nu.get(), x_ball.get(), bits);
        break;
      case BesselKind::kI:
        arb_hypgeom_bessel_i(value.get(), nu.get(), x_ball.get(), bits);
        break;
      case BesselKind::kK:
        arb_hypgeom_bessel_k(value.get(), nu.get(), x_ball.get(), bits);
        break;
    }
    if (spherical) {  // sqrt(pi / (2x))
      arb_const_pi(t.get(), bits);
      arb_div(t.get(), t.get(), x_ball.get(), bits);
      arb_mul_2exp_si(t.get(), t.get(), -1);
      arb_sqrt(t.get(), t.get(), bits);
      arb_mul(value.get(), value.get(), t.get(), bits);
    }
    if (arb_rel_accuracy_bits(value.get()) >= accurate_bits) break;
  }
  acb_clear(complex_nu);
  acb_clear(complex_x);
  acb_clear(complex_value);
  return arb_rel_accuracy_bits(value.get()) >= accurate_bits;
}

// The value of `kind` at order n, with the companion's sign (-1)^n where `alternates`.
bool SolutionValue(BesselKind kind, bool alternates, long n, mpfr_srcptr x, long accurate_bits,
                   ArbBall& value) {
  if (!DirectBessel(kind, n, x, accurate_bits, value)) return false;
  if (alternates && n % 2 != 0) arb_neg(value.get(), value.get());
  return true;
}

// The minimal and the dominant solution of `function`'s recurrence: which function each is,
// and whether it carries the sign (-1)^m.
struct Solution {
  BesselKind kind;
  bool alternates;
};
Solution MinimalOf(const BesselFunction& function) {
  return function.minimal ? Solution{function.kind, false}
                          : Solution{function.companion, function.companion_alternates};
}
Solution DominantOf(const BesselFunction& function) {
  return function.minimal ? Solution{function.companion, function.companion_alternates}
                          : Solution{function.kind, false};
}

// n_m / x as a ball.
void Factor(arb_ptr out, const BesselFunction& function, long m, const ArbBall& x, long bits) {
  arb_set_si(out, 2 * m + function.offset);
  arb_div(out, out, x.get(), bits);
}

// One step upwards, out = s (n_m / x) here + t previous, or downwards,
// out = t (above - s (n_m / x) here), in ball arithmetic at `bits`; out is none of the others.
void StepUp(arb_ptr out, const BesselFunction& function, long m, const ArbBall& x, arb_srcptr here,
            arb_srcptr previous, long bits) {
  Factor(out, function, m, x, bits);
  arb_mul(out, out, here, bits);
  if (function.factor_sign < 0) arb_neg(out, out);
  if (function.previous_sign < 0) {
    arb_sub(out, out, previous, bits);
  } else {
    arb_add(out, out, previous, bits);
  }
}
void StepDown(arb_ptr out, const BesselFunction& function, long m, const ArbBall& x,
              arb_srcptr here, arb_srcptr above, long bits) {
  Factor(out, function, m, x, bits);
  arb_mul(out, out, here, bits);
  if (function.factor_sign > 0) {
    arb_sub(out, above, out, bits);
  } else {
    arb_add(out, above, out, bits);
  }
  if (function.previous_sign < 0) arb_neg(out, out);
}

// The ratio of the next value to this one from the ratio of this one to the one before, in
// place: the step itself with this value taken as 1 and the one before as 1 / ratio, upwards
// f_(m+1) / f_m = s (n_m / x) + t / (f_m / f_(m-1)), or downwards
// f_(m-1) / f_m = t (1 / (f_m / f_(m+1)) - s (n_m / x)).
void RatioStep(arb_ptr ratio, const BesselFunction& function, long m, const ArbBall& x,
               bool upwards, long bits) {
  ArbBall one, before;
  arb_one(one.get());
  arb_inv(before.get(), ratio, bits);
  if (upwards) {
    StepUp(ratio, function, m, x, one.get(), before.get(), bits);
  } else {
    StepDown(ratio, function, m, x, one.get(), before.get(), bits);
  }
}

// The ball rounded to `bits`, in storage of that size (rounding in place keeps the old).
void Keep(ArbBall& ball, long bits) {
  ArbBall kept;
  arb_set_round(kept.get(), ball.get(), bits);
  ball = std::move(kept);
}

// |ball| rounded upwards, or downwards from its lower end, at the bits of `out`.
void AbsBound(mpfr_ptr out, const ArbBall& ball, bool upper) {
  arf_t bound;
  arf_init(bound);
  if (upper) {
    arb_get_abs_ubound_arf(bound, ball.get(), mpfr_get_prec(out));
  } else {
    arb_get_abs_lbound_arf(bound, ball.get(), mpfr_get_prec(out));
  }
  arf_get_mpfr(out, bound, upper ? MPFR_RNDU : MPFR_RNDD);
  arf_clear(bound);
}
void UpperAbs(mpfr_ptr out, const ArbBall& ball) {
  AbsBound(out, ball, true);
}
void LowerAbs(mpfr_ptr out, const ArbBall& ball) {
  AbsBound(out, ball, false);
}

// Error bounds and magnitudes, each rounded upwards: they need no more bits.
constexpr mpfr_prec_t kBoundBits = 64;

// The other solution's magnitude at every order, bounded above: from its balls, or where there
// are none yet, by one bound that holds at every order.
struct OtherBound {
  const std::vector<ArbBall>* balls;
  mpfr_srcptr everywhere;
};

// The Casoratian C = f_1 g_0 - g_1 f_0 of the table's two solutions, at `bits`.
ArbBall Casoratian(const BesselTable& truth, long bits) {
  ArbBall c, t;
  arb_mul(c.get(), truth.f[1].get(), truth.g[0].get(), bits);
  arb_mul(t.get(), truth.g[1].get(), truth.f[0].get(), bits);
  arb_sub(c.get(), c.get(), t.get(), bits);
  return c;
}

// The lower bound of |C|, the magnitude of the Casoratian of the minimal and the dominant
// solution (the same at every order: t = +-1), from Arb's values at orders 0 and 1.
bool CasoratianLowerBound(const BesselFunction& function, mpfr_srcptr x, mpfr_ptr out) {
  constexpr long kWork = 64;
  const Solution minimal = MinimalOf(function), dominant = DominantOf(function);
  BesselTable starts;  // orders 0 and 1
  starts.f.resize(2);
  starts.g.resize(2);
  for (const long n : {0L, 1L}) {
    const size_t i = static_cast<size_t>(n);
    if (!SolutionValue(minimal.kind, minimal.alternates, n, x, kWork, starts.f[i]) ||
        !SolutionValue(dominant.kind, dominant.alternates, n, x, kWork, starts.g[i])) {
      return false;
    }
  }
  LowerAbs(out, Casoratian(starts, kWork));
  return mpfr_sgn(out) > 0;
}

// The ball with midpoint exactly `mid` and a radius of at least `radius`.
void SetBall(ArbBall& ball, mpfr_srcptr mid, mpfr_srcptr radius) {
  arf_t r;
  arf_init(r);
  arf_set_mpfr(r, radius);
  arf_set_mpfr(arb_midref(ball.get()), mid);
  arf_get_mag(arb_radref(ball.get()), r);
  arf_clear(r);
}

// A start of RecurBounded: the ball's midpoint rounded to `bits`, its radius grown by the
// rounding, as `value` and an upper bound `radius`.
void TakeStart(ArbBall& ball, long bits, mpfr_ptr value, mpfr_ptr radius) {
  arb_set_round(ball.get(), ball.get(), bits);
  arf_get_mpfr(value, arb_midref(ball.get()), MPFR_RNDN);  // exact
  arf_t r;
  arf_init(r);
  arf_set_mag(r, arb_radref(ball.get()));
  arf_get_mpfr(radius, r, MPFR_RNDU);
  arf_clear(r);
}

// |y| + error, rounded upwards: a bound of the magnitude of the value y stands for.
void Magnitude(mpfr_ptr out, mpfr_srcptr y, mpfr_srcptr error) {
  mpfr_abs(out, y, MPFR_RNDU);
  mpfr_add(out, out, error, MPFR_RNDU);
}

// sum += a b, rounded upwards (a, b >= 0).
void AddProduct(mpfr_ptr sum, mpfr_srcptr a, mpfr_srcptr b) {
  MPFR_DECL_INIT(t, kBoundBits);
  mpfr_mul(t, a, b, MPFR_RNDU);
  mpfr_add(sum, sum, t, MPFR_RNDU);
}

// One step in plain MPFR, as StepUp and StepDown take it in balls: `next` from `here` and
// `before`, with a = n_m / x and p = a here, each rounded to nearest.
void PlainStep(const BesselFunction& function, long m, mpfr_srcptr x, bool upwards,
               mpfr_srcptr here, mpfr_srcptr before, mpfr_ptr a, mpfr_ptr p, mpfr_ptr next) {
  mpfr_si_div(a, 2 * m + function.offset, x, MPFR_RNDN);
  mpfr_mul(p, a, here, MPFR_RNDN);
  if (upwards) {
    if (function.factor_sign < 0) mpfr_neg(p, p, MPFR_RNDN);
    if (function.previous_sign < 0) {
      mpfr_sub(next, p, before, MPFR_RNDN);
    } else {
      mpfr_add(next, p, before, MPFR_RNDN);
    }
  } else {
    if (function.factor_sign > 0) {
      mpfr_sub(next, before, p, MPFR_RNDN);
    } else {
      mpfr_add(next, before, p, MPFR_RNDN);
    }
    if (function.previous_sign < 0) mpfr_neg(next, next, MPFR_RNDN);
  }
}

// The bound of a plain step's rounding: u (|next| + |p| + |a| |here|).
void StepRounding(mpfr_ptr d, mpfr_srcptr u, mpfr_srcptr a, mpfr_srcptr here, mpfr_srcptr p,
                  mpfr_srcptr next) {
  MPFR_DECL_INIT(t, kBoundBits);
  mpfr_abs(d, a, MPFR_RNDU);
  mpfr_abs(t, here, MPFR_RNDU);
  mpfr_mul(d, d, t, MPFR_RNDU);
  mpfr_abs(t, p, MPFR_RNDU);
  mpfr_add(d, d, t, MPFR_RNDU);
  mpfr_abs(t, next, MPFR_RNDU);
  mpfr_add(d, d, t, MPFR_RNDU);
  mpfr_mul(d, d, u, MPFR_RNDU);
}

// E_j = (|y_j| B + |other_j| A) / (|C| - B), rounded upwards; infinite unless |C| > B.
void ErrorBound(mpfr_ptr error, mpfr_srcptr y, mpfr_srcptr other_j, mpfr_srcptr sum_own,
                mpfr_srcptr sum_other, mpfr_srcptr c_low) {
  MPFR_DECL_INIT(t, kBoundBits);
  mpfr_abs(error, y, MPFR_RNDU);
  mpfr_mul(error, error, sum_other, MPFR_RNDU);
  AddProduct(error, other_j, sum_own);
  mpfr_sub(t, c_low, sum_other, MPFR_RNDD);
  if (mpfr_sgn(t) > 0) {
    mpfr_div(error, error, t, MPFR_RNDU);
  } else {
    mpfr_set_inf(error, 1);
  }
}

// The oscillating orders of a solution of J's or j's recurrence, from its balls at orders
// `first` and first +- 1 to order `end`, in plain MPFR at `bits`, each value's error bounded
// afterwards: there a ball recurrence would lose about 0.7 bits a step to its radii, which grow
// with the wrapping of interval arithmetic, not with the problem (both solutions are of one size).
// Each step computes y_next = s a y_here + t y_before (or, downwards, y_next = t (y_before -
// s a y_here)) up to a rounding d, |d| <= u (|y_next| + |p| + |a| |y_here|), u = 2^-bits, a =
// n/x and p = a y_here as rounded. The recurrence being linear, d travels on as the solution that
// is 0 at `here` and d at `next`: d (own_j other_here - other_j own_here) / W, W the Casoratian,
// |W| = |C| at every order. The starts' errors e_first, e_second (their radii) travel as the
// solution they make. So |y_j - own_j| <= (|own_j| B + |other_j| A) / |C|, A summing |d|
// |own_here| and B |d| |other_here| (the starts giving e_second |own_first| + e_first
// |own_second| and the same of the other), and with |own_j| <= |y_j| + E_j,
// E_j = (|y_j| B + |other_j| A) / (|C| - B), infinite unless |C| > B. The values and their E_j
// become the balls from `first` to `end`. `c_low` bounds |C| from below.
bool RecurBounded(const BesselFunction& function, mpfr_srcptr x, long first, long end, long bits,
                  const OtherBound& other, mpfr_srcptr c_low, std::vector<ArbBall>& values,
                  const StopToken& stop) {
  const long step = end > first ? 1 : -1;
  MpfrNumber before(bits), here(bits), next(bits), a(bits), p(bits);
  MPFR_DECL_INIT(u, kBoundBits);
  MPFR_DECL_INIT(sum_own, kBoundBits);    // A
  MPFR_DECL_INIT(sum_other, kBoundBits);  // B
  MPFR_DECL_INIT(own_here, kBoundBits);   // |own_here| <= |y_here| + E_here
  MPFR_DECL_INIT(other_here, kBoundBits);
  MPFR_DECL_INIT(error, kBoundBits);
  MPFR_DECL_INIT(d, kBoundBits);
  mpfr_set_ui_2exp(u, 1, -bits, MPFR_RNDU);
  const auto other_at = [&](mpfr_ptr out, long m) {
    if (other.balls != nullptr) {
      UpperAbs(out, (*other.balls)[static_cast<size_t>(m)]);
    } else {
      mpfr_set(out, other.everywhere, MPFR_RNDU);
    }
  };
  {  // A = e_second |own_first| + e_first |own_second|, B the same of the other.
    MPFR_DECL_INIT(e_first, kBoundBits);
    MPFR_DECL_INIT(own_first, kBoundBits);
    MPFR_DECL_INIT(other_first, kBoundBits);
    TakeStart(values[static_cast<size_t>(first)], bits, before.get(), e_first);
    TakeStart(values[static_cast<size_t>(first + step)], bits, here.get(), error);
    Magnitude(own_first, before.get(), e_first);
    Magnitude(own_here, here.get(), error);
    other_at(other_first, first);
    other_at(other_here, first + step);
    mpfr_set_zero(sum_own, 1);
    mpfr_set_zero(sum_other, 1);
    AddProduct(sum_own, error, own_first);
    AddProduct(sum_own, e_first, own_here);
    AddProduct(sum_other, error, other_first);
    AddProduct(sum_other, e_first, other_here);
  }
  mpfr_clear_flags();
  for (long m = first + step; m != end; m += step) {
    StopIfAsked(stop);
    PlainStep(function, m, x, step > 0, here.get(), before.get(), a.get(), p.get(), next.get());
    StepRounding(d, u, a.get(), here.get(), p.get(), next.get());
    AddProduct(sum_own, d, own_here);
    AddProduct(sum_other, d, other_here);
    const long n = m + step;
    other_at(other_here, n);
    ErrorBound(error, next.get(), other_here, sum_own, sum_other, c_low);
    SetBall(values[static_cast<size_t>(n)], next.get(), error);
    Magnitude(own_here, next.get(), error);
    mpfr_swap(before.get(), here.get());
    mpfr_swap(here.get(), next.get());
  }
  // A value beyond MPFR's exponents has no rounding bound.
  return !mpfr_overflow_p() && !mpfr_underflow_p();
}

// What RecurBounded takes of the two solutions: a lower bound of |C|, and a bound of the minimal
// one at every order, |J_n(x)| <= 1 (DLMF 10.14.1), so |j_n(x)| = sqrt(pi / (2x))
// |J_(n+1/2)(x)| <= sqrt(pi / (2x)).
struct OscillationBounds {
  MpfrNumber c_low{kBoundBits}, minimal{kBoundBits};
};
bool BoundsOf(const BesselFunction& function, mpfr_srcptr x, OscillationBounds& bounds) {
  mpfr_ptr minimal = bounds.minimal.get();
  mpfr_set_ui(minimal, 1, MPFR_RNDU);
  if (function.kind == BesselKind::kSphericalJ || function.kind == BesselKind::kSphericalY) {
    mpfr_const_pi(minimal, MPFR_RNDU);
    mpfr_div(minimal, minimal, x, MPFR_RNDU);
    mpfr_div_2ui(minimal, minimal, 1, MPFR_RNDU);
    mpfr_sqrt(minimal, minimal, MPFR_RNDU);
  }
  return CasoratianLowerBound(function, x, bounds.c_low.get());
}

// The working precisions of a recurrence: `bits` where it keeps its width, `wide_bits` for the
// orders up to `split`, which oscillate, and `kept_bits` for the balls kept.
struct Precisions {
  long bits, wide_bits, kept_bits, split;
};

// Balls from order `from` to `to` (exclusive), each from the two before it in the direction of
// travel. Beyond split, where J, Y, j and y are monotone, through the ratio of consecutive
// values, which the step shrinks: the recurrence itself subtracts, and its balls would widen by
// about 1 / (2 ln 2) bits for each unit of x (7,200 bits at x = 10000).
void RecurBalls(const BesselFunction& function, bool upwards, const ArbBall& x, long from, long to,
                long at_bits, const Precisions& precisions, std::vector<ArbBall>& values,
                const StopToken& stop) {
  const long d = upwards ? 1 : -1, split = precisions.split;
  ArbBall ratio;  // here / the order before, along the direction of travel
  bool by_ratio = false;
  for (long m = from; m != to; m += d) {
    StopIfAsked(stop);
    const size_t i = static_cast<size_t>(m), next = static_cast<size_t>(m + d);
    const long step_bits = upwards && m < split ? precisions.wide_bits : at_bits;
    if (function.has_zeros && (upwards ? m >= split : m > split)) {
      if (!by_ratio) arb_div(ratio.get(), values[i].get(), values[i - d].get(), step_bits);
      by_ratio = true;
      RatioStep(ratio.get(), function, m, x, upwards, step_bits);
      arb_mul(values[next].get(), ratio.get(), values[i].get(), step_bits);
    } else if (upwards) {
      StepUp(values[next].get(), function, m, x, values[i].get(), values[i - 1].get(), step_bits);
    } else {
      StepDown(values[next].get(), function, m, x, values[i].get(), values[i + 1].get(), step_bits);
    }
    Keep(values[i - d], precisions.kept_bits);  // done with it
  }
}

// The recurrence, upwards (f_(m+1) = s (n_m / x) f_m + t f_(m-1)) from the values at 0 and 1,
// or downwards (f_(m-1) = t (f_(m+1) - s (n_m / x) f_m)) from those at last and last - 1, in
// ball arithmetic at `bits`, except for the orders up to `split`, which oscillate: there, from
// Arb's own values at 0 and 1 upwards, or at split and split - 1 downwards, at `wide_bits`,
// in plain MPFR with a bound proven afterwards where the other solution is bounded (`other`),
// else in balls. `stop` is polled at every order.
bool Recur(const BesselFunction& function, Solution solution, bool upwards, mpfr_srcptr x,
           long last, const Precisions& precisions, const OtherBound* other, mpfr_srcptr c_low,
           std::vector<ArbBall>& values, const StopToken& stop) {
  const long bits = precisions.bits, wide_bits = precisions.wide_bits, split = precisions.split;
  values.assign(static_cast<size_t>(last) + 1, ArbBall());
  const ArbBall x_ball(x);
  const auto start = [&](long n, long accuracy) {
    StopIfAsked(stop);
    return SolutionValue(solution.kind, solution.alternates, n, x, accuracy,
                         values[static_cast<size_t>(n)]);
  };
  const auto balls = [&](long from, long to, long at_bits) {
    RecurBalls(function, upwards, x_ball, from, to, at_bits, precisions, values, stop);
  };
  if (upwards) {
    if (!start(0, wide_bits) || (last >= 1 && !start(1, wide_bits))) return false;
    long from = 1;
    if (other != nullptr && split >= 2) {
      if (!RecurBounded(function, x, 0, split, wide_bits, *other, c_low, values, stop)) {
        return false;
      }
      from = split;
    }
    balls(from, std::max(from, last), bits);
  } else {
    // The quiet orders down to split + 1, then afresh from Arb's values at split and split - 1.
    const bool fresh = split < last - 1;
    if (!start(last, fresh ? bits : wide_bits) ||
        (last >= 1 && !start(last - 1, fresh ? bits : wide_bits))) {
      return false;
    }
    long top = last;
    if (fresh) {
      balls(last - 1, split + 1, bits);
      if (!start(split, wide_bits) || !start(split - 1, wide_bits)) return false;
      top = split;
    }
    if (other != nullptr && top >= 1) {
      if (!RecurBounded(function, x, top, 0, wide_bits, *other, c_low, values, stop)) {
        return false;
      }
    } else {
      balls(top - 1, 0, wide_bits);
    }
  }
  for (ArbBall& value : values) {
    StopIfAsked(stop);
    Keep(value, precisions.kept_bits);
  }
  return true;
}

// The orders 0 ... K that oscillate (n_m / x < 2 below x), with a margin: K = min(last,
// ceil(x) + 16). Beyond, the solutions are monotone and a ball recurrence keeps its width.
long OscillatingOrders(const BesselFunction& function, mpfr_srcptr x, long last) {
  if (!function.has_zeros) return 0;
  return std::min(last, static_cast<long>(std::ceil(mpfr_get_d(x, MPFR_RNDU))) + 16);
}

// From this many oscillating orders on they are recurred in plain MPFR with a bound proven
// afterwards (RecurBounded), which takes a bound of the minimal solution that holds at every
// order: below, x is small, that bound far above most of its values, and a ball recurrence
// loses few bits.
constexpr long kBoundedOrders = 128;

// The bits the oscillating orders take from their working precision, asked for at once, so
// that the first precision tried usually suffices: a ball recurrence loses about 0.7 a step to
// the growth of its radii; the bound proven afterwards (`bounded`) a few for each doubling of their
// number (each step's rounding adds to it), with room for the orders near a zero, where it is large
// beside the value.
long OscillationLoss(const BesselFunction& function, mpfr_srcptr x, long last, bool bounded) {
  const long orders = OscillatingOrders(function, x, last);
  const double loss = bounded ? std::log2(orders + 1.0) + 16 : 0.7 * orders;
  return static_cast<long>(std::ceil(loss));
}

// The bits the table's balls at these orders hold, the table's own at least: more where an order
// was refined from Arb alone.
long BitsOf(const BesselTable& truth, std::initializer_list<size_t> orders) {
  long bits = truth.bits;
  for (const size_t m : orders) {
    bits = std::max({bits, static_cast<long>(arb_bits(truth.f[m].get())),
                     static_cast<long>(arb_bits(truth.g[m].get()))});
  }
  return bits;
}

}  // namespace

bool TrueBessel(const BesselFunction& function, mpfr_srcptr x, long last, long accurate_bits,
                BesselTable& table, const StopToken& stop) {
  // Balls all through where the orders that oscillate are few, or the bounds cannot be had.
  OscillationBounds bounds;
  const bool bounded =
      OscillatingOrders(function, x, last) >= kBoundedOrders && BoundsOf(function, x, bounds);
  const long loss = OscillationLoss(function, x, last, bounded);
  for (long bits = accurate_bits + kKeptGuardBits + loss; bits <= kMaxTruthBits + loss; bits *= 2) {
    const long kept_bits = accurate_bits + kKeptGuardBits;
    std::vector<ArbBall> minimal, dominant;
    const long split = loss == 0 ? last : OscillatingOrders(function, x, last);
    const long quiet_bits = bits - loss;
    // The dominant solution first: the minimal one's bound needs its magnitudes.
    const OtherBound bounded_minimal{nullptr, bounds.minimal.get()},
        bounded_dominant{&dominant, nullptr};
    const Precisions precisions{quiet_bits, bits, kept_bits, split};
    if (!Recur(function, DominantOf(function), true, x, last, precisions,
               bounded ? &bounded_minimal : nullptr, bounds.c_low.get(), dominant, stop) ||
        !Recur(function, MinimalOf(function), false, x, last, precisions,
               bounded ? &bounded_dominant : nullptr, bounds.c_low.get(), minimal, stop)) {
      return false;
    }
    table.function = &function;
    table.bits = kept_bits;
    table.f = function.minimal ? std::move(minimal) : std::move(dominant);
    table.g = function.minimal ? std::move(dominant) : std::move(minimal);
    std::vector<size_t> wide;
    for (size_t m = 0; m < table.f.size(); ++m) {
      StopIfAsked(stop);
      if (arb_rel_accuracy_bits(table.f[m].get()) < accurate_bits ||
          arb_rel_accuracy_bits(table.g[m].get()) < accurate_bits) {
        wide.push_back(m);
      }
    }
    if (wide.size() > kMaxRefinedOrders) continue;
    for (const size_t m : wide) {
      StopIfAsked(stop);
      if (!RefineOrder(table, x, m, accurate_bits, true)) return false;
    }
    return true;
  }
  return false;
}

bool RefineOrder(BesselTable& table, mpfr_srcptr x, size_t m, long accurate_bits, bool companion) {
  const BesselFunction& function = *table.function;
  const long order = static_cast<long>(m);
  if (!SolutionValue(function.kind, false, order, x, accurate_bits, table.f[m])) return false;
  return !companion || SolutionValue(function.companion, function.companion_alternates, order, x,
                                     accurate_bits, table.g[m]);
}

bool BoundedOscillation(const BesselFunction& function, mpfr_srcptr x, long last, long bits,
                        BesselTable& table) {
  OscillationBounds bounds;
  if (last < 1 || !function.has_zeros || !BoundsOf(function, x, bounds)) return false;
  const Solution minimal = MinimalOf(function), dominant = DominantOf(function);
  std::vector<ArbBall> f(static_cast<size_t>(last) + 1), g(f.size());
  const OtherBound bounded_minimal{nullptr, bounds.minimal.get()}, bounded_dominant{&g, nullptr};
  if (!SolutionValue(dominant.kind, dominant.alternates, 0, x, bits, g[0]) ||
      !SolutionValue(dominant.kind, dominant.alternates, 1, x, bits, g[1]) ||
      !RecurBounded(function, x, 0, last, bits, bounded_minimal, bounds.c_low.get(), g, {}) ||
      !SolutionValue(minimal.kind, minimal.alternates, last, x, bits, f.back()) ||
      !SolutionValue(minimal.kind, minimal.alternates, last - 1, x, bits, f[f.size() - 2]) ||
      !RecurBounded(function, x, last, 0, bits, bounded_dominant, bounds.c_low.get(), f, {})) {
    return false;
  }
  table.function = &function;
  table.bits = bits;
  table.f = function.minimal ? std::move(f) : std::move(g);
  table.g = function.minimal ? std::move(g) : std::move(f);
  return true;
}

namespace {

double Log2Of(const ArbBall& ball) {
  MpfrNumber one(2);
  mpfr_set_ui(one.get(), 1, MPFR_RNDN);
  return Log2Ratio(Mid(ball).get(), one.get());
}

}  // namespace

std::optional<long> BackwardStart(const BesselFunction& function, mpfr_srcptr x, long last,
                                  long bits, const StopToken& stop) {
  // Ratios are all that is needed: 64 bits, g by its upward recurrence (stable there), f from
  // Arb at the few orders asked.
  constexpr long kWork = 64;
  const Normaliser normaliser = NormaliserOf(function);
  const Solution dominant = DominantOf(function);
  const ArbBall x_ball(x);
  ArbBall g_before, g, t, f, f_0, f_1;
  ArbBall g_sum;  // the normalisation's weights times |g|, up to g_n
  if (!SolutionValue(dominant.kind, dominant.alternates, 0, x, kWork, g_before) ||
      !SolutionValue(dominant.kind, dominant.alternates, 1, x, kWork, g) ||
      !DirectBessel(function.kind, 0, x, kWork, f_0) ||
      !DirectBessel(function.kind, 1, x, kWork, f_1)) {
    return std::nullopt;
  }
  arb_abs(g_sum.get(), g_before.get());
  if (normaliser == Normaliser::kWholeSum) {
    arb_abs(t.get(), g.get());
    arb_addmul_si(g_sum.get(), t.get(), 2, kWork);
  }
  // The spherical j's normaliser: |g_0| + |g_1| against the larger of |f_0|, |f_1|.
  ArbBall reference_ratio;
  arb_abs(t.get(), g_before.get());
  arb_abs(reference_ratio.get(), g.get());
  arb_add(reference_ratio.get(), reference_ratio.get(), t.get(), kWork);
  arb_abs(t.get(), f_0.get());
  arb_abs(f.get(), f_1.get());
  arb_max(t.get(), t.get(), f.get(), kWork);
  arb_div(reference_ratio.get(), reference_ratio.get(), t.get(), kWork);
  long n = 1;  // g holds g_n
  auto advance_to = [&](long order) {
    for (; n < order; ++n) {
      StopIfAsked(stop);
      StepUp(t.get(), function, n, x_ball, g.get(), g_before.get(), kWork);
      arb_swap(g_before.get(), g.get());
      arb_swap(g.get(), t.get());
      if ((normaliser == Normaliser::kEvenSum && (n + 1) % 2 == 0) ||
          normaliser == Normaliser::kWholeSum) {
        arb_abs(t.get(), g.get());
        arb_addmul_si(g_sum.get(), t.get(), 2, kWork);
      }
    }
  };
  advance_to(last);
  if (!DirectBessel(function.kind, last, x, kWork, f)) return std::nullopt;
  const double factor_at_last = std::max(0.0, Log2Ratio(Mid(g).get(), Mid(f).get()));
  // What the normalising sum adds up to: 1, or e^x.
  double log2_total = 0;
  if (normaliser == Normaliser::kWholeSum) log2_total = mpfr_get_d(x, MPFR_RNDN) / std::log(2.0);
  const long base = std::max(last, static_cast<long>(std::ceil(mpfr_get_d(x, MPFR_RNDU))));
  for (long step = 8;; step *= 2) {
    const long start = base + step;
    advance_to(start + 1);
    if (!DirectBessel(function.kind, start + 1, x, kWork, f)) return std::nullopt;
    if (arb_is_zero(f.get())) return start;  // nothing left beyond
    // With e = f_(N+1) / g_(N+1), the start gives f_m - e g_m; a normalising sum is short of
    // its tail (beyond N >= x + 8 each term falls by half at least, so the tail is below
    // 4 |f_(N+1)|) and off by e times the same sum of g, and a normalising value by e times
    // the companion's: each term kept below 2^-(bits + 2).
    const double log2_e = Log2Ratio(Mid(f).get(), Mid(g).get());
    double worst = log2_e + factor_at_last;
    if (normaliser != Normaliser::kFirstValue) {
      worst = std::max({worst, log2_e + Log2Of(g_sum) - log2_total, Log2Of(f) + 2 - log2_total});
    } else {
      worst = std::max(worst, log2_e + Log2Of(reference_ratio));
    }
    if (worst + 2 <= -static_cast<double>(bits)) return start;
  }
}

std::string BackwardStartRule(const BesselFunction& function) {
  const std::string f(function.letter), g(BesselFunctionOf(function.companion).letter);
  const std::string head =
      "the least N = max(M, ceil(x)) + 8 * 2^k at which |e| max(1, |" + g + "_M / " + f + "_M|)";
  const std::string tail = " are each at most 2^-(bits + 2), e = " + f + "_(N+1) / " + g +
                           "_(N+1)" + (function.companion_alternates ? " (signs aside)" : "");
  switch (NormaliserOf(function)) {
    case Normaliser::kEvenSum:
      return head + ", |e| (|Y_0| + 2 |Y_2| + ... + 2 |Y_N|) and 4 |J_(N+1)|" + tail;
    case Normaliser::kWholeSum:
      return head + ", |e| (|K_0| + 2 |K_1| + ... + 2 |K_N|) / e^x and 4 |I_(N+1)| / e^x" + tail;
    case Normaliser::kFirstValue:
      break;
  }
  return head + " and |e| (|" + g + "_0| + |" + g + "_1|) / max(|" + f + "_0|, |" + f + "_1|)" +
         tail;
}

ArbBall RelativeError(mpfr_srcptr computed, const ArbBall& truth) {
  const long bits = arb_bits(truth.get()) + kPartsGuardBits;
  ArbBall error(computed);
  if (mpfr_inf_p(computed)) {  // infinite, with the sign of computed / truth
    if ((mpfr_sgn(computed) > 0) == (arf_sgn(arb_midref(truth.get())) > 0)) {
      arb_pos_inf(error.get());
    } else {
      arb_neg_inf(error.get());
    }
    return error;
  }
  if (mpfr_nan_p(computed)) {
    arb_indeterminate(error.get());
    return error;
  }
  arb_sub(error.get(), error.get(), truth.get(), bits);
  arb_div(error.get(), error.get(), truth.get(), bits);
  return error;
}

namespace {

// The bits that hold every one of the values exactly, and their sums and differences.
mpfr_prec_t SpanningBits(std::initializer_list<mpfr_srcptr> values) {
  long high = LONG_MIN, low = LONG_MAX;
  for (mpfr_srcptr v : values) {
    if (!mpfr_regular_p(v)) continue;
    high = std::max(high, static_cast<long>(mpfr_get_exp(v)));
    low = std::min(low, static_cast<long>(mpfr_get_exp(v) - mpfr_get_prec(v)));
  }
  return high == LONG_MIN ? MPFR_PREC_MIN : static_cast<mpfr_prec_t>(high - low + 2);
}

}  // namespace

TruthRow::TruthRow(const BesselTable& truth, size_t m)
    : m(m), bits(BitsOf(truth, {m}) + kKeptGuardBits) {
  arb_div(g_over_f.get(), truth.g[m].get(), truth.f[m].get(), bits);
  UpperAbs(abs_f_up.get(), truth.f[m]);
  LowerAbs(abs_f_low.get(), truth.f[m]);
  UpperAbs(abs_g_up.get(), truth.g[m]);
}

// sum_k G(m, k) d_k = f_m P_m - g_m Q_m with P_m = sum_k d_k g_(k-1) / C_k and
// Q_m = sum_k d_k f_(k-1) / C_k: two running sums, no recurrence whose balls could widen;
// C_k = C_1 for t = -1, (-1)^(k-1) C_1 for t = +1.
RoundingPart::RoundingPart(const BesselTable& truth, mpfr_srcptr x)
    : truth_(truth),
      x_(x),
      bits_(truth.bits + kPartsGuardBits),
      x_ball_(x),
      inverse_c_(Casoratian(truth, bits_)) {
  arb_inv(inverse_c_.get(), inverse_c_.get(), bits_);
}

bool RoundingPart::Unrounded(size_t m, mpfr_srcptr c_m) {
  const BesselFunction& function = *truth_.function;
  const mpfr_prec_t x_bits = mpfr_get_prec(x_);
  MpfrNumber x_squared(2 * x_bits);
  mpfr_sqr(x_squared.get(), x_, MPFR_RNDN);
  for (; exact_at_ < m; ++exact_at_) {
    if (mpfr_get_prec(exact_.get()) > kMaxExactBits) return false;
    const long n_k = 2 * static_cast<long>(exact_at_) + function.offset;
    MpfrNumber product(mpfr_get_prec(exact_.get()) + kLongBits),
        carried(2 * x_bits + mpfr_get_prec(exact_before_.get()));
    mpfr_mul_si(product.get(), exact_.get(), function.factor_sign * n_k, MPFR_RNDN);
    mpfr_mul(carried.get(), x_squared.get(), exact_before_.get(), MPFR_RNDN);
    if (function.previous_sign < 0) mpfr_neg(carried.get(), carried.get(), MPFR_RNDN);
    MpfrNumber next(SpanningBits({product.get(), carried.get()}) + 2);
    mpfr_add(next.get(), product.get(), carried.get(), MPFR_RNDN);
    exact_before_ = exact_;
    exact_ = next;
    MpfrNumber power(mpfr_get_prec(x_power_.get()) + x_bits);
    mpfr_mul(power.get(), x_power_.get(), x_, MPFR_RNDN);
    x_power_ = power;
  }
  MpfrNumber scaled(mpfr_get_prec(x_power_.get()) + mpfr_get_prec(c_m));
  mpfr_mul(scaled.get(), x_power_.get(), c_m, MPFR_RNDN);
  return mpfr_equal_p(scaled.get(), exact_.get()) != 0;
}

ArbBall RoundingPart::Next(const TruthRow& row, mpfr_srcptr c_next, mpfr_srcptr c,
                           mpfr_srcptr c_before) {
  const BesselFunction& function = *truth_.function;
  const size_t m = m_++;
  // The exact recurrence's start: c_0, and x c_1, with x^1.
  if (m == 0) exact_before_ = MpfrNumber::Of(c_next);
  if (m == 1) {
    exact_ = MpfrNumber(mpfr_get_prec(x_) + mpfr_get_prec(c_next));
    mpfr_mul(exact_.get(), x_, c_next, MPFR_RNDN);
    x_power_ = MpfrNumber::Of(x_);
    exact_at_ = 1;
  }
  if (m >= 2 && finite_) {
    const size_t k = m - 1;
    finite_ = mpfr_number_p(c_next) && mpfr_number_p(c) && mpfr_number_p(c_before);
    if (finite_) {
      // The numerator x c_(k+1) - s n_k c_k - t x c_(k-1), exactly: each product in the bits
      // of its factors, the sum in the bits that span them.
      const mpfr_prec_t x_bits = mpfr_get_prec(x_);
      const long n_k = 2 * static_cast<long>(k) + function.offset;
      MpfrNumber a(x_bits + mpfr_get_prec(c_next)), b(mpfr_get_prec(c) + kLongBits),
          e(x_bits + mpfr_get_prec(c_before));
      mpfr_mul(a.get(), x_, c_next, MPFR_RNDN);
      mpfr_mul_si(b.get(), c, function.factor_sign * n_k, MPFR_RNDN);
      mpfr_mul(e.get(), x_, c_before, MPFR_RNDN);
      if (function.previous_sign > 0) mpfr_neg(e.get(), e.get(), MPFR_RNDN);
      MpfrNumber numerator(SpanningBits({a.get(), b.get(), e.get()}) + 2);
      mpfr_sub(numerator.get(), a.get(), b.get(), MPFR_RNDN);
      mpfr_add(numerator.get(), numerator.get(), e.get(), MPFR_RNDN);
      if (!mpfr_zero_p(numerator.get())) {  // a step that rounds nothing adds nothing
        arf_set_mpfr(arb_midref(d_.get()), numerator.get());
        mag_zero(arb_radref(d_.get()));
        arb_div(d_.get(), d_.get(), x_ball_.get(), bits_);  // d_m
        arb_mul(weight_.get(), d_.get(), inverse_c_.get(), bits_);
        if (function.previous_sign > 0 && k % 2 != 0) arb_neg(weight_.get(), weight_.get());
        arb_addmul(p_.get(), weight_.get(), truth_.g[k].get(), bits_);
        arb_addmul(q_.get(), weight_.get(), truth_.f[k].get(), bits_);
      }
    }
  }
  ArbBall r;
  if (!finite_) {
    arb_indeterminate(r.get());
  } else {  // P_m - (g_m / f_m) Q_m; an exact 0 where nothing was rounded
    arb_mul(r.get(), row.g_over_f.get(), q_.get(), bits_);
    arb_sub(r.get(), p_.get(), r.get(), bits_);
    if (m >= 2 && !arb_is_exact(r.get()) && arb_contains_zero(r.get()) && Unrounded(m, c_next)) {
      arb_zero(r.get());
    }
  }
  return r;
}

RoundingBound::RoundingBound(const BesselTable& truth, mpfr_srcptr x, int precision,
                             int min_exponent, int max_exponent)
    : truth_(truth), x_(x) {
  const auto up = MPFR_RNDU;
  mpfr_set_ui_2exp(u_.get(), 1, -precision, up);
  mpfr_add_ui(grown_.get(), u_.get(), 1, up);
  mpfr_sqr(grown_.get(), grown_.get(), up);  // (1 + u)^2
  mpfr_set_ui_2exp(half_subnormal_.get(), 1, min_exponent - precision, up);
  // 1 / |C|, from a lower bound of |C|.
  LowerAbs(inverse_c_.get(), Casoratian(truth, truth.bits + kBits));
  mpfr_ui_div(inverse_c_.get(), 1, inverse_c_.get(), up);  // infinite if |C| may be 0
  // The format's values lie below 2^(emax + 1).
  mpfr_set_ui_2exp(largest_.get(), 1, max_exponent + 1, MPFR_RNDD);
}

ShortNumber RoundingBound::Next(const TruthRow& row, const ArbBall& predicted) {
  const auto up = MPFR_RNDU;
  const size_t m = m_++;
  MPFR_DECL_INIT(relative, kBits);
  mpfr_set_inf(relative, 1);
  if (may_overflow_) return ShortNumber(relative);  // and so on to the end
  mpfr_srcptr f = row.abs_f_up.get(), g = row.abs_g_up.get();
  MPFR_DECL_INIT(w, kBits);  // |c_m| <= |f_m| + |seed part| + R_m, completed below
  MPFR_DECL_INIT(t, kBits);
  MPFR_DECL_INIT(r, kBits);
  UpperAbs(t, predicted);
  mpfr_mul(w, t, f, up);
  if (m >= 2) {
    // The step from c_k and c_(k-1) to c_m, k = m - 1: W_k is w_, W_(k-1) w_before_.
    const unsigned long k = m - 1;
    MPFR_DECL_INIT(factor, kBits);
    MPFR_DECL_INIT(big_f, kBits);
    MPFR_DECL_INIT(d, kBits);
    mpfr_ui_div(factor, 2 * k + truth_.function->offset, x_, up);
    mpfr_abs(factor, factor, up);
    mpfr_mul(big_f, factor, grown_.get(), up);
    mpfr_sub_ui(t, grown_.get(), 1, up);  // the factor's own rounding
    mpfr_mul(d, t, factor, up);
    mpfr_mul(d, d, w_.get(), up);
    mpfr_mul(t, u_.get(), big_f, up);  // the product's
    mpfr_mul(t, t, w_.get(), up);
    mpfr_add(d, d, t, up);
    // the sum's: |product| <= F W_k (1 + u)
    mpfr_mul(t, big_f, w_.get(), up);
    mpfr_add_ui(r, u_.get(), 1, up);
    mpfr_mul(t, t, r, up);
    mpfr_add(t, t, w_before_.get(), up);
    may_overflow_ = !mpfr_less_p(t, largest_.get()) || !mpfr_less_p(big_f, largest_.get());
    mpfr_mul(t, t, u_.get(), up);
    mpfr_add(d, d, t, up);
    mpfr_mul_ui(t, half_subnormal_.get(), 3, up);
    mpfr_add(d, d, t, up);
    // d_m enters with G(., m), which holds g_(m-1) and f_(m-1).
    mpfr_mul(t, d, abs_g_.get(), up);
    mpfr_add(sum_g_.get(), sum_g_.get(), t, up);
    mpfr_mul(t, d, abs_f_.get(), up);
    mpfr_add(sum_f_.get(), sum_f_.get(), t, up);
  }
  // R_m, and W_m = |f_m| + |seed part| + R_m.
  mpfr_mul(r, f, sum_g_.get(), up);
  mpfr_mul(t, g, sum_f_.get(), up);
  mpfr_add(r, r, t, up);
  mpfr_mul(r, r, inverse_c_.get(), up);
  mpfr_add(t, w, f, up);
  mpfr_add(t, t, r, up);
  mpfr_swap(w_before_.get(), w_.get());
  mpfr_set(w_.get(), t, up);  // exact: 64 bits
  mpfr_set(abs_f_.get(), f, up);
  mpfr_set(abs_g_.get(), g, up);
  mpfr_div(relative, r, row.abs_f_low.get(), up);  // against a lower bound of |f_m|
  if (may_overflow_) mpfr_set_inf(relative, 1);
  return ShortNumber(relative);
}

SeedsPart::SeedsPart(const BesselTable& truth, mpfr_srcptr seed_0, mpfr_srcptr seed_1)
    : bits_(truth.bits + kPartsGuardBits),  // the seeds' errors exactly
      ab_bits_(BitsOf(truth, {0, 1}) + kKeptGuardBits),
      seed_errors_{RelativeError(seed_0, truth.f[0]), RelativeError(seed_1, truth.f[1])} {
  const auto& f = truth.f;
  const auto& g = truth.g;
  ArbBall e0(seed_0), e1(seed_1), det = Casoratian(truth, bits_), t;
  arb_neg(det.get(), det.get());  // f_0 g_1 - f_1 g_0
  arb_sub(e0.get(), e0.get(), f[0].get(), bits_);
  arb_sub(e1.get(), e1.get(), f[1].get(), bits_);
  arb_mul(a_.get(), e0.get(), g[1].get(), bits_);  // A = (e_0 g_1 - e_1 g_0) / det
  arb_mul(t.get(), e1.get(), g[0].get(), bits_);
  arb_sub(a_.get(), a_.get(), t.get(), bits_);
  arb_div(a_.get(), a_.get(), det.get(), bits_);
  arb_mul(b_.get(), f[0].get(), e1.get(), bits_);  // B = (f_0 e_1 - f_1 e_0) / det
  arb_mul(t.get(), f[1].get(), e0.get(), bits_);
  arb_sub(b_.get(), b_.get(), t.get(), bits_);
  arb_div(b_.get(), b_.get(), det.get(), bits_);
  arb_set_round(a_.get(), a_.get(), ab_bits_);
  arb_set_round(b_.get(), b_.get(), ab_bits_);
}

ArbBall SeedsPart::At(const TruthRow& row) const {
  if (row.m < 2) return seed_errors_[row.m];
  ArbBall p;  // A + B g_m / f_m
  const long bits = std::max(row.bits, ab_bits_);
  arb_mul(p.get(), row.g_over_f.get(), b_.get(), bits);
  arb_add(p.get(), p.get(), a_.get(), bits);
  return p;
}

std::vector<ArbBall> PredictedRelativeErrors(const BesselTable& truth, mpfr_srcptr seed_0,
                                             mpfr_srcptr seed_1) {
  const SeedsPart part(truth, seed_0, seed_1);
  std::vector<ArbBall> predicted;
  predicted.reserve(truth.f.size());
  for (size_t m = 0; m < truth.f.size(); ++m) predicted.push_back(part.At(TruthRow(truth, m)));
  return predicted;
}
