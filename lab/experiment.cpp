// The experiment itself: seeds, forward recurrence, errors measured and predicted, backward
// recurrence with rescaling.
#include "lab/experiment.hpp"

#include <algorithm>
#include <cmath>

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

// Miller's algorithm in the arithmetic format: b_(N+1) = 0, b_N = 1, b_(m-1) = (2m / x) b_m -
// b_(m+1), each operation rounded; then J_m = b_m / (b_0 + 2 (b_2 + b_4 + ...)). The values grow
// without bound as m falls: whenever one passes 2^(emax / 2), the two in use and the running sum
// are scaled by 2^-(emax / 2) (exact), and every value stored keeps the count of scalings that
// came after it, so that it is scaled back once at the end, with the division.
std::vector<IeeeNumber> Backward(const IeeeNumber& x, long last, long start) {
  const IeeeFormat& format = x.format();
  const long step = format.max_exponent / 2;
  IeeeNumber above(format), here(format, 1L), sum(format);
  std::vector<IeeeNumber> stored(static_cast<size_t>(last) + 1, here);
  std::vector<long> scalings_at(static_cast<size_t>(last) + 1, 0);
  long scalings = 0;
  for (long m = start; m >= 0; --m) {
    if (m <= last) {
      stored[static_cast<size_t>(m)] = here;
      scalings_at[static_cast<size_t>(m)] = scalings;
    }
    if (m % 2 == 0) sum = sum + (m == 0 ? here : here + here);
    if (m == 0) break;
    IeeeNumber below = StepFactor(m, x) * here - above;
    above = here;
    here = below;
    if (mpfr_regular_p(here.get()) && mpfr_get_exp(here.get()) > step) {
      here = Scaled(here, -step);
      above = Scaled(above, -step);
      sum = Scaled(sum, -step);
      ++scalings;
    }
  }
  std::vector<IeeeNumber> j;
  for (size_t m = 0; m < stored.size(); ++m) {
    j.push_back(Scaled(stored[m] / sum, -step * (scalings - scalings_at[m])));
  }
  return j;
}

}  // namespace

bool ParseX(const std::string& text, MpfrNumber& x) {
  char* end = nullptr;
  // Only the number: no white space of any kind (MPFR would skip it), no control byte.
  if (text.empty()) return false;
  for (const char c : text) {
    if (static_cast<unsigned char>(c) <= ' ' || c == 0x7f) return false;
  }
  mpfr_strtofr(x.get(), text.c_str(), &end, 10, MPFR_RNDN);
  return *end == '\0' && mpfr_number_p(x.get()) && mpfr_sgn(x.get()) > 0 &&
         mpfr_cmp_ui(x.get(), 10000) <= 0;
}

IeeeNumber SeriesSeed(const IeeeFormat& format, const IeeeNumber& x, int n) {
  const IeeeNumber h = x / IeeeNumber(format, 2L);
  const IeeeNumber minus_h2 = -(h * h);
  IeeeNumber term = n == 0 ? IeeeNumber(format, 1L) : h;
  IeeeNumber sum = term;
  for (long k = 0; k < kMaxSeriesTerms; ++k) {
    term = term * minus_h2 / IeeeNumber(format, (k + 1) * (k + 1 + n));
    const IeeeNumber next = sum + term;
    const bool changed = !(next == sum);
    sum = next;
    if (!changed || !mpfr_number_p(sum.get())) break;
  }
  return sum;
}

bool Run(const Experiment& experiment, Outcome& outcome) {
  const IeeeFormat& arithmetic = *experiment.arithmetic;
  MpfrNumber x_exact(1024);
  if (!ParseX(experiment.x_text, x_exact)) return false;
  outcome.x = IeeeNumber(arithmetic, x_exact.get());
  int widest = std::max(arithmetic.precision, 53);
  for (const IeeeFormat* format : experiment.seed_formats)
    widest = std::max(widest, format->precision);
  if (!TrueBessel(outcome.x.get(), experiment.orders, widest + kTruthGuardBits, outcome.truth)) {
    return false;
  }
  const BesselTable& truth = outcome.truth;

  for (const IeeeFormat* format : experiment.seed_formats) {
    IeeeNumber seed_0(*format), seed_1(*format);
    if (experiment.seeds == SeedKind::kRounded) {
      seed_0 = IeeeNumber(*format, truth.j[0].get());
      seed_1 = IeeeNumber(*format, truth.j[1].get());
    } else {
      const IeeeNumber x_seed(*format, outcome.x);
      seed_0 = SeriesSeed(*format, x_seed, 0);
      seed_1 = SeriesSeed(*format, x_seed, 1);
    }
    const IeeeNumber j0(arithmetic, seed_0), j1(arithmetic, seed_1);
    const std::vector<IeeeNumber> forward = Forward(j0, j1, outcome.x, experiment.orders);
    SeedColumn column{format,
                      seed_0,
                      seed_1,
                      RelativeError(seed_0.get(), truth.j[0].get()),
                      RelativeError(seed_1.get(), truth.j[1].get()),
                      {},
                      PredictedRelativeErrors(truth, j0.get(), j1.get())};
    for (size_t m = 0; m < forward.size(); ++m) {
      column.measured.push_back(RelativeError(forward[m].get(), truth.j[m].get()));
    }
    outcome.columns.push_back(column);
  }

  outcome.backward_start =
      BackwardStart(outcome.x.get(), experiment.orders, arithmetic.precision + 8);
  const std::vector<IeeeNumber> backward =
      Backward(outcome.x, experiment.orders, outcome.backward_start);
  MpfrNumber smallest(2), modulus(truth.bits), t(truth.bits);
  mpfr_set_ui_2exp(smallest.get(), 1, arithmetic.min_exponent - arithmetic.precision + 1,
                   MPFR_RNDN);
  for (size_t m = 0; m < backward.size(); ++m) {
    outcome.backward.push_back(RelativeError(backward[m].get(), truth.j[m].get()));
    // Below x, J_m oscillates with the amplitude sqrt(J_m^2 + Y_m^2); near a zero (within a
    // tenth of that amplitude) any method's error, a few units in the last place of the
    // amplitude, is ten and more times as large relative to J_m. From x on J_m has no zeros.
    mpfr_hypot(modulus.get(), truth.j[m].get(), truth.y[m].get(), MPFR_RNDN);
    mpfr_div_ui(t.get(), modulus.get(), 10, MPFR_RNDN);
    outcome.near_zero.push_back(mpfr_cmp_si(outcome.x.get(), static_cast<long>(m)) > 0 &&
                                mpfr_cmpabs(truth.j[m].get(), t.get()) < 0);
    outcome.below_range.push_back(mpfr_cmpabs(truth.j[m].get(), smallest.get()) < 0);
  }
  return true;
}
