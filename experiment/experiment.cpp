// The experiment itself: seeds, forward recurrence, errors measured and predicted, backward
// recurrence with rescaling, every printed digit proven by the truth's balls.
#include "experiment/experiment.hpp"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <optional>
#include <set>
#include <stdexcept>
#include <string_view>

#include "numeric/exponent_text.hpp"

namespace {

// Enough for x up to 10000 (the terms peak near k = x / 2 and fall fast from about 1.4 x on),
// and small enough that (k + 1) (k + 2) is a 32-bit integer.
constexpr long kMaxSeriesTerms = 40000;

// 2^e scaled into the value, rounded once in its format.
IeeeNumber Scaled(const IeeeNumber& a, long e) {
  IeeeNumber r(a);
  r.Set([&](mpfr_ptr v) { return mpfr_mul_2si(v, a.get(), e, MPFR_RNDN); });
  return r;
}

// The factor of one step, n_m / x, rounded once in the arithmetic format (n_m = 2m + offset,
// itself rounded to the format first).
IeeeNumber StepFactor(const BesselFunction& function, long m, const IeeeNumber& x) {
  return IeeeNumber(x.format(), 2 * m + function.offset) / x;
}

// The backward step of the same recurrence, f_(m-1) = -t s (n_m / x) f_m + t f_(m+1), for a
// product p = (n_m / x) f_m: p - f_(m+1) for J, Y, j and y, p + f_(m+1) for I, f_(m+1) - p for K.
IeeeNumber CombineBackward(const BesselFunction& function, const IeeeNumber& product,
                           const IeeeNumber& above) {
  if (function.previous_sign < 0) return product - above;
  return function.factor_sign < 0 ? product + above : above - product;
}

// The dominant functions' backward recurrence, their unstable direction: from f_last and
// f_(last-1) (rounded to the format) down to f_0, each operation rounded as forwards.
std::vector<IeeeNumber> UnstableBackward(const BesselFunction& function, const IeeeNumber& x,
                                         const IeeeNumber& f_last, const IeeeNumber& f_before,
                                         long last, const StopToken& stop) {
  std::vector<IeeeNumber> f(static_cast<size_t>(last) + 1, f_last);
  f[static_cast<size_t>(last) - 1] = f_before;
  for (long m = last - 1; m >= 1; --m) {
    StopIfAsked(stop);
    const size_t i = static_cast<size_t>(m);
    f[i - 1] = CombineBackward(function, StepFactor(function, m, x) * f[i], f[i + 1]);
  }
  return f;
}

// |v| < 2^Exponent(v); 0 gives the least exponent, so that it never asks for a rescaling.
long Exponent(const IeeeNumber& v) {
  return mpfr_regular_p(v.get()) ? static_cast<long>(mpfr_get_exp(v.get())) : LONG_MIN / 2;
}

// The step factor n_m / x as the pair (factor, lift), worth factor * 2^lift: n_m rounded to the
// format's precision (not to its range: binary16 holds no 2m beyond 65504, yet 2m / x may lie
// well within it), scaled by 2^-lift, divided by x and rounded once. Where n_m / x lies within
// the format's range, lift is 0 and the factor is StepFactor's wherever n_m is a value of the
// format; beyond it, lift is the least multiple of `step` that brings it back, with the same
// significand.
IeeeNumber LiftedStepFactor(const BesselFunction& function, long m, const IeeeNumber& x, long step,
                            long& lift) {
  const IeeeFormat& format = x.format();
  MpfrNumber two_m(format.precision);
  mpfr_set_si(two_m.get(), 2 * m + function.offset, MPFR_RNDN);
  IeeeNumber factor(format);
  for (lift = 0;; lift += step) {
    factor.Set([&](mpfr_ptr v) {
      mpfr_mul_2si(v, two_m.get(), -lift, MPFR_RNDN);  // exact
      return mpfr_div(v, v, x.get(), MPFR_RNDN);
    });
    if (mpfr_number_p(factor.get())) return factor;
  }
}

// How far to scale b_m down, as a multiple of 2^-step (0: not at all), so that the next step,
// factor * b_m - b_(m+1) (the values in use and the sum scaled down by 2^-lift besides) stays
// finite, and so does the sum after it: each of them stays below 2^(emax - 1). While the factor
// is small that is whenever b_m passes 2^step; a factor beyond 2^(emax / 2) asks for more.
long RescalingFor(const IeeeNumber& here, const IeeeNumber& sum, const IeeeNumber& factor,
                  long lift, long step) {
  const long emax = factor.format().max_exponent;
  const long here_limit = std::min(step, emax - 1 - Exponent(factor));
  const long excess = std::max(Exponent(here) - here_limit, Exponent(sum) - lift - (emax - 2));
  if (excess <= 0) return 0;
  return step * ((excess + step - 1) / step);
}

// j_0(x) = sin(x) / x, or j_1(x) = (j_0(x) - cos(x)) / x, in x's format: what Miller's values
// for j are normalised to.
IeeeNumber SphericalJ(const IeeeNumber& x, size_t n) {
  const IeeeFormat& format = x.format();
  IeeeNumber sine(format), cosine(format);
  sine.Set([&](mpfr_ptr v) { return mpfr_sin(v, x.get(), MPFR_RNDN); });
  cosine.Set([&](mpfr_ptr v) { return mpfr_cos(v, x.get(), MPFR_RNDN); });
  const IeeeNumber j_0 = sine / x;
  return n == 0 ? j_0 : (j_0 - cosine) / x;
}

// Miller's algorithm in the arithmetic format, for a minimal function: b_(N+1) = 0, b_N = 1,
// b_(m-1) = (n_m / x) b_m -+ b_(m+1) (the recurrence's backward step), each operation rounded;
// then f_m = b_m / S with S = b_0 + 2 (b_2 + b_4 + ...) for J, f_m = b_m (e^x / S) with
// S = b_0 + 2 (b_1 + b_2 + ...) for I, f_m = b_m (j_r / b_r) for j (r = 0 or 1, whichever b is
// the larger; j_r computed in the format from MPFR's correctly rounded sin x and cos x). e^x,
// and the ratio, are rounded to the format's precision in a range wide enough to hold them, the
// result once more into the format. The values grow without bound as m falls: before a step that
// could overflow, the two in use and the running sum are scaled down by a power of 2^-(emax / 2),
// and so is a factor n_m / x beyond the format's range: exactly, but for what falls below the
// format's range, by then too small beside b_m to matter. Every value stored keeps the scaling
// that came before it, and is scaled back at the end, in the one rounding of its result. So no
// value overflows, whatever x and N.
std::vector<IeeeNumber> Backward(const BesselFunction& function, const IeeeNumber& x, long last,
                                 long start, const StopToken& stop) {
  const IeeeFormat& format = x.format();
  const Normaliser normaliser = NormaliserOf(function);
  const long step = format.max_exponent / 2;
  IeeeNumber above(format), here(format, 1L), sum(format);
  std::vector<IeeeNumber> stored(static_cast<size_t>(last) + 1, here);
  std::vector<long> shift_at(static_cast<size_t>(last) + 1, 0);
  long shift = 0;  // the scaling so far: the values in use are the true ones times 2^-shift
  for (long m = start; m >= 0; --m) {
    StopIfAsked(stop);
    if (m <= last) {
      stored[static_cast<size_t>(m)] = here;
      shift_at[static_cast<size_t>(m)] = shift;
    }
    if ((normaliser == Normaliser::kEvenSum && m % 2 == 0) || normaliser == Normaliser::kWholeSum) {
      sum = sum + (m == 0 ? here : here + here);
    }
    if (m == 0) break;
    long lift = 0;
    const IeeeNumber factor = LiftedStepFactor(function, m, x, step, lift);
    const long down = RescalingFor(here, sum, factor, lift, step);
    // (factor 2^lift) b_m -+ b_(m+1), all of it scaled by 2^-(lift + down).
    IeeeNumber below =
        CombineBackward(function, factor * Scaled(here, -down), Scaled(above, -(lift + down)));
    if (lift + down > 0) {
      above = Scaled(here, -(lift + down));
      sum = Scaled(sum, -(lift + down));
      shift += lift + down;
    } else {
      above = here;
    }
    here = below;
  }
  // The factor every stored value is multiplied by (J: divided by), at the format's precision,
  // and the scaling it carries.
  MpfrNumber ratio(format.precision);
  long ratio_shift = shift;
  if (normaliser == Normaliser::kWholeSum) {
    MpfrNumber exp_x(format.precision);
    mpfr_exp(exp_x.get(), x.get(), MPFR_RNDN);
    mpfr_div(ratio.get(), exp_x.get(), sum.get(), MPFR_RNDN);
  } else if (normaliser == Normaliser::kFirstValue) {
    // The larger of b_0 and b_1, by their true sizes.
    const size_t r =
        last >= 1 && (Exponent(stored[1]) + shift_at[1] > Exponent(stored[0]) + shift_at[0]) ? 1
                                                                                             : 0;
    mpfr_div(ratio.get(), SphericalJ(x, r).get(), stored[r].get(), MPFR_RNDN);
    ratio_shift = shift_at[r];
  }
  std::vector<IeeeNumber> f;
  for (size_t m = 0; m < stored.size(); ++m) {
    IeeeNumber value(format);
    // The result rounded once, at the format's precision in MPFR's wide range, and brought
    // onto the format's grid with its ternary value: a result below the normal range is not
    // rounded twice.
    value.Set([&](mpfr_ptr v) {
      const int ternary = normaliser == Normaliser::kEvenSum
                              ? mpfr_div(v, stored[m].get(), sum.get(), MPFR_RNDN)
                              : mpfr_mul(v, stored[m].get(), ratio.get(), MPFR_RNDN);
      mpfr_mul_2si(v, v, -(ratio_shift - shift_at[m]), MPFR_RNDN);
      return ternary;
    });
    f.push_back(value);
  }
  return f;
}

// Whether x >= j_(nu,1), the first zero of J_nu (J_nu is positive before it), nu = m for J and
// m + 1/2 for j (j_m has J_(m+1/2)'s zeros). For nu > 0 it lies in nu + 1.8557571 nu^(1/3) +
// (0, 1.0332 nu^(-1/3)) (Qu and Wong, 1999), so below that band x is before it and past the
// band beyond it; within the band, which holds no other zero (zeros lie at least pi apart for
// nu >= 1/2), the sign of f_m(x) tells.
bool PastFirstZero(double nu, mpfr_srcptr x, mpfr_srcptr f_m) {
  constexpr double kFirstZeroOfJ0 = 2.404825557695773;
  const double low = nu == 0 ? kFirstZeroOfJ0 : nu + 1.8557571 * std::cbrt(nu);
  const double high = nu == 0 ? kFirstZeroOfJ0 : low + 1.0332 / std::cbrt(nu);
  if (mpfr_cmp_d(x, low - 1e-6) < 0) return false;
  if (mpfr_cmp_d(x, high + 1e-6) > 0) return true;
  return mpfr_sgn(f_m) <= 0;
}

}  // namespace

