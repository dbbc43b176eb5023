// The experiment itself: seeds, forward recurrence, errors measured and predicted, backward
// recurrence with rescaling.
#include "lab/experiment.hpp"

#include <algorithm>
#include <climits>
#include <cmath>
#include <set>

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

// (computed - truth) / truth at the truth's precision.
MpfrNumber RelativeError(mpfr_srcptr computed, mpfr_srcptr truth) {
  MpfrNumber error(mpfr_get_prec(truth) + 256);
  mpfr_sub(error.get(), computed, truth, MPFR_RNDN);
  mpfr_div(error.get(), error.get(), truth, MPFR_RNDN);
  MpfrNumber rounded(mpfr_get_prec(truth));
  mpfr_set(rounded.get(), error.get(), MPFR_RNDN);
  return rounded;
}

// The factor of one step, 2m / x, rounded once in the arithmetic format.
IeeeNumber StepFactor(long m, const IeeeNumber& x) {
  return IeeeNumber(x.format(), 2 * m) / x;
}

// Forward: J_(m+1) = (2m / x) J_m - J_(m-1); the product and the difference each rounded.
std::vector<IeeeNumber> Forward(const IeeeNumber& j0, const IeeeNumber& j1, const IeeeNumber& x,
                                long last) {
  std::vector<IeeeNumber> j = {j0, j1};
  for (long m = 1; m < last; ++m) {
    j.push_back(StepFactor(m, x) * j[static_cast<size_t>(m)] - j[static_cast<size_t>(m) - 1]);
  }
  j.resize(static_cast<size_t>(last) + 1, j0);
  return j;
}

// |v| < 2^Exponent(v); 0 gives the least exponent, so that it never asks for a rescaling.
long Exponent(const IeeeNumber& v) {
  return mpfr_regular_p(v.get()) ? static_cast<long>(mpfr_get_exp(v.get())) : LONG_MIN / 2;
}

// The step factor 2m / x as the pair (factor, lift), worth factor * 2^lift: 2m rounded to the
// format's precision (not to its range: binary16 holds no 2m beyond 65504, yet 2m / x may lie
// well within it), scaled by 2^-lift, divided by x and rounded once. Where 2m / x lies within
// the format's range, lift is 0 and the factor is StepFactor's wherever 2m is a value of the
// format; beyond it, lift is the least multiple of `step` that brings it back, with the same
// significand.
IeeeNumber LiftedStepFactor(long m, const IeeeNumber& x, long step, long& lift) {
  const IeeeFormat& format = x.format();
  MpfrNumber two_m(format.precision);
  mpfr_set_si(two_m.get(), 2 * m, MPFR_RNDN);
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

// Miller's algorithm in the arithmetic format: b_(N+1) = 0, b_N = 1, b_(m-1) = (2m / x) b_m -
// b_(m+1), each operation rounded; then J_m = b_m / (b_0 + 2 (b_2 + b_4 + ...)). The values grow
// without bound as m falls: before a step that could overflow, the two in use and the running
// sum are scaled down by a power of 2^-(emax / 2), and so is a factor 2m / x beyond the format's
// range: exactly, but for what falls below the format's range, by then too small beside b_m to
// matter. Every value stored keeps the scaling that came before it, and is scaled back at the
// end, in the one rounding of its division. So no value overflows, whatever x and N.
std::vector<IeeeNumber> Backward(const IeeeNumber& x, long last, long start) {
  const IeeeFormat& format = x.format();
  const long step = format.max_exponent / 2;
  IeeeNumber above(format), here(format, 1L), sum(format);
  std::vector<IeeeNumber> stored(static_cast<size_t>(last) + 1, here);
  std::vector<long> shift_at(static_cast<size_t>(last) + 1, 0);
  long shift = 0;  // the scaling so far: the values in use are the true ones times 2^-shift
  for (long m = start; m >= 0; --m) {
    if (m <= last) {
      stored[static_cast<size_t>(m)] = here;
      shift_at[static_cast<size_t>(m)] = shift;
    }
    if (m % 2 == 0) sum = sum + (m == 0 ? here : here + here);
    if (m == 0) break;
    long lift = 0;
    const IeeeNumber factor = LiftedStepFactor(m, x, step, lift);
    const long down = RescalingFor(here, sum, factor, lift, step);
    // (factor 2^lift) b_m - b_(m+1), all of it scaled by 2^-(lift + down).
    IeeeNumber below = factor * Scaled(here, -down) - Scaled(above, -(lift + down));
    if (lift + down > 0) {
      above = Scaled(here, -(lift + down));
      sum = Scaled(sum, -(lift + down));
      shift += lift + down;
    } else {
      above = here;
    }
    here = below;
  }
  std::vector<IeeeNumber> j;
  for (size_t m = 0; m < stored.size(); ++m) {
    IeeeNumber value(format);
    // The quotient rounded once, at the format's precision in MPFR's wide range, and brought
    // onto the format's grid with its ternary value: a result below the normal range is not
    // rounded twice.
    value.Set([&](mpfr_ptr v) {
      const int ternary = mpfr_div(v, stored[m].get(), sum.get(), MPFR_RNDN);
      mpfr_mul_2si(v, v, -(shift - shift_at[m]), MPFR_RNDN);
      return ternary;
    });
    j.push_back(value);
  }
  return j;
}

// Whether x >= j_(m,1), the first zero of J_m (J_m is positive before it). For m >= 1 it lies
// in m + 1.8557571 m^(1/3) + (0, 1.0332 m^(-1/3)) (Qu and Wong, 1999), so below that band x is
// before it and past the band beyond it; within the band, which holds no other zero (zeros lie
// more than pi apart for m >= 1), the sign of J_m(x) tells.
bool PastFirstZero(long m, mpfr_srcptr x, const MpfrNumber& j_m) {
  constexpr double kFirstZeroOfJ0 = 2.404825557695773;
  const double order = static_cast<double>(m);
  const double low = m == 0 ? kFirstZeroOfJ0 : order + 1.8557571 * std::cbrt(order);
  const double high = m == 0 ? kFirstZeroOfJ0 : low + 1.0332 / std::cbrt(order);
  if (mpfr_cmp_d(x, low - 1e-6) < 0) return false;
  if (mpfr_cmp_d(x, high + 1e-6) > 0) return true;
  return mpfr_sgn(j_m.get()) <= 0;
}

}  // namespace

