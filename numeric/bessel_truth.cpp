// The true Bessel values: Y upward, J downward, at a precision that proves itself; and the
// prediction made from them.
#include "numeric/bessel_truth.hpp"

#include <algorithm>
#include <climits>
#include <cmath>
#include <initializer_list>

namespace {

// One step of the three-term recurrence, either way: out = (2m / x) here - other, at out's
// precision.
void Step(mpfr_ptr out, long m, mpfr_srcptr x, mpfr_srcptr here, mpfr_srcptr other) {
  MpfrNumber factor(mpfr_get_prec(out));
  mpfr_ui_div(factor.get(), static_cast<unsigned long>(2 * m), x, MPFR_RNDN);
  mpfr_mul(factor.get(), factor.get(), here, MPFR_RNDN);
  mpfr_sub(out, factor.get(), other, MPFR_RNDN);
}

// J_m(x) and Y_m(x), m = 0 ... last, at `bits`.
BesselTable Compute(mpfr_srcptr x, long last, mpfr_prec_t bits) {
  BesselTable table;
  table.bits = bits;
  const size_t count = static_cast<size_t>(last) + 1;
  table.y.assign(count, MpfrNumber(bits));
  table.j.assign(count, MpfrNumber(bits));
  MpfrNumber t(bits);
  // Y upward: Y_(m+1) = (2m / x) Y_m - Y_(m-1).
  mpfr_y0(table.y[0].get(), x, MPFR_RNDN);
  if (last >= 1) mpfr_y1(table.y[1].get(), x, MPFR_RNDN);
  for (long m = 1; m < last; ++m) {
    const size_t i = static_cast<size_t>(m);
    Step(table.y[i + 1].get(), m, x, table.y[i].get(), table.y[i - 1].get());
  }
  // J downward from N: b_(m-1) = (2m / x) b_m - b_(m+1), then divided by the normalising sum.
  const long start = BackwardStart(x, last, bits + 16);
  MpfrNumber above(bits), here(bits), below(bits), sum(bits);
  mpfr_set_ui(here.get(), 1, MPFR_RNDN);
  for (long m = start; m >= 0; --m) {
    if (m <= last) mpfr_set(table.j[static_cast<size_t>(m)].get(), here.get(), MPFR_RNDN);
    if (m % 2 == 0) {
      mpfr_mul_ui(t.get(), here.get(), m == 0 ? 1 : 2, MPFR_RNDN);
      mpfr_add(sum.get(), sum.get(), t.get(), MPFR_RNDN);
    }
    if (m == 0) break;
    Step(below.get(), m, x, here.get(), above.get());
    mpfr_swap(above.get(), here.get());
    mpfr_swap(here.get(), below.get());
  }
  for (MpfrNumber& j : table.j) mpfr_div(j.get(), j.get(), sum.get(), MPFR_RNDN);
  return table;
}

// Whether every value of the two tables agrees to `bits`.
bool Agree(const BesselTable& a, const BesselTable& b, mpfr_prec_t bits) {
  MpfrNumber d(a.bits);
  auto close = [&](const MpfrNumber& u, const MpfrNumber& v) {
    mpfr_sub(d.get(), u.get(), v.get(), MPFR_RNDN);
    return mpfr_zero_p(d.get()) || Log2Ratio(d.get(), u.get()) <= -static_cast<double>(bits);
  };
  for (size_t m = 0; m < a.j.size(); ++m) {
    if (!close(a.j[m], b.j[m]) || !close(a.y[m], b.y[m])) return false;
  }
  return true;
}

}  // namespace