IeeeNumber StepSum(const BesselFunction& function, const IeeeNumber& product,
                   const IeeeNumber& f_before) {
  if (function.factor_sign > 0) {
    return function.previous_sign < 0 ? product - f_before : product + f_before;
  }
  return f_before - product;  // s = -1, t = +1 (I)
}

IeeeNumber ForwardStep(const BesselFunction& function, long m, const IeeeNumber& x,
                       const IeeeNumber& f_m, const IeeeNumber& f_before) {
  if (mpfr_nan_p(f_m.get()) || mpfr_nan_p(f_before.get())) {  // as every operation gives it
    MPFR_DECL_INIT(nan, MPFR_PREC_MIN);
    mpfr_set_nan(nan);
    return IeeeNumber(x.format(), nan);
  }
  return StepSum(function, StepFactor(function, m, x) * f_m, f_before);
}

std::string_view MillerNormalisation(const BesselFunction& function) {
  switch (NormaliserOf(function)) {
    case Normaliser::kEvenSum:
      return "J_0 + 2 (J_2 + J_4 + ...) = 1";
    case Normaliser::kWholeSum:
      return "I_0 + 2 (I_1 + I_2 + ...) = e^x";
    case Normaliser::kFirstValue:
      break;
  }
  return "j_0 = sin(x) / x, or j_1 = (sin(x) / x - cos(x)) / x where the recurrence makes it "
         "the larger";
}