bool Overflowed(const Outcome& outcome, size_t m) {
  for (const SeedColumn& column : outcome.columns) {
    if (!mpfr_number_p(column.measured[m].get())) return true;
  }
  return false;
}

Summary Summarize(const Outcome& outcome) {
  const auto log10_ratio = [](mpfr_srcptr a, mpfr_srcptr b) {
    return Log2Ratio(a, b) * std::log10(2.0);
  };
  Summary summary;
  const size_t last = outcome.backward.size() - 1;
  const BesselTable& truth = outcome.truth;
  for (const SeedColumn& column : outcome.columns) {
    ColumnSummary said;
    for (size_t m = 0; m <= last && said.every_digit_lost_at < 0; ++m) {
      if (!mpfr_number_p(column.measured[m].get()) ||
          mpfr_cmpabs_ui(column.measured[m].get(), 1) >= 0) {
        said.every_digit_lost_at = static_cast<long>(m);
      }
    }
    said.digits_per_step = std::nan("");
    said.theory_digits_per_step = std::nan("");
    if (last >= 2) {  // a step of the recurrence's own: e_0 and e_1 are the seeds'
      said.digits_per_step =
          log10_ratio(column.measured[last].get(), column.measured[last - 1].get());
      said.theory_digits_per_step = log10_ratio(truth.y[last].get(), truth.j[last].get()) -
                                    log10_ratio(truth.y[last - 1].get(), truth.j[last - 1].get());
    }
    const mpfr_srcptr seeds = column.predicted[last].get(), rounding = column.rounding[last].get();
    said.dominant = !mpfr_number_p(seeds) || !mpfr_number_p(rounding) ? Dominant::kUndetermined
                    : mpfr_cmpabs(seeds, rounding) >= 0               ? Dominant::kSeeds
                                                                      : Dominant::kRounding;
    summary.columns.push_back(said);
  }
  const IeeeFormat& format = outcome.x.format();
  MpfrNumber error(truth.bits + 64);
  for (size_t m = 0; m <= last; ++m) {
    if (outcome.near_zero[m] || outcome.below_range[m]) continue;
    // |computed - J_m| in units of the last place where J_m lies: ulp(J_m) = 2^(e - p) for
    // 2^(e-1) <= |J_m| < 2^e, and 2^(emin - p + 1) throughout the subnormals.
    mpfr_mul(error.get(), outcome.backward[m].get(), truth.j[m].get(), MPFR_RNDN);
    const long place = std::max(static_cast<long>(mpfr_get_exp(truth.j[m].get())),
                                static_cast<long>(format.min_exponent) + 1) -
                       format.precision;
    mpfr_mul_2si(error.get(), error.get(), -place, MPFR_RNDN);
    const double ulps =
        mpfr_number_p(error.get()) ? std::fabs(mpfr_get_d(error.get(), MPFR_RNDN)) : HUGE_VAL;
    if (summary.backward_worst_at < 0 || ulps > summary.backward_ulps) {
      summary.backward_ulps = ulps;
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

SeriesSum SeriesSeed(const IeeeFormat& format, const IeeeNumber& x, int n) {
  const IeeeNumber h = x / IeeeNumber(format, 2L);
  const IeeeNumber minus_h2 = -(h * h);
  IeeeNumber term = n == 0 ? IeeeNumber(format, 1L) : h;
  SeriesSum series{term, term};
  for (long k = 0; k < kMaxSeriesTerms; ++k) {
    term = term * minus_h2 / IeeeNumber(format, (k + 1) * (k + 1 + n));
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

// Every value computed in the formats, which the truth only measures (rounded seeds are rounded
// from it, and checked against the second truth).
struct Computed {
  std::vector<SeedColumn> columns;  // seeds, starts and largest terms; no errors yet
  std::vector<std::vector<IeeeNumber>> forward;
  std::vector<IeeeNumber> backward;
};

Computed ComputeInFormats(const Experiment& experiment, const IeeeNumber& x,
                          const BesselTable& truth, long backward_start) {
  const IeeeFormat& arithmetic = x.format();
  Computed computed;
  for (const IeeeFormat* format : experiment.seed_formats) {
    IeeeNumber seed_0(*format), seed_1(*format), largest_0(*format), largest_1(*format);
    if (experiment.seeds == SeedKind::kRounded) {
      seed_0 = IeeeNumber(*format, truth.j[0].get());
      seed_1 = IeeeNumber(*format, truth.j[1].get());
    } else {
      const IeeeNumber x_seed(*format, x);
      const SeriesSum series_0 = SeriesSeed(*format, x_seed, 0);
      const SeriesSum series_1 = SeriesSeed(*format, x_seed, 1);
      seed_0 = series_0.sum;
      seed_1 = series_1.sum;
      largest_0 = series_0.largest_term;
      largest_1 = series_1.largest_term;
    }
    const IeeeNumber start_0(arithmetic, seed_0), start_1(arithmetic, seed_1);
    computed.forward.push_back(Forward(start_0, start_1, x, experiment.orders));
    computed.columns.push_back(SeedColumn{format,
                                          seed_0,
                                          seed_1,
                                          MpfrNumber(2),
                                          MpfrNumber(2),
                                          start_0,
                                          start_1,
                                          MpfrNumber(2),
                                          MpfrNumber(2),
                                          largest_0,
                                          largest_1,
                                          {},
                                          {},
                                          {},
                                          {}});
  }
  computed.backward = Backward(x, experiment.orders, backward_start);
  return computed;
}

// The errors of the computed values against `truth`, into `outcome`'s columns and backward
// errors.
void MeasureAgainst(const BesselTable& truth, const Computed& computed, mpfr_srcptr x,
                    Outcome& outcome) {
  const IeeeFormat& arithmetic = outcome.x.format();
  outcome.columns = computed.columns;
  outcome.backward.clear();
  for (size_t i = 0; i < outcome.columns.size(); ++i) {
    SeedColumn& column = outcome.columns[i];
    column.seed_0_error = RelativeError(column.seed_0.get(), truth.j[0].get());
    column.seed_1_error = RelativeError(column.seed_1.get(), truth.j[1].get());
    column.start_0_error = RelativeError(column.start_0.get(), truth.j[0].get());
    column.start_1_error = RelativeError(column.start_1.get(), truth.j[1].get());
    column.predicted = PredictedRelativeErrors(truth, column.start_0.get(), column.start_1.get());
    std::vector<mpfr_srcptr> values;
    for (size_t m = 0; m < computed.forward[i].size(); ++m) {
      column.measured.push_back(RelativeError(computed.forward[i][m].get(), truth.j[m].get()));
      values.push_back(computed.forward[i][m].get());
    }
    column.rounding = RoundingRelativeErrors(truth, x, values);
    column.rounding_bound = RoundingErrorBounds(truth, x, column.predicted, arithmetic.precision,
                                                arithmetic.min_exponent, arithmetic.max_exponent);
  }
  for (size_t m = 0; m < computed.backward.size(); ++m) {
    outcome.backward.push_back(RelativeError(computed.backward[m].get(), truth.j[m].get()));
  }
}

// Whether an error measured against two truths is the same to 30 bits, far more than the 7
// digits printed; or the same infinity or NaN. A zero is never right: no J_m(x) is a binary
// number, so a zero error means the truth was rounded onto the computed value.
bool Close(const MpfrNumber& a, const MpfrNumber& b) {
  if (mpfr_zero_p(a.get()) || mpfr_zero_p(b.get())) return false;
  if (!mpfr_number_p(a.get()) || !mpfr_number_p(b.get())) {
    return (mpfr_nan_p(a.get()) && mpfr_nan_p(b.get())) || mpfr_equal_p(a.get(), b.get());
  }
  MpfrNumber difference(std::max(mpfr_get_prec(a.get()), mpfr_get_prec(b.get())) + 64);
  mpfr_sub(difference.get(), a.get(), b.get(), MPFR_RNDN);
  mpfr_div(difference.get(), difference.get(), a.get(), MPFR_RNDN);
  mpfr_abs(difference.get(), difference.get(), MPFR_RNDN);
  return mpfr_cmp_ui_2exp(difference.get(), 1, -30) <= 0;
}

// The orders whose truth is not precise enough for what was measured against it, where the
// errors from the two truths differ: the measured errors hang on J_m; the seeds' errors, and
// through them every prediction, on J_0 and J_1; a prediction also on J_m and Y_m (`with_y`).
struct Imprecise {
  std::set<size_t> orders;
  std::set<size_t> with_y;
};
Imprecise Disagreements(const Outcome& a, const Outcome& b) {
  Imprecise imprecise;
  std::set<size_t>& orders = imprecise.orders;
  for (size_t i = 0; i < a.columns.size(); ++i) {
    const SeedColumn &p = a.columns[i], &q = b.columns[i];
    if (!Close(p.seed_0_error, q.seed_0_error) || !Close(p.start_0_error, q.start_0_error)) {
      orders.insert(0);
    }
    if (!Close(p.seed_1_error, q.seed_1_error) || !Close(p.start_1_error, q.start_1_error)) {
      orders.insert(1);
    }
    for (size_t m = 0; m < p.measured.size(); ++m) {
      if (!Close(p.measured[m], q.measured[m])) orders.insert(m);
      // A step may round nothing: there a rounding part of 0 is right.
      const bool both_zero = mpfr_zero_p(p.rounding[m].get()) && mpfr_zero_p(q.rounding[m].get());
      if (!both_zero && !Close(p.rounding[m], q.rounding[m])) orders.insert(m);
      if (!Close(p.predicted[m], q.predicted[m])) {
        // J_0 and J_1 first; J_m and Y_m once the seeds' errors are right.
        if (Close(p.seed_0_error, q.seed_0_error) && Close(p.seed_1_error, q.seed_1_error)) {
          imprecise.with_y.insert(m);
          orders.insert(m);
        }
        orders.insert({0, 1});
      }
    }
  }
  for (size_t m = 0; m < a.backward.size(); ++m) {
    if (!Close(a.backward[m], b.backward[m])) orders.insert(m);
  }
  return imprecise;
}

// The orders whose rounded seeds come out differently from the two truths.
std::set<size_t> SeedDisagreements(const Experiment& experiment, const BesselTable& a,
                                   const BesselTable& b) {
  std::set<size_t> orders;
  if (experiment.seeds != SeedKind::kRounded) return orders;
  for (const IeeeFormat* format : experiment.seed_formats) {
    for (size_t n = 0; n < 2; ++n) {
      if (!(IeeeNumber(*format, a.j[n].get()) == IeeeNumber(*format, b.j[n].get()))) {
        orders.insert(n);
      }
    }
  }
  return orders;
}

// J_m(x) (and Y_m(x)) of both truths at twice the precision it had, from MPFR's own correctly
// rounded functions (the second at 64 bits more); false beyond kMaxRefinedBits.
constexpr mpfr_prec_t kMaxRefinedBits = mpfr_prec_t{1} << 21;
constexpr size_t kMaxRefinedOrders = 64;  // beyond: the whole table at a higher precision
bool Refine(size_t m, bool with_y, mpfr_srcptr x, BesselTable& truth, BesselTable& check) {
  const long order = static_cast<long>(m);
  for (auto [table, extra] : {std::pair{&truth, 0}, std::pair{&check, 64}}) {
    for (std::vector<MpfrNumber>* values : {&table->j, &table->y}) {
      if (values == &table->y && !with_y) continue;
      const mpfr_prec_t bits = 2 * mpfr_get_prec((*values)[m].get()) - extra;
      if (bits > kMaxRefinedBits) return false;
      MpfrNumber value(bits + extra);
      if (values == &table->j) {
        mpfr_jn(value.get(), order, x, MPFR_RNDN);
      } else {
        mpfr_yn(value.get(), order, x, MPFR_RNDN);
      }
      (*values)[m] = std::move(value);
    }
  }
  return true;
}

// The marks of each row, from the truth.
void MarkRows(const BesselTable& truth, Outcome& outcome) {
  const IeeeFormat& arithmetic = outcome.x.format();
  MpfrNumber smallest(2), modulus(truth.bits), t(truth.bits);
  mpfr_set_ui_2exp(smallest.get(), 1, arithmetic.min_exponent - arithmetic.precision + 1,
                   MPFR_RNDN);
  for (size_t m = 0; m < truth.j.size(); ++m) {
    // Past its first zero J_m oscillates with the amplitude sqrt(J_m^2 + Y_m^2); near a zero
    // (within a tenth of that amplitude) any method's error, a few units in the last place of
    // the amplitude, is ten and more times as large relative to J_m.
    mpfr_hypot(modulus.get(), truth.j[m].get(), truth.y[m].get(), MPFR_RNDN);
    mpfr_div_ui(t.get(), modulus.get(), 10, MPFR_RNDN);
    outcome.near_zero.push_back(PastFirstZero(static_cast<long>(m), outcome.x.get(), truth.j[m]) &&
                                mpfr_cmpabs(truth.j[m].get(), t.get()) < 0);
    outcome.below_range.push_back(mpfr_cmpabs(truth.j[m].get(), smallest.get()) < 0);
  }
}

}  // namespace

bool Run(const Experiment& experiment, Outcome& outcome) {
  const IeeeFormat& arithmetic = *experiment.arithmetic;
  if (ReadX(experiment.x_text, arithmetic, outcome.x) != XReading::kValid) return false;
  outcome.backward_start =
      BackwardStart(outcome.x.get(), experiment.orders, arithmetic.precision + 8);
  int widest = std::max(arithmetic.precision, 53);
  for (const IeeeFormat* format : experiment.seed_formats) {
    widest = std::max(widest, format->precision);
  }
  // The truth's precision is chosen by the errors it measures: each is computed against two
  // truths of different precisions and kept only when both give it to 30 bits. Where they do
  // not, the orders concerned are computed again at twice the precision (an error of 2.5e-401
  // at x = 1e-200 needs J_0 = 1 - 2.5e-401 to 1400 bits), or, for many orders, the whole table.
  for (mpfr_prec_t accurate = widest + kTruthGuardBits; accurate <= kMaxTruthBits; accurate *= 2) {
    BesselTable check;
    if (!TrueBessel(outcome.x.get(), experiment.orders, accurate, outcome.truth, &check)) {
      return false;
    }
    for (;;) {
      Imprecise imprecise{SeedDisagreements(experiment, outcome.truth, check), {}};
      if (imprecise.orders.empty()) {
        const Computed computed =
            ComputeInFormats(experiment, outcome.x, outcome.truth, outcome.backward_start);
        Outcome checked;
        checked.x = outcome.x;
        MeasureAgainst(outcome.truth, computed, outcome.x.get(), outcome);
        MeasureAgainst(check, computed, outcome.x.get(), checked);
        imprecise = Disagreements(outcome, checked);
      }
      if (imprecise.orders.empty()) {
        MarkRows(outcome.truth, outcome);
        return true;
      }
      if (imprecise.orders.size() > kMaxRefinedOrders) break;
      for (const size_t m : imprecise.orders) {
        if (!Refine(m, imprecise.with_y.count(m) != 0, outcome.x.get(), outcome.truth, check)) {
          return false;
        }
      }
    }
  }
  return false;
}