long BackwardStart(mpfr_srcptr x, long last, mpfr_prec_t bits) {
  // Ratios are all that is needed: 64 bits, Y by its upward recurrence (MPFR's Y_n is slow for
  // large n), J from MPFR at the few orders asked.
  const mpfr_prec_t work = 64;
  MpfrNumber j(work), y_before(work), y(work), t(work), one(work);
  MpfrNumber y_sum(work);  // |Y_0| + 2 (|Y_2| + |Y_4| + ...) up to Y_n
  mpfr_set_ui(one.get(), 1, MPFR_RNDN);
  mpfr_y0(y_before.get(), x, MPFR_RNDN);
  mpfr_y1(y.get(), x, MPFR_RNDN);
  mpfr_abs(y_sum.get(), y_before.get(), MPFR_RNDU);
  long n = 1;  // y holds Y_n
  auto advance_to = [&](long order) {
    for (; n < order; ++n) {
      Step(t.get(), n, x, y.get(), y_before.get());
      mpfr_swap(y_before.get(), y.get());
      mpfr_swap(y.get(), t.get());
      if ((n + 1) % 2 == 0) {
        mpfr_mul_2ui(t.get(), y.get(), 1, MPFR_RNDN);
        mpfr_abs(t.get(), t.get(), MPFR_RNDU);
        mpfr_add(y_sum.get(), y_sum.get(), t.get(), MPFR_RNDU);
      }
    }
  };
  advance_to(last);
  mpfr_jn(j.get(), last, x, MPFR_RNDN);
  const double factor = std::max(0.0, Log2Ratio(y.get(), j.get()));
  const long base = std::max(last, static_cast<long>(std::ceil(mpfr_get_d(x, MPFR_RNDU))));
  for (long step = 8;; step *= 2) {
    const long start = base + step;
    advance_to(start + 1);
    mpfr_jn(j.get(), start + 1, x, MPFR_RNDN);
    if (mpfr_zero_p(j.get())) return start;
    // With e = J_(N+1) / Y_(N+1), the start gives J_m - e Y_m, normalised by a sum short of
    // its tail 2 (J_(N+1) + ...) and off by e (Y_0 + 2 Y_2 + ... + 2 Y_N): three terms, each
    // kept below 2^-(bits + 2). Beyond N >= x + 8 each J falls by half at least, so the tail is
    // below 4 |J_(N+1)|.
    const double log2_e = Log2Ratio(j.get(), y.get());
    const double worst = std::max({log2_e + factor, log2_e + Log2Ratio(y_sum.get(), one.get()),
                                   Log2Ratio(j.get(), one.get()) + 2});
    if (worst + 2 <= -static_cast<double>(bits)) return start;
  }
}

double Log2Ratio(mpfr_srcptr a, mpfr_srcptr b) {
  if (!mpfr_regular_p(a) || !mpfr_regular_p(b)) return std::nan("");
  long ea = 0, eb = 0;
  const double ma = mpfr_get_d_2exp(&ea, a, MPFR_RNDN);
  const double mb = mpfr_get_d_2exp(&eb, b, MPFR_RNDN);
  return std::log2(std::fabs(ma / mb)) + static_cast<double>(ea - eb);
}

void WidenMpfrExponents() {
  mpfr_set_emin(mpfr_get_emin_min());
  mpfr_set_emax(mpfr_get_emax_max());
}