std::string_view SeedKindName(SeedKind kind) {
  return kind == SeedKind::kRounded ? "rounded" : "series";
}

std::string_view DominantName(Dominant dominant) {
  return dominant == Dominant::kPredicted  ? "predicted"
         : dominant == Dominant::kRounding ? "rounding"
                                           : "";
}

bool HasSeries(const BesselFunction& function) {
  return function.minimal;
}

bool Overflowed(const Outcome& outcome, size_t m) {
  return std::any_of(outcome.columns.begin(), outcome.columns.end(),
                     [m](const SeedColumn& column) { return !column.measured[m].finite(); });
}

Summary Summarize(const Outcome& outcome) {
  Summary summary;
  const size_t last = outcome.backward.size() - 1;
  const BesselTable& truth = outcome.truth;
  for (const SeedColumn& column : outcome.columns) summary.columns.push_back(column.summary);
  const IeeeFormat& format = outcome.x.format();
  MpfrNumber error(truth.bits + 64);
  for (size_t m = 0; m <= last; ++m) {
    if (outcome.near_zero[m] || outcome.below_range[m]) continue;
    // |computed - f_m| in units of the last place where f_m lies: ulp(f_m) = 2^(e - p) for
    // 2^(e-1) <= |f_m| < 2^e, and 2^(emin - p + 1) throughout the subnormals.
    const MpfrNumber f_m = Mid(truth.f[m]);
    mpfr_mul(error.get(), outcome.backward[m].get(), f_m.get(), MPFR_RNDN);
    const long place = std::max(static_cast<long>(mpfr_get_exp(f_m.get())),
                                static_cast<long>(format.min_exponent) + 1) -
                       format.precision;
    mpfr_mul_2si(error.get(), error.get(), -place, MPFR_RNDN);
    // Its magnitude; a value that overflowed (an infinite or NaN error) counts as infinitely many.
    mpfr_abs(error.get(), error.get(), MPFR_RNDN);
    if (mpfr_nan_p(error.get())) mpfr_set_inf(error.get(), 1);
    const ShortNumber ulps(error.get());
    if (summary.backward_worst_at < 0 ||
        mpfr_greater_p(ulps.get(), summary.backward_largest_ulps.get())) {
      summary.backward_largest_ulps = ulps;
      summary.backward_ulps = mpfr_get_d(error.get(), MPFR_RNDN);
      summary.backward_worst_at = static_cast<long>(m);
    }
  }
  return summary;
}

