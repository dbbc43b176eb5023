// The true Bessel values: Y upward, J downward, at a precision that proves itself; and the
// prediction made from them.
#include "numeric/bessel_truth.hpp"

#include <algorithm>
#include <cmath>

namespace {

// log2 |a / b|, for numbers of any size.
double Log2Ratio(mpfr_srcptr a, mpfr_srcptr b) {
  long ea = 0, eb = 0;
  const double ma = mpfr_get_d_2exp(&ea, a, MPFR_RNDN);
  const double mb = mpfr_get_d_2exp(&eb, b, MPFR_RNDN);
  return std::log2(std::fabs(ma / mb)) + static_cast<double>(ea - eb);
}

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