bool TrueBessel(mpfr_srcptr x, long last, mpfr_prec_t accurate_bits, BesselTable& table,
                BesselTable* check) {
  for (mpfr_prec_t bits = accurate_bits + 64; bits <= kMaxTruthBits; bits *= 2) {
    BesselTable first = Compute(x, last, bits);
    BesselTable second = Compute(x, last, bits + 64);
    if (Agree(first, second, accurate_bits)) {
      table = std::move(first);
      if (check != nullptr) *check = std::move(second);
      return true;
    }
  }
  return false;
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

std::vector<MpfrNumber> RoundingRelativeErrors(const BesselTable& truth, mpfr_srcptr x,
                                               const std::vector<mpfr_srcptr>& computed) {
  const mpfr_prec_t bits = truth.bits + 256;
  std::vector<MpfrNumber> relative;
  MpfrNumber before(bits), here(bits), next(bits), factor(bits), d(bits);
  bool finite = true;
  for (size_t m = 0; m < computed.size(); ++m) {
    if (m >= 2 && finite) {
      const size_t k = m - 1;
      const mpfr_srcptr c_next = computed[m], c = computed[k], c_before = computed[k - 1];
      finite = mpfr_number_p(c_next) && mpfr_number_p(c) && mpfr_number_p(c_before);
      if (finite) {
        // The numerator x c_(k+1) - 2k c_k + x c_(k-1), exactly: each product in the bits of
        // its factors, the sum in the bits that span them.
        const mpfr_prec_t x_bits = mpfr_get_prec(x);
        MpfrNumber a(x_bits + mpfr_get_prec(c_next)), b(mpfr_get_prec(c) + 64),
            e(x_bits + mpfr_get_prec(c_before));
        mpfr_mul(a.get(), x, c_next, MPFR_RNDN);
        mpfr_mul_ui(b.get(), c, static_cast<unsigned long>(2 * k), MPFR_RNDN);
        mpfr_mul(e.get(), x, c_before, MPFR_RNDN);
        MpfrNumber numerator(SpanningBits({a.get(), b.get(), e.get()}) + 2);
        mpfr_sub(numerator.get(), a.get(), b.get(), MPFR_RNDN);
        mpfr_add(numerator.get(), numerator.get(), e.get(), MPFR_RNDN);
        mpfr_div(d.get(), numerator.get(), x, MPFR_RNDN);
        // r_(k+1) = (2k/x) r_k - r_(k-1) + d_(k+1).
        mpfr_ui_div(factor.get(), static_cast<unsigned long>(2 * k), x, MPFR_RNDN);
        mpfr_mul(next.get(), factor.get(), here.get(), MPFR_RNDN);
        mpfr_sub(next.get(), next.get(), before.get(), MPFR_RNDN);
        mpfr_add(next.get(), next.get(), d.get(), MPFR_RNDN);
        mpfr_swap(before.get(), here.get());
        mpfr_swap(here.get(), next.get());
      }
    }
    MpfrNumber r(truth.bits);
    if (!finite) {
      mpfr_set_nan(r.get());
    } else {
      mpfr_div(r.get(), here.get(), truth.j[m].get(), MPFR_RNDN);
      if (mpfr_zero_p(r.get())) mpfr_set_zero(r.get(), 1);  // nothing rounded: no sign to show
    }
    relative.push_back(std::move(r));
  }
  return relative;
}

std::vector<MpfrNumber> RoundingErrorBounds(const BesselTable& truth, mpfr_srcptr x,
                                            const std::vector<MpfrNumber>& predicted, int precision,
                                            int min_exponent, int max_exponent) {
  constexpr mpfr_prec_t kBits = 64;  // bounds need no more, each rounded upwards
  const auto up = MPFR_RNDU;
  MpfrNumber u(kBits), grown(kBits), half_subnormal(kBits), half_pi_x(kBits);
  mpfr_set_ui_2exp(u.get(), 1, -precision, up);
  mpfr_add_ui(grown.get(), u.get(), 1, up);
  mpfr_sqr(grown.get(), grown.get(), up);  // (1 + u)^2
  mpfr_set_ui_2exp(half_subnormal.get(), 1, min_exponent - precision, up);
  mpfr_const_pi(half_pi_x.get(), up);
  mpfr_mul(half_pi_x.get(), half_pi_x.get(), x, up);
  mpfr_div_2ui(half_pi_x.get(), half_pi_x.get(), 1, up);
  const size_t count = predicted.size();
  std::vector<MpfrNumber> abs_j, abs_y, w, bound;
  for (size_t m = 0; m < count; ++m) {
    MpfrNumber j(kBits), y(kBits), seeds(kBits);
    mpfr_abs(j.get(), truth.j[m].get(), up);
    mpfr_abs(y.get(), truth.y[m].get(), up);
    mpfr_mul(seeds.get(), predicted[m].get(), j.get(), up);
    mpfr_abs(seeds.get(), seeds.get(), up);
    abs_j.push_back(std::move(j));
    abs_y.push_back(std::move(y));
    w.push_back(std::move(seeds));  // |c_m| <= |J_m| + |seed part| + R_m, completed below
  }
  MpfrNumber sum_y(kBits), sum_j(kBits), f(kBits), big_f(kBits), d(kBits), t(kBits), r(kBits);
  MpfrNumber largest(kBits);  // the format's values lie below 2^(emax + 1)
  mpfr_set_ui_2exp(largest.get(), 1, max_exponent + 1, MPFR_RNDD);
  bool may_overflow = false;
  for (size_t m = 0; m < count; ++m) {
    if (m >= 2 && !may_overflow) {
      const size_t k = m - 1;  // the step from c_k and c_(k-1) to c_m
      mpfr_ui_div(f.get(), static_cast<unsigned long>(2 * k), x, up);
      mpfr_abs(f.get(), f.get(), up);
      mpfr_mul(big_f.get(), f.get(), grown.get(), up);
      mpfr_sub_ui(t.get(), grown.get(), 1, up);  // the factor's own rounding
      mpfr_mul(d.get(), t.get(), f.get(), up);
      mpfr_mul(d.get(), d.get(), w[k].get(), up);
      mpfr_mul(t.get(), u.get(), big_f.get(), up);  // the product's
      mpfr_mul(t.get(), t.get(), w[k].get(), up);
      mpfr_add(d.get(), d.get(), t.get(), up);
      mpfr_mul(t.get(), big_f.get(), w[k].get(),
               up);  // the difference's: |product| <= F W_k (1 + u)
      mpfr_add_ui(r.get(), u.get(), 1, up);
      mpfr_mul(t.get(), t.get(), r.get(), up);
      mpfr_add(t.get(), t.get(), w[k - 1].get(), up);
      may_overflow =
          !mpfr_less_p(t.get(), largest.get()) || !mpfr_less_p(big_f.get(), largest.get());
      mpfr_mul(t.get(), t.get(), u.get(), up);
      mpfr_add(d.get(), d.get(), t.get(), up);
      mpfr_mul_ui(t.get(), half_subnormal.get(), 3, up);
      mpfr_add(d.get(), d.get(), t.get(), up);
      // d_m enters with G(., m), which holds Y_(m-1) and J_(m-1).
      mpfr_mul(t.get(), d.get(), abs_y[k].get(), up);
      mpfr_add(sum_y.get(), sum_y.get(), t.get(), up);
      mpfr_mul(t.get(), d.get(), abs_j[k].get(), up);
      mpfr_add(sum_j.get(), sum_j.get(), t.get(), up);
    }
    // R_m, and W_m = |J_m| + |seed part| + R_m.
    mpfr_mul(r.get(), abs_j[m].get(), sum_y.get(), up);
    mpfr_mul(t.get(), abs_y[m].get(), sum_j.get(), up);
    mpfr_add(r.get(), r.get(), t.get(), up);
    mpfr_mul(r.get(), r.get(), half_pi_x.get(), up);
    mpfr_add(w[m].get(), w[m].get(), abs_j[m].get(), up);
    mpfr_add(w[m].get(), w[m].get(), r.get(), up);
    MpfrNumber relative(kBits);
    mpfr_div(relative.get(), r.get(), abs_j[m].get(), up);
    if (may_overflow) mpfr_set_inf(relative.get(), 1);
    bound.push_back(std::move(relative));
  }
  return bound;
}

std::vector<MpfrNumber> PredictedRelativeErrors(const BesselTable& truth, mpfr_srcptr seed_0,
                                                mpfr_srcptr seed_1) {
  const mpfr_prec_t bits = truth.bits + 256;  // the seeds' errors exactly
  MpfrNumber e0(bits), e1(bits), det(bits), t(bits), a(bits), b(bits);
  const auto& j = truth.j;
  const auto& y = truth.y;
  mpfr_sub(e0.get(), seed_0, j[0].get(), MPFR_RNDN);
  mpfr_sub(e1.get(), seed_1, j[1].get(), MPFR_RNDN);
  mpfr_mul(det.get(), j[0].get(), y[1].get(), MPFR_RNDN);
  mpfr_mul(t.get(), j[1].get(), y[0].get(), MPFR_RNDN);
  mpfr_sub(det.get(), det.get(), t.get(), MPFR_RNDN);
  mpfr_mul(a.get(), e0.get(), y[1].get(), MPFR_RNDN);  // A = (e_0 Y_1 - e_1 Y_0) / det
  mpfr_mul(t.get(), e1.get(), y[0].get(), MPFR_RNDN);
  mpfr_sub(a.get(), a.get(), t.get(), MPFR_RNDN);
  mpfr_div(a.get(), a.get(), det.get(), MPFR_RNDN);
  mpfr_mul(b.get(), j[0].get(), e1.get(), MPFR_RNDN);  // B = (J_0 e_1 - J_1 e_0) / det
  mpfr_mul(t.get(), j[1].get(), e0.get(), MPFR_RNDN);
  mpfr_sub(b.get(), b.get(), t.get(), MPFR_RNDN);
  mpfr_div(b.get(), b.get(), det.get(), MPFR_RNDN);
  std::vector<MpfrNumber> predicted;
  for (size_t m = 0; m < j.size(); ++m) {
    MpfrNumber p(truth.bits);
    mpfr_mul(t.get(), a.get(), j[m].get(), MPFR_RNDN);
    mpfr_fma(t.get(), b.get(), y[m].get(), t.get(), MPFR_RNDN);
    mpfr_div(p.get(), t.get(), j[m].get(), MPFR_RNDN);
    predicted.push_back(p);
  }
  return predicted;
}