XReading ReadX(const std::string& text, const IeeeFormat& format, IeeeNumber& x) {
  // Only the number: no white space of any kind (MPFR would skip it), no control byte.
  if (text.empty()) return XReading::kNotInRange;
  for (const char c : text) {
    if (static_cast<unsigned char>(c) <= ' ' || c == 0x7f) return XReading::kNotInRange;
  }
  // The exact value's place: rounded up in MPFR's vast exponent range, it stays above 0 and
  // reaches 10000 only when the value itself does.
  char* end = nullptr;
  MpfrNumber above(64);
  mpfr_strtofr(above.get(), text.c_str(), &end, 10, MPFR_RNDU);
  if (*end != '\0' || !mpfr_number_p(above.get()) || mpfr_sgn(above.get()) <= 0 ||
      mpfr_cmp_ui(above.get(), 10000) > 0) {
    return XReading::kNotInRange;
  }
  // Read straight at the format's precision, then given its range and subnormal grid with the
  // ternary value: rounded once.
  x = IeeeNumber(format);
  x.Set([&](mpfr_ptr v) { return mpfr_strtofr(v, text.c_str(), nullptr, 10, MPFR_RNDN); });
  return mpfr_sgn(x.get()) > 0 && mpfr_cmp_ui(x.get(), 10000) <= 0 ? XReading::kValid
                                                                   : XReading::kRoundsOutOfRange;
}

SeriesSum SeriesSeed(const BesselFunction& function, const IeeeNumber& x, int n) {
  const IeeeFormat& format = x.format();
  IeeeNumber term(format), ratio(format);
  if (function.kind == BesselKind::kSphericalJ) {
    ratio = -((x * x) / IeeeNumber(format, 2L));
    term = n == 0 ? IeeeNumber(format, 1L) : x / IeeeNumber(format, 3L);
  } else {
    const IeeeNumber h = x / IeeeNumber(format, 2L);
    ratio = function.kind == BesselKind::kI ? h * h : -(h * h);
    term = n == 0 ? IeeeNumber(format, 1L) : h;
  }
  SeriesSum series{term, term};
  for (long k = 0; k < kMaxSeriesTerms; ++k) {
    const long divisor = function.kind == BesselKind::kSphericalJ ? (k + 1) * (2 * n + 2 * k + 3)
                                                                  : (k + 1) * (k + 1 + n);
    term = term * ratio / IeeeNumber(format, divisor);
    if (mpfr_cmpabs(term.get(), series.largest_term.get()) > 0) series.largest_term = term;
    const IeeeNumber next = series.sum + term;
    const bool changed = !(next == series.sum);
    series.sum = next;
    if (!changed || !mpfr_number_p(series.sum.get())) break;
  }
  if (mpfr_sgn(series.largest_term.get()) < 0) series.largest_term = -series.largest_term;
  return series;
}

namespace {

// What is computed in the formats before anything is measured: the seeds (rounded ones are
// rounded from the truth, and proven to be the correctly rounded ones) and the backward
// recurrence. Each column's forward recurrence is run as it is measured, and dropped after.
struct Computed {
  std::vector<SeedColumn> columns;  // seeds, starts and largest terms; no errors yet
  std::vector<IeeeNumber> backward;
};

Computed ComputeInFormats(const Experiment& experiment, const IeeeNumber& x,
                          const BesselTable& truth, long backward_start, const StopToken& stop) {
  const BesselFunction& function = *experiment.function;
  const IeeeFormat& arithmetic = x.format();
  Computed computed;
  for (const IeeeFormat* format : experiment.seed_formats) {
    // A rounded seed has no terms: its largest term is 0.
    const auto seed = [&](int n) {
      return experiment.seeds == SeedKind::kRounded
                 ? SeriesSum{IeeeNumber(*format, Mid(truth.f[n]).get()), IeeeNumber(*format)}
                 : SeriesSeed(function, IeeeNumber(*format, x), n);
    };
    const SeriesSum seed_0 = seed(0), seed_1 = seed(1);
    computed.columns.push_back(SeedColumn{.format = format,
                                          .seed_0 = seed_0.sum,
                                          .seed_1 = seed_1.sum,
                                          .start_0 = IeeeNumber(arithmetic, seed_0.sum),
                                          .start_1 = IeeeNumber(arithmetic, seed_1.sum),
                                          .largest_term_0 = seed_0.largest_term,
                                          .largest_term_1 = seed_1.largest_term});
  }
  if (!experiment.given.empty()) {
    const IeeeNumber &given_0 = experiment.given[0], &given_1 = experiment.given[1];
    computed.columns.push_back(SeedColumn{.format = &arithmetic,
                                          .seed_0 = given_0,
                                          .seed_1 = given_1,
                                          .start_0 = given_0,
                                          .start_1 = given_1,
                                          .largest_term_0 = IeeeNumber(arithmetic),
                                          .largest_term_1 = IeeeNumber(arithmetic),
                                          .given = true});
  }
  if (function.minimal) {
    computed.backward = Backward(function, x, experiment.orders, backward_start, stop);
  } else {
    const size_t last = static_cast<size_t>(experiment.orders);
    computed.backward = UnstableBackward(
        function, x, IeeeNumber(arithmetic, Mid(truth.f[last]).get()),
        IeeeNumber(arithmetic, Mid(truth.f[last - 1]).get()), experiment.orders, stop);
  }
  return computed;
}

// The digits a ball is printed with, for certain: both its ends print them; none where they do
// not.
using DecidedDigits = std::optional<PrintedNumber>;
DecidedDigits SevenDigits(const ArbBall& ball) {
  return DecidedNumber(ball, 7);
}

// Whether a ball gives its printed digits for certain: it has them, or it holds an infinity or
// NaN, which only a value computed in a format that overflowed brings (the truth's balls are
// never wide enough to hold 0).
bool Settled(const ArbBall& ball, const DecidedDigits& digits) {
  return !arf_is_finite(arb_midref(ball.get())) || digits.has_value();
}

// The value kept of a settled ball: its midpoint rounded to 64 bits, enough for every ratio
// taken of it, and rounded towards the midpoint's side of a rounding boundary of its digits where
// the nearest value lies on the other (the boundaries lie 10^-7 apart, so one of the two
// directions stays on the midpoint's side).
ShortNumber Kept(const ArbBall& ball, const DecidedDigits& digits) {
  MPFR_DECL_INIT(mid, ShortNumber::kBits);
  for (const mpfr_rnd_t rounding : {MPFR_RNDN, MPFR_RNDZ, MPFR_RNDA}) {
    arf_get_mpfr(mid, arb_midref(ball.get()), rounding);
    if (!digits || ExponentText(mid, 7) == digits->Text()) return ShortNumber(mid);
  }
  // Cannot be: the digits' boundaries lie too far apart.
  throw std::logic_error("no value of 64 bits on the midpoint's side of " + digits->Text());
}

// A ball as it prints: its digits, or, where its ends print different ones or it holds an
// infinity or NaN, its midpoint's.
PrintedNumber Printed(const ArbBall& ball, const DecidedDigits& digits) {
  return digits ? *digits : PrintedNumber(MidpointText(ball, 7));
}

// A bound as it prints, rounded up to 3 digits.
PrintedNumber PrintedBound(const ShortNumber& bound) {
  return PrintedOf(bound.get(), 3, DigitRounding::kUp);
}

// What the summary says of a seed format's column, from the 64-bit values of its errors at the
// last two orders (M - 1, M) and the first order where every digit is lost.
ColumnSummary SummarizeColumn(const BesselTable& truth, long every_digit_lost_at,
                              const ShortNumber (&measured)[2], const ShortNumber (&predicted)[2],
                              const ShortNumber& rounding) {
  const auto log10_ratio = [](mpfr_srcptr a, mpfr_srcptr b) {
    return Log2Ratio(a, b) * std::log10(2.0);
  };
  const size_t last = truth.f.size() - 1;
  ColumnSummary said;
  said.every_digit_lost_at = every_digit_lost_at;
  said.digits_per_step = std::nan("");
  said.theory_digits_per_step = std::nan("");
  if (last >= 2) {  // a step of the recurrence's own: e_0 and e_1 are the seeds'
    said.digits_per_step = log10_ratio(measured[1].get(), measured[0].get());
    said.theory_digits_per_step =
        truth.function->minimal
            ? log10_ratio(Mid(truth.g[last]).get(), Mid(truth.f[last]).get()) -
                  log10_ratio(Mid(truth.g[last - 1]).get(), Mid(truth.f[last - 1]).get())
            : log10_ratio(predicted[1].get(), predicted[0].get());
  }
  const ShortNumber::View seeds = predicted[1].get(), rounded = rounding.get();
  said.dominant = !mpfr_number_p(seeds) || !mpfr_number_p(rounded) ? Dominant::kUndetermined
                  : mpfr_cmpabs(seeds, rounded) >= 0               ? Dominant::kPredicted
                                                                   : Dominant::kRounding;
  return said;
}

// The orders whose truth is not yet narrow enough for what was measured against it: the
// measured errors hang on f_m; the seeds' errors, and through them every prediction, on f_0
// and f_1; a prediction also on f_m and g_m (`with_companion`); the rounding part on the whole
// recurrence that carries it (`whole`: the table at a higher precision).
struct Imprecise {
  std::set<size_t> orders;
  std::set<size_t> with_companion;
  bool whole = false;
};

// A ball's digits, for certain (none where its ends print different ones), noting in
// `imprecise` the orders it hangs on where they are not yet certain (with their companion's too
// where `companion`).
DecidedDigits DigitsNoting(const ArbBall& ball, std::initializer_list<size_t> orders,
                           Imprecise& imprecise, bool companion = false) {
  DecidedDigits digits = SevenDigits(ball);
  if (!Settled(ball, digits)) {
    for (const size_t m : orders) {
      imprecise.orders.insert(m);
      if (companion) imprecise.with_companion.insert(m);
    }
  }
  return digits;
}

// The relative error of `value` against f_n, kept as a 64-bit number in `kept`; whether its
// digits were certain.
bool KeepError(const IeeeNumber& value, const BesselTable& truth, size_t n, Imprecise& imprecise,
               ShortNumber& kept, PrintedNumber* printed = nullptr) {
  const ArbBall error = RelativeError(value.get(), truth.f[n]);
  const DecidedDigits digits = DigitsNoting(error, {n}, imprecise);
  kept = Kept(error, digits);
  if (printed != nullptr) *printed = Printed(error, digits);
  return Settled(error, digits);
}

// f_m(x) as printed, for certain: its text added to `texts` (its midpoint's where its ends
// print different digits, and the order noted in `imprecise`).
void NoteTruthText(const BesselTable& truth, size_t m, TextColumn& texts, Imprecise& imprecise) {
  std::string digits = Decided(truth.f[m], kTruthDigits);
  if (digits.empty()) {
    imprecise.orders.insert(m);
    digits = MidpointText(truth.f[m], kTruthDigits);
  }
  texts.Add(digits);
}

// The backward recurrence's errors as kept and as printed, each order's truth needing its 17
// printed digits too.
void MeasureBackward(const BesselTable& truth, const std::vector<IeeeNumber>& backward,
                     Outcome& outcome, Imprecise& imprecise, const StopToken& stop) {
  outcome.backward.assign(backward.size(), ShortNumber());
  outcome.backward_text.assign(backward.size(), PrintedNumber());
  outcome.truth_text = TextColumn();
  for (size_t m = 0; m < backward.size(); ++m) {
    StopIfAsked(stop);
    KeepError(backward[m], truth, m, imprecise, outcome.backward[m], &outcome.backward_text[m]);
    NoteTruthText(truth, m, outcome.truth_text, imprecise);
  }
}

// The seeds' and the starts' errors of a column; whether all four were certain, on which every
// prediction hangs.
bool MeasureSeeds(const BesselTable& truth, SeedColumn& column, Imprecise& imprecise) {
  const bool seed_0 = KeepError(column.seed_0, truth, 0, imprecise, column.seed_0_error);
  const bool seed_1 = KeepError(column.seed_1, truth, 1, imprecise, column.seed_1_error);
  const bool start_0 = KeepError(column.start_0, truth, 0, imprecise, column.start_0_error);
  const bool start_1 = KeepError(column.start_1, truth, 1, imprecise, column.start_1_error);
  return seed_0 && seed_1 && start_0 && start_1;
}

// Whether a measured error has lost every digit, |measured| >= 1: as its 64-bit value says where
// the printed one lies near 1.
bool EveryDigitLost(const ArbBall& measured, const DecidedDigits& digits,
                    const PrintedNumber& printed) {
  if (printed.regular() && (printed.exponent() == -1 || printed.exponent() == 0)) {
    return mpfr_cmpabs_ui(Kept(measured, digits).get(), 1) >= 0;
  }
  return !printed.finite() || (printed.regular() && printed.exponent() >= 0);
}

// One seed format's forward recurrence, run as it is measured, one order at a time, its parts
// (the seeds', the rounding's and its bound) following it order by order: the column's errors
// and its summary, and what their balls leave undecided. Nothing of the column but its errors
// is kept. Where values are `given`, they are measured in the recurrence's place. `Next` takes
// the truth's rows m = 0, 1, ... in turn; `Summarize` ends the column.
class ColumnMeasure {
 public:
  ColumnMeasure(const BesselTable& truth, const IeeeNumber& x, bool seeds_settled,
                const std::vector<IeeeNumber>* given, SeedColumn& column)
      : truth_(truth),
        seeds_settled_(seeds_settled),
        given_(given),
        column_(column),
        seeds_(truth, column.start_0.get(), column.start_1.get()),
        rounding_part_(truth, x.get()),
        bound_(truth, x.get(), x.format().precision, x.format().min_exponent,
               x.format().max_exponent),
        forward_(*truth.function, x, column),
        zero_(x.format()) {
    for (auto* part :
         {&column.measured, &column.predicted, &column.rounding, &column.rounding_bound}) {
      part->reserve(truth.f.size());
    }
  }

  void Next(const TruthRow& row, Imprecise& imprecise) {
    const size_t m = row.m, last = truth_.f.size() - 1;
    SeedColumn& column = column_;
    const IeeeNumber& c = given_ ? (*given_)[m] : forward_.Next();
    const ArbBall measured = RelativeError(c.get(), truth_.f[m]);
    const DecidedDigits measured_digits = DigitsNoting(measured, {m}, imprecise);
    column.measured.push_back(Printed(measured, measured_digits));
    // f_0 and f_1 first; f_m and g_m once the seeds' errors are settled.
    const ArbBall predicted = seeds_.At(row);
    const DecidedDigits predicted_digits = seeds_settled_
                                               ? DigitsNoting(predicted, {0, 1, m}, imprecise, true)
                                               : DigitsNoting(predicted, {0, 1}, imprecise);
    column.predicted.push_back(Printed(predicted, predicted_digits));
    column.rounding_bound.push_back(PrintedBound(bound_.Next(row, predicted)));
    const ArbBall rounding =
        rounding_part_.Next(row, c.get(), Before(m, 1).get(), Before(m, 2).get());
    const DecidedDigits rounding_digits = SevenDigits(rounding);
    if (!Settled(rounding, rounding_digits)) imprecise.whole = true;
    column.rounding.push_back(Printed(rounding, rounding_digits));
    if (lost_at_ < 0 && EveryDigitLost(measured, measured_digits, column.measured.back())) {
      lost_at_ = static_cast<long>(m);
    }
    if (m + 1 >= last) {
      const size_t end = m + 1 - last;
      measured_end_[end] = Kept(measured, measured_digits);
      predicted_end_[end] = Kept(predicted, predicted_digits);
      rounding_end_ = Kept(rounding, rounding_digits);
    }
  }

  void Summarize() {
    column_.summary =
        SummarizeColumn(truth_, lost_at_, measured_end_, predicted_end_, rounding_end_);
  }

 private:
  // c_(m-k): the recurrence's, or the given values' (0 before c_0, where no step reads it).
  const IeeeNumber& Before(size_t m, size_t k) const {
    return !given_ ? forward_.Before(k) : m >= k ? (*given_)[m - k] : zero_;
  }

  const BesselTable& truth_;
  bool seeds_settled_;
  const std::vector<IeeeNumber>* given_;
  SeedColumn& column_;
  SeedsPart seeds_;
  RoundingPart rounding_part_;
  RoundingBound bound_;
  ForwardRecurrence forward_;
  IeeeNumber zero_;
  long lost_at_ = -1;
  ShortNumber measured_end_[2], predicted_end_[2], rounding_end_;  // at M - 1 and M
};

// The errors of the computed values against `truth`, into `outcome`'s columns and backward
// errors, and what their balls leave undecided. The columns are measured together, order by
// order, so that what they take of the truth at each order is computed once.
Imprecise MeasureAgainst(const BesselTable& truth, Computed&& computed,
                         const std::vector<IeeeNumber>& given, Outcome& outcome,
                         const StopToken& stop) {
  Imprecise imprecise;
  // The backward recurrence first, whose values are then given back.
  MeasureBackward(truth, computed.backward, outcome, imprecise, stop);
  std::vector<IeeeNumber>().swap(computed.backward);
  outcome.columns = std::move(computed.columns);
  std::vector<ColumnMeasure> columns;
  columns.reserve(outcome.columns.size());
  for (SeedColumn& column : outcome.columns) {
    const bool seeds_settled = MeasureSeeds(truth, column, imprecise);
    columns.emplace_back(truth, outcome.x, seeds_settled, column.given ? &given : nullptr, column);
  }
  for (size_t m = 0; m < truth.f.size(); ++m) {
    StopIfAsked(stop);
    const TruthRow row(truth, m);
    for (ColumnMeasure& column : columns) column.Next(row, imprecise);
  }
  for (ColumnMeasure& column : columns) column.Summarize();
  return imprecise;
}

// Whether both ends of the ball round to the same value of `format`.
bool RoundsAlike(const ArbBall& ball, const IeeeFormat& format) {
  const mpfr_prec_t bits = std::max<mpfr_prec_t>(MPFR_PREC_MIN, arb_bits(ball.get()) + 64);
  MpfrNumber low(bits), high(bits);
  arb_get_interval_mpfr(low.get(), high.get(), ball.get());
  return IeeeNumber(format, low.get()) == IeeeNumber(format, high.get());
}

// The orders whose rounded seeds are not yet certain: the two ends of the truth's ball round
// differently.
std::set<size_t> SeedDisagreements(const Experiment& experiment, const BesselTable& truth) {
  std::set<size_t> orders;
  if (experiment.seeds == SeedKind::kRounded) {
    for (const size_t n : {size_t{0}, size_t{1}}) {
      for (const IeeeFormat* format : experiment.seed_formats) {
        if (!RoundsAlike(truth.f[n], *format)) orders.insert(n);
      }
    }
  }
  // The dominant functions' backward recurrence starts from f_M and f_(M-1), rounded.
  if (!experiment.function->minimal) {
    for (const size_t n : {truth.f.size() - 1, truth.f.size() - 2}) {
      if (!RoundsAlike(truth.f[n], *experiment.arithmetic)) orders.insert(n);
    }
  }
  return orders;
}

// f_m(x) (and g_m(x)) from Arb alone at twice the accuracy its ball has now; false beyond
// kMaxDirectBits.
bool Refine(size_t m, bool with_companion, mpfr_srcptr x, BesselTable& truth) {
  const long accuracy = std::max<long>(64, arb_rel_accuracy_bits(truth.f[m].get()));
  if (2 * accuracy > kMaxDirectBits) return false;
  return RefineOrder(truth, x, m, 2 * accuracy, with_companion);
}

// The truth of `experiment`'s function, x and M, from `accurate` bits on, doubled up to
// kMaxTruthBits, until `imprecise` (what is measured against it) leaves no order undecided:
// the orders it names are taken from Arb alone at twice the accuracy, or, for more than
// kMaxRefinedOrders of them or for the whole table, the table at the next precision. False
// where no precision up to kMaxTruthBits gets there; Stopped as for Run.
bool ProveTruth(const Experiment& experiment, long accurate, Outcome& outcome,
                const std::function<Imprecise()>& imprecise, const StopToken& stop) {
  for (; accurate <= kMaxTruthBits; accurate *= 2) {
    if (!TrueBessel(*experiment.function, outcome.x.get(), experiment.orders, accurate,
                    outcome.truth, stop)) {
      return false;
    }
    for (;;) {
      const Imprecise undecided = imprecise();
      if (undecided.orders.empty() && !undecided.whole) return true;
      if (undecided.whole || undecided.orders.size() > kMaxRefinedOrders) break;
      for (const size_t m : undecided.orders) {
        StopIfAsked(stop);
        if (!Refine(m, undecided.with_companion.count(m) != 0, outcome.x.get(), outcome.truth)) {
          return false;
        }
      }
    }
  }
  return false;
}

// The marks of each row, from the truth.
void MarkRows(const BesselTable& truth, Outcome& outcome, const StopToken& stop) {
  const BesselFunction& function = *truth.function;
  const IeeeFormat& arithmetic = outcome.x.format();
  MpfrNumber smallest(2), modulus(truth.bits), t(truth.bits);
  mpfr_set_ui_2exp(smallest.get(), 1, arithmetic.min_exponent - arithmetic.precision + 1,
                   MPFR_RNDN);
  for (size_t m = 0; m < truth.f.size(); ++m) {
    StopIfAsked(stop);
    const MpfrNumber f_m = Mid(truth.f[m]), g_m = Mid(truth.g[m]);
    // Past its first zero f_m oscillates with the amplitude sqrt(f_m^2 + g_m^2); near a zero
    // (within a tenth of that amplitude) any method's error, a few units in the last place of
    // the amplitude, is ten and more times as large relative to f_m.
    bool near = false;
    if (function.has_zeros) {
      mpfr_hypot(modulus.get(), f_m.get(), g_m.get(), MPFR_RNDN);
      mpfr_div_ui(t.get(), modulus.get(), 10, MPFR_RNDN);
      near = mpfr_cmpabs(f_m.get(), t.get()) < 0 &&
             (!function.minimal || PastFirstZero(static_cast<double>(m) + function.offset / 2.0,
                                                 outcome.x.get(), f_m.get()));
    }
    outcome.near_zero.push_back(near);
    outcome.below_range.push_back(mpfr_cmpabs(f_m.get(), smallest.get()) < 0);
  }
}

}  // namespace

bool Run(const Experiment& experiment, Outcome& outcome, const StopToken& stop) {
  const IeeeFormat& arithmetic = *experiment.arithmetic;
  const BesselFunction& function = *experiment.function;
  if (ReadX(experiment.x_text, arithmetic, outcome.x) != XReading::kValid) return false;
  outcome.backward_start = experiment.orders;
  if (function.minimal) {
    const std::optional<long> start = BackwardStart(function, outcome.x.get(), experiment.orders,
                                                    arithmetic.precision + kMillerGuardBits, stop);
    if (!start) return false;
    outcome.backward_start = *start;
  }
  int widest = std::max(arithmetic.precision, 53);
  for (const IeeeFormat* format : experiment.seed_formats) {
    widest = std::max(widest, format->precision);
  }
  // The truth's precision is chosen by the errors it measures: each is computed as a ball and
  // kept only when both its ends print the same digits. Where they do not, the orders concerned
  // are taken from Arb alone at twice the accuracy (an error of 2.5e-401 at x = 1e-200 needs
  // J_0 = 1 - 2.5e-401 to 1400 bits), or, for many orders, the whole table at a higher one.
  const auto measure = [&] {
    Imprecise imprecise{SeedDisagreements(experiment, outcome.truth), {}, false};
    if (!imprecise.orders.empty()) return imprecise;
    return MeasureAgainst(
        outcome.truth,
        ComputeInFormats(experiment, outcome.x, outcome.truth, outcome.backward_start, stop),
        experiment.given, outcome, stop);
  };
  if (!ProveTruth(experiment, widest + kTruthGuardBits, outcome, measure, stop)) return false;
  MarkRows(outcome.truth, outcome, stop);
  return true;
}

bool RunTruth(const Experiment& experiment, Outcome& outcome, const StopToken& stop) {
  if (ReadX(experiment.x_text, *experiment.arithmetic, outcome.x) != XReading::kValid) {
    return false;
  }
  // Run's accuracy for binary64 (17 digits need 57 bits), refined as Run refines it.
  const auto undecided = [&] {
    Imprecise imprecise;
    outcome.truth_text = TextColumn();
    for (size_t m = 0; m < outcome.truth.f.size(); ++m) {
      StopIfAsked(stop);
      NoteTruthText(outcome.truth, m, outcome.truth_text, imprecise);
      if (!RoundsAlike(outcome.truth.f[m], kBinary64)) imprecise.orders.insert(m);
    }
    return imprecise;
  };
  return ProveTruth(experiment, 53 + kTruthGuardBits, outcome, undecided, stop);
}

ForwardRecurrence::ForwardRecurrence(const BesselFunction& function, const IeeeNumber& x,
                                     const SeedColumn& column)
    : function_(function), x_(x), value_{column.start_0, column.start_1, IeeeNumber(x.format())} {}

const IeeeNumber& ForwardRecurrence::Next() {
  const size_t m = next_++;
  if (m >= 2) {
    value_[m % 3] = ForwardStep(function_, static_cast<long>(m) - 1, x_, value_[(m - 1) % 3],
                                value_[(m - 2) % 3]);
  }
  return value_[m % 3];
}
