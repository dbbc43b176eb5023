// The Bessel reference: against printed tables, against the Wronskian to every bit it claims,
// and the prediction against seed errors whose effect is known in closed form.
#include "numeric/bessel_truth.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "numeric/ieee_format.hpp"

namespace {

constexpr mpfr_prec_t kAccurate = 113 + kTruthGuardBits;

BesselTable Truth(const char* x_text, long last, const BesselFunction& function = kBesselJ) {
  MpfrNumber x(64);
  mpfr_set_str(x.get(), x_text, 10, MPFR_RNDN);
  BesselTable table;
  EXPECT_TRUE(TrueBessel(function, x.get(), last, kAccurate, table)) << "x = " << x_text;
  return table;
}

double D(const MpfrNumber& x) {
  return mpfr_get_d(x.get(), MPFR_RNDN);
}
double D(const ArbBall& x) {
  return D(Mid(x));
}

// Abramowitz and Stegun, Handbook of Mathematical Functions, Table 9.1 (x = 1 and 10), 15
// decimals.
TEST(TrueBessel, AgreesWithThePrintedTable) {
  struct Row {
    const char* x;
    double j0, j1, y0, y1;
  };
  const Row rows[] = {
      {"1", 0.765197686557967, 0.440050585744934, 0.088256964215677, -0.781212821300289},
      {"10", -0.245935764451348, 0.043472746168862, 0.055671167283599, 0.249015424206954},
  };
  for (const Row& row : rows) {
    const BesselTable truth = Truth(row.x, 2);
    EXPECT_NEAR(D(truth.f[0]), row.j0, 1e-15) << row.x;
    EXPECT_NEAR(D(truth.f[1]), row.j1, 1e-15) << row.x;
    EXPECT_NEAR(D(truth.g[0]), row.y0, 1e-15) << row.x;
    EXPECT_NEAR(D(truth.g[1]), row.y1, 1e-15) << row.x;
  }
  EXPECT_NEAR(D(Truth("1", 2).f[2]), 0.114903484931900, 1e-15);
}

// Every function at orders 0, 1 and 5, against mpmath 1.3 (besseli, besselk, and
// sqrt(pi / (2x)) besselj / bessely at n + 1/2 for the spherical ones, at 30 digits), to 17
// digits.
TEST(TrueBessel, GivesEveryFunctionAsMpmathDoes) {
  struct Row {
    const BesselFunction* function;
    const char* x;
    double f0, f1, f5;
  };
  const Row rows[] = {
      {&kBesselI, "1", 1.2660658777520083, 0.56515910399248503, 0.00027146315595697188},
      {&kBesselI, "10", 2815.7166284662545, 2670.9883037012547, 777.18828640325996},
      {&kBesselK, "1", 0.42102443824070833, 0.60190723019723457, 360.9605896012407},
      {&kBesselK, "10", 1.7780062316167652e-5, 1.8648773453825585e-5, 5.7541849985312279e-5},
      {&kSphericalJ, "1", 0.84147098480789651, 0.30116867893975679, 9.2561158611258164e-5},
      {&kSphericalJ, "10", -0.054402111088936981, 0.078466941798751547, -0.055534511621452181},
      {&kSphericalY, "1", -0.54030230586813972, -1.3817732906760362, -999.44034339223641},
      {&kSphericalY, "10", 0.083907152907645245, 0.062792826379701506, 0.093833541678691808},
  };
  for (const Row& row : rows) {
    const BesselTable truth = Truth(row.x, 5, *row.function);
    const std::string where = std::string(row.function->letter) + " at x = " + row.x;
    EXPECT_NEAR(D(truth.f[0]) / row.f0, 1.0, 4e-16) << where;
    EXPECT_NEAR(D(truth.f[1]) / row.f1, 1.0, 4e-16) << where;
    EXPECT_NEAR(D(truth.f[5]) / row.f5, 1.0, 4e-16) << where;
  }
}

// The Casoratian f_(m+1) g_m - f_m g_(m+1) of each function and its companion has a closed form
// (DLMF 10.5.2, 10.28.2 with K's sign (-1)^m, 10.50.1): +-2 / (pi x) for J and Y, +-1 / x for I
// and K, +-1 / x^2 for j and y. Every ball must hold it, and be narrower than the bits claimed,
// at every order of long tables, through the oscillating orders and far beyond them.
TEST(TrueBessel, EveryFunctionSatisfiesItsCasoratianWithinItsBalls) {
  for (const BesselFunction* function : kBesselFunctions) {
    for (const char* x_text : {"0.5", "10", "100"}) {
      const long last = 150;
      const BesselTable truth = Truth(x_text, last, *function);
      const long bits = truth.bits;
      ArbBall x, expected, c, t;
      arb_set_str(x.get(), x_text, bits);
      if (function->kind == BesselKind::kJ || function->kind == BesselKind::kY) {
        arb_const_pi(expected.get(), bits);
        arb_mul(expected.get(), expected.get(), x.get(), bits);
        arb_ui_div(expected.get(), 2, expected.get(), bits);
      } else if (function->kind == BesselKind::kI || function->kind == BesselKind::kK) {
        arb_ui_div(expected.get(), 1, x.get(), bits);
      } else {
        arb_sqr(expected.get(), x.get(), bits);
        arb_ui_div(expected.get(), 1, expected.get(), bits);
      }
      for (size_t m = 0; m <= static_cast<size_t>(last); ++m) {
        EXPECT_GE(arb_rel_accuracy_bits(truth.f[m].get()), kAccurate)
            << function->letter << " at x = " << x_text << ", m = " << m;
        if (m == static_cast<size_t>(last)) break;
        arb_mul(c.get(), truth.f[m + 1].get(), truth.g[m].get(), bits);
        arb_mul(t.get(), truth.f[m].get(), truth.g[m + 1].get(), bits);
        arb_sub(c.get(), c.get(), t.get(), bits);
        arb_abs(c.get(), c.get());
        EXPECT_TRUE(arb_overlaps(c.get(), expected.get()))
            << function->letter << " at x = " << x_text << ", m = " << m;
        arb_sub(t.get(), c.get(), expected.get(), bits);
        arb_div(t.get(), t.get(), expected.get(), bits);
        EXPECT_LT(std::fabs(D(t)), std::ldexp(1.0, -static_cast<int>(kAccurate) + 4))
            << function->letter << " at x = " << x_text << ", m = " << m;
      }
    }
  }
}

// Beyond any table's digits: J_(m+1) Y_m - J_m Y_(m+1) = 2 / (pi x) at every order, to the bits
// the table claims (less a few for the products, whose terms are about as large as the sum).
TEST(TrueBessel, SatisfiesTheWronskianToTheBitsItClaims) {
  for (const char* x_text : {"1", "0.5", "10", "100"}) {
    const long last = 150;
    const BesselTable truth = Truth(x_text, last);
    const mpfr_prec_t bits = truth.bits;
    MpfrNumber x(bits), w(bits), t(bits), expected(bits);
    mpfr_set_str(x.get(), x_text, 10, MPFR_RNDN);
    mpfr_const_pi(expected.get(), MPFR_RNDN);
    mpfr_mul(expected.get(), expected.get(), x.get(), MPFR_RNDN);
    mpfr_ui_div(expected.get(), 2, expected.get(), MPFR_RNDN);
    for (long m = 0; m < last; ++m) {
      const size_t i = static_cast<size_t>(m);
      mpfr_mul(w.get(), Mid(truth.f[i + 1]).get(), Mid(truth.g[i]).get(), MPFR_RNDN);
      mpfr_mul(t.get(), Mid(truth.f[i]).get(), Mid(truth.g[i + 1]).get(), MPFR_RNDN);
      mpfr_sub(w.get(), w.get(), t.get(), MPFR_RNDN);
      mpfr_sub(w.get(), w.get(), expected.get(), MPFR_RNDN);
      mpfr_div(w.get(), w.get(), expected.get(), MPFR_RNDN);
      EXPECT_LT(std::fabs(D(w)), std::ldexp(1.0, -static_cast<int>(kAccurate) + 4))
          << "x = " << x_text << ", m = " << m;
    }
  }
}

// Where J, Y, j and y oscillate over many orders the values are recurred without balls and
// their error bounded afterwards, and beyond, through the ratios of consecutive values. Every
// ball, f's and g's, must hold Arb's own value computed far beyond the accuracy asked (so that a
// bound too small for the error it bounds shows) and be as narrow as asked, at orders spread
// through the oscillating ones, the turning point and the monotone ones beyond: the truth as
// TrueBessel gives it (`bits` 0), and the bounded recurrence alone at a working precision low
// enough that the roundings it bounds lie far above Arb's radii (`bits`), where a bound that is
// not needlessly loose leaves 40 bits of 96 over up to 2000 orders.
TEST(TrueBessel, HoldsArbsOwnValuesWhereItsErrorIsBoundedAfterwards) {
  struct Row {
    const BesselFunction* function;
    const char* x;
    long last;
    long bits;
  };
  const Row rows[] = {
      {&kBesselJ, "1000", 2500, 0},     {&kBesselY, "300.5", 900, 0},
      {&kSphericalJ, "700", 1400, 0},   {&kSphericalY, "150", 400, 0},
      {&kBesselJ, "129.25", 129, 0},    // the oscillating orders alone, none beyond
      {&kBesselY, "111", 200, 0},       // 127 oscillating orders: balls all through
      {&kSphericalY, "111.5", 200, 0},  // 128: bounded
      {&kBesselY, "2000.25", 1990, 96}, {&kSphericalJ, "500", 510, 96},
      {&kSphericalY, "300", 300, 96},
  };
  for (const Row& row : rows) {
    MpfrNumber x(64);
    mpfr_set_str(x.get(), row.x, 10, MPFR_RNDN);
    BesselTable table;
    if (row.bits == 0) {
      table = Truth(row.x, row.last, *row.function);
    } else {
      ASSERT_TRUE(BoundedOscillation(*row.function, x.get(), row.last, row.bits, table));
    }
    const long accurate = row.bits == 0 ? kAccurate : 40;
    BesselTable arb = table;
    const long x_order = std::lround(std::stod(row.x));
    for (long m = 0; m <= row.last; m += m + 40 < x_order || m > x_order + 40 ? 37 : 3) {
      const size_t i = static_cast<size_t>(m);
      const std::string where = std::string(row.function->letter) + " at x = " + row.x +
                                ", m = " + std::to_string(m) + ", bits " + std::to_string(row.bits);
      ASSERT_TRUE(RefineOrder(arb, x.get(), i, std::max(row.bits, kAccurate) + 256, true)) << where;
      EXPECT_TRUE(arb_overlaps(table.f[i].get(), arb.f[i].get())) << where;
      EXPECT_TRUE(arb_overlaps(table.g[i].get(), arb.g[i].get())) << where;
      EXPECT_GE(arb_rel_accuracy_bits(table.f[i].get()), accurate) << where;
      EXPECT_GE(arb_rel_accuracy_bits(table.g[i].get()), accurate) << where;
    }
  }
}

// Seeds J_0 (1 + d), J_1 (1 + d) are off by d J: every value keeps the relative error d. Seeds
// J_0 + e Y_0, J_1 + e Y_1 are off by e Y: the error at m is e Y_m / J_m.
TEST(PredictedRelativeErrors, GivesWhatEachSolutionCarries) {
  const double d = 0x1p-30, e = 0x1p-40;
  for (const char* x_text : {"1", "10"}) {
    const long last = 30;
    const BesselTable truth = Truth(x_text, last);
    const mpfr_prec_t bits = truth.bits + 64;
    MpfrNumber s0(bits), s1(bits), t(bits);
    mpfr_mul_d(s0.get(), Mid(truth.f[0]).get(), 1 + d, MPFR_RNDN);
    mpfr_mul_d(s1.get(), Mid(truth.f[1]).get(), 1 + d, MPFR_RNDN);
    const std::vector<ArbBall> along_j = PredictedRelativeErrors(truth, s0.get(), s1.get());
    mpfr_mul_d(t.get(), Mid(truth.g[0]).get(), e, MPFR_RNDN);
    mpfr_add(s0.get(), Mid(truth.f[0]).get(), t.get(), MPFR_RNDN);
    mpfr_mul_d(t.get(), Mid(truth.g[1]).get(), e, MPFR_RNDN);
    mpfr_add(s1.get(), Mid(truth.f[1]).get(), t.get(), MPFR_RNDN);
    const std::vector<ArbBall> along_y = PredictedRelativeErrors(truth, s0.get(), s1.get());
    ASSERT_EQ(along_j.size(), static_cast<size_t>(last) + 1);
    for (size_t m = 0; m <= static_cast<size_t>(last); ++m) {
      EXPECT_NEAR(D(along_j[m]) / d, 1.0, 1e-12) << "x = " << x_text << ", m = " << m;
      const double y_over_j = D(truth.g[m]) / D(truth.f[m]);
      EXPECT_NEAR(D(along_y[m]) / (e * y_over_j), 1.0, 1e-12) << "x = " << x_text << ", m = " << m;
    }
  }
}

// Where a prediction's digits are not yet certain, orders 0, 1 and m are taken from Arb alone at
// a higher accuracy: the prediction must then be narrower, not held to the table's bits (seeds
// off by 2^-40 Y, at x = 10, order 20, refined to 600 bits: from 161 bits to 453, the parts'
// own 256 guard bits beyond the table's).
TEST(SeedsPart, NarrowsWithTheOrdersRefined) {
  const BesselTable truth = Truth("10", 30);
  MpfrNumber x(64), s0(truth.bits + 64), s1(truth.bits + 64), t(truth.bits + 64);
  mpfr_set_str(x.get(), "10", 10, MPFR_RNDN);
  mpfr_mul_d(t.get(), Mid(truth.g[0]).get(), 0x1p-40, MPFR_RNDN);
  mpfr_add(s0.get(), Mid(truth.f[0]).get(), t.get(), MPFR_RNDN);
  mpfr_mul_d(t.get(), Mid(truth.g[1]).get(), 0x1p-40, MPFR_RNDN);
  mpfr_add(s1.get(), Mid(truth.f[1]).get(), t.get(), MPFR_RNDN);
  const size_t m = 20;
  const long before =
      arb_rel_accuracy_bits(SeedsPart(truth, s0.get(), s1.get()).At(TruthRow(truth, m)).get());
  BesselTable refined = truth;
  for (const size_t n : {size_t{0}, size_t{1}, m}) {
    ASSERT_TRUE(RefineOrder(refined, x.get(), n, 600, true));
  }
  const long after =
      arb_rel_accuracy_bits(SeedsPart(refined, s0.get(), s1.get()).At(TruthRow(refined, m)).get());
  EXPECT_LT(before, truth.bits + 64);
  EXPECT_GT(after, truth.bits + 128) << "before: " << before << ", after: " << after;
}

// Whether Miller's start N keeps every term of its rule (BackwardStartRule's words) within
// 2^-(bits + 2), evaluated anew from the truth's balls at 256 bits: e = f_(N+1) / g_(N+1), and
// the normalising sums of |g| up to order N.
bool MillersRuleHolds(const BesselFunction& function, const char* x_text, long last, long start,
                      long bits) {
  const BesselTable truth = Truth(x_text, start + 1, function);
  constexpr mpfr_prec_t kBits = 256;
  const auto abs_of = [&](const ArbBall& ball) {
    MpfrNumber value(kBits);
    mpfr_abs(value.get(), Mid(ball).get(), MPFR_RNDN);
    return value;
  };
  const auto at = [](long m) { return static_cast<size_t>(m); };
  MpfrNumber e(kBits), term(kBits), sum(kBits), total(kBits), limit(kBits);
  mpfr_set_ui_2exp(limit.get(), 1, -(bits + 2), MPFR_RNDN);
  mpfr_div(e.get(), abs_of(truth.f[at(start + 1)]).get(), abs_of(truth.g[at(start + 1)]).get(),
           MPFR_RNDN);
  std::vector<MpfrNumber> terms;
  mpfr_div(term.get(), abs_of(truth.g[at(last)]).get(), abs_of(truth.f[at(last)]).get(), MPFR_RNDN);
  if (mpfr_cmp_ui(term.get(), 1) < 0) mpfr_set_ui(term.get(), 1, MPFR_RNDN);  // max(1, |g_M / f_M|)
  mpfr_mul(term.get(), term.get(), e.get(), MPFR_RNDN);
  terms.push_back(term);
  if (function.kind == BesselKind::kJ || function.kind == BesselKind::kI) {
    // J: |Y_0| + 2 (|Y_2| + |Y_4| + ...); I: (|K_0| + 2 (|K_1| + |K_2| + ...)) / e^x; and the
    // tail 4 |f_(N+1)| against the sum's total, 1 or e^x.
    const bool every = function.kind == BesselKind::kI;
    sum = abs_of(truth.g[0]);
    for (long k = every ? 1 : 2; k <= start; k += every ? 1 : 2) {
      mpfr_mul_ui(term.get(), abs_of(truth.g[at(k)]).get(), 2, MPFR_RNDN);
      mpfr_add(sum.get(), sum.get(), term.get(), MPFR_RNDN);
    }
    mpfr_set_str(total.get(), x_text, 10, MPFR_RNDN);
    if (every) {
      mpfr_exp(total.get(), total.get(), MPFR_RNDN);
    } else {
      mpfr_set_ui(total.get(), 1, MPFR_RNDN);
    }
    mpfr_mul(term.get(), e.get(), sum.get(), MPFR_RNDN);
    mpfr_div(term.get(), term.get(), total.get(), MPFR_RNDN);
    terms.push_back(term);
    mpfr_mul_ui(term.get(), abs_of(truth.f[at(start + 1)]).get(), 4, MPFR_RNDN);
    mpfr_div(term.get(), term.get(), total.get(), MPFR_RNDN);
    terms.push_back(term);
  } else {  // j: |e| (|y_0| + |y_1|) / max(|j_0|, |j_1|)
    mpfr_add(sum.get(), abs_of(truth.g[0]).get(), abs_of(truth.g[1]).get(), MPFR_RNDN);
    mpfr_max(total.get(), abs_of(truth.f[0]).get(), abs_of(truth.f[1]).get(), MPFR_RNDN);
    mpfr_mul(term.get(), e.get(), sum.get(), MPFR_RNDN);
    mpfr_div(term.get(), term.get(), total.get(), MPFR_RNDN);
    terms.push_back(term);
  }
  return std::all_of(terms.begin(), terms.end(),
                     [&](const MpfrNumber& t) { return mpfr_lessequal_p(t.get(), limit.get()); });
}

// Miller's start is the least N = max(M, ceil(x)) + 8 * 2^k that its rule allows: the rule holds
// at N and fails at the N before it. The rows put a term of the rule within a few bits of its
// limit, where a start taken one candidate early or late shows: the tail 4 |J_(N+1)| (x = 1 in
// x87), and the terms in e, which the companion's growth from g_N to g_(N+1) moves by a few
// bits (found by evaluating the rule over a grid of x, M and formats).
TEST(BackwardStart, IsTheLeastStartItsRuleAllows) {
  struct Row {
    const BesselFunction* function;
    const char* x;
    long last;
    long bits;  // a format's precision + 8
  };
  const Row rows[] = {
      {&kBesselJ, "1", 10, 72},       {&kBesselJ, "10", 60, 61},  {&kBesselJ, "20", 60, 61},
      {&kBesselI, "20", 30, 32},      {&kSphericalJ, "1", 5, 72}, {&kSphericalJ, "0.001", 5, 245},
      {&kSphericalJ, "100", 300, 32},
  };
  for (const Row& row : rows) {
    MpfrNumber x(64);
    mpfr_set_str(x.get(), row.x, 10, MPFR_RNDN);
    const long start = BackwardStart(*row.function, x.get(), row.last, row.bits).value_or(-1);
    const long base = std::max(row.last, static_cast<long>(std::ceil(std::stod(row.x))));
    const std::string where = std::string(row.function->letter) + " at x = " + row.x +
                              ", M = " + std::to_string(row.last) +
                              ", bits = " + std::to_string(row.bits) +
                              ": N = " + std::to_string(start);
    const long step = start - base;
    ASSERT_TRUE(step >= 8 && (step & (step - 1)) == 0) << where;
    EXPECT_TRUE(MillersRuleHolds(*row.function, row.x, row.last, start, row.bits)) << where;
    if (step > 8) {
      EXPECT_FALSE(MillersRuleHolds(*row.function, row.x, row.last, base + step / 2, row.bits))
          << where;
    }
  }
}

// A bound on the rounding part holds for every value in the truth's balls: with f_k's ball made
// wider, its bounds at order k and after are no smaller than with either of two values inside
// that ball taken as exact. f_k is widened by 2^-8 of itself, far more than the truth's balls
// ever are, so that the side from which each |f| is taken shows in the bounds' 64 bits.
TEST(RoundingBound, HoldsForEveryValueInTheTruthsBalls) {
  struct Row {
    const BesselFunction* function;
    const char* x;
    long last;
    size_t widened;  // k, from 2 on (f_0 and f_1 also make the Casoratian)
    const IeeeFormat* format;
  };
  const Row rows[] = {
      {&kBesselJ, "1", 10, 10, &kBinary64},  {&kBesselJ, "1", 10, 4, &kBinary64},
      {&kBesselJ, "20", 40, 25, &kBinary32}, {&kBesselY, "5", 20, 20, &kBinary64},
      {&kBesselI, "3", 20, 12, &kBinary128}, {&kSphericalJ, "1", 12, 12, &kBinary64},
  };
  for (const Row& row : rows) {
    const BesselTable truth = Truth(row.x, row.last, *row.function);
    MpfrNumber x(64), seed_0(row.format->precision), seed_1(row.format->precision);
    mpfr_set_str(x.get(), row.x, 10, MPFR_RNDN);
    const MpfrNumber f_0 = Mid(truth.f[0]), f_1 = Mid(truth.f[1]);  // (mpfr_set takes no temporary)
    mpfr_set(seed_0.get(), f_0.get(), MPFR_RNDN);
    mpfr_set(seed_1.get(), f_1.get(), MPFR_RNDN);
    const std::vector<ArbBall> predicted =
        PredictedRelativeErrors(truth, seed_0.get(), seed_1.get());
    BesselTable wide = truth, low = truth, high = truth;
    ArbBall widening;
    arb_one(widening.get());
    arb_add_error_2exp_si(widening.get(), -8);
    arb_mul(wide.f[row.widened].get(), truth.f[row.widened].get(), widening.get(), truth.bits);
    MpfrNumber inside(truth.bits + 16);
    for (const auto& [table, factor] :
         {std::pair{&low, 1 - 0x1p-8}, std::pair{&high, 1 + 0x1p-8}}) {
      mpfr_mul_d(inside.get(), Mid(truth.f[row.widened]).get(), factor, MPFR_RNDN);  // exact
      table->f[row.widened] = ArbBall(inside.get());
    }
    const auto bounds = [&](const BesselTable& table) {
      RoundingBound bound(table, x.get(), row.format->precision, row.format->min_exponent,
                          row.format->max_exponent);
      std::vector<ShortNumber> each;
      for (size_t m = 0; m < predicted.size(); ++m) {
        each.push_back(bound.Next(TruthRow(table, m), predicted[m]));
      }
      return each;
    };
    const std::vector<ShortNumber> over_wide = bounds(wide), at_low = bounds(low),
                                   at_high = bounds(high);
    for (size_t m = row.widened; m <= static_cast<size_t>(row.last); ++m) {
      const std::string where = std::string(row.function->letter) + " at x = " + row.x + " in " +
                                std::string(row.format->name) + ", f_" +
                                std::to_string(row.widened) + " widened, m = " + std::to_string(m);
      EXPECT_GE(mpfr_cmp(over_wide[m].get(), at_low[m].get()), 0) << where;
      EXPECT_GE(mpfr_cmp(over_wide[m].get(), at_high[m].get()), 0) << where;
      EXPECT_TRUE(mpfr_regular_p(over_wide[m].get())) << where;
    }
  }
}

// The relative error (c - f) / f adds no width of its own to what the truth's ball f = t +- r
// gives: ball arithmetic, taking c - f and f apart, puts it within (|c - t| + |t|) r /
// (|t| (|t| - r)) of (c - t) / t (the exact spread is |c| r / t^2), and the ball given is no
// wider than that, with 2^-10 of it to spare for Arb's radii, which are rounded upwards, and
// 2^-200 of the error itself. The truths' midpoints are short here, as a truth's is where its
// value lies close to a short binary number (J_0 of a tiny x is 1 to thousands of bits), so that
// the arithmetic's own precision would show; the computed values are a format's, near f and far
// from it (an unstable recurrence's).
TEST(RelativeError, AddsNoWidthToTheTruths) {
  struct Row {
    const char* truth;     // the midpoint, exactly
    long radius_exponent;  // r = 2^e |t|
    const char* computed;  // c, exactly
  };
  const Row rows[] = {
      {"3", -150, "0x1.8p+1"},
      {"3", -150, "0x1.80000000000001p+1"},
      {"0x1.4p0", -300, "0x1.3ffcp0"},
      {"0x1.4p0", -300, "0x1p+1000"},
      {"-5", -180, "0x1.400000000000000000000000000000000000000000000000000000001p+2"},
      {"0x1p-100", -120, "-0x1.2345p-60"},
  };
  for (const Row& row : rows) {
    constexpr mpfr_prec_t kBits = 2048;
    MpfrNumber t(kBits), c(kBits), r(kBits), expected(kBits), spread(kBits), u(kBits);
    mpfr_set_str(t.get(), row.truth, 0, MPFR_RNDN);
    mpfr_set_str(c.get(), row.computed, 0, MPFR_RNDN);
    mpfr_mul_2si(r.get(), t.get(), row.radius_exponent, MPFR_RNDN);
    mpfr_abs(r.get(), r.get(), MPFR_RNDN);
    ArbBall truth(t.get());
    arb_add_error_arf(truth.get(), arb_midref(ArbBall(r.get()).get()));
    // (c - t) / t, and the spread around it.
    mpfr_sub(expected.get(), c.get(), t.get(), MPFR_RNDN);
    mpfr_abs(spread.get(), expected.get(), MPFR_RNDN);
    mpfr_div(expected.get(), expected.get(), t.get(), MPFR_RNDN);
    mpfr_abs(u.get(), t.get(), MPFR_RNDN);
    mpfr_add(spread.get(), spread.get(), u.get(), MPFR_RNDN);
    mpfr_mul(spread.get(), spread.get(), r.get(), MPFR_RNDN);
    mpfr_sub(u.get(), u.get(), r.get(), MPFR_RNDN);
    mpfr_div(spread.get(), spread.get(), u.get(), MPFR_RNDN);
    mpfr_abs(u.get(), t.get(), MPFR_RNDN);
    mpfr_div(spread.get(), spread.get(), u.get(), MPFR_RNDN);
    mpfr_mul_d(spread.get(), spread.get(), 1 + 0x1p-10, MPFR_RNDN);
    mpfr_mul_2si(u.get(), expected.get(), -200, MPFR_RNDN);
    mpfr_abs(u.get(), u.get(), MPFR_RNDN);
    mpfr_add(spread.get(), spread.get(), u.get(), MPFR_RNDN);
    const ArbBall error = RelativeError(MpfrNumber(c).get(), truth);
    const std::string where = std::string(row.computed) + " against " + row.truth;
    ArbBall exact(expected.get());
    EXPECT_TRUE(arb_contains(error.get(), exact.get())) << where;
    MpfrNumber width(64);
    arf_t radius;
    arf_init(radius);
    arf_set_mag(radius, arb_radref(error.get()));
    arf_get_mpfr(width.get(), radius, MPFR_RNDU);
    arf_clear(radius);
    EXPECT_LE(mpfr_cmp(width.get(), spread.get()), 0)
        << where << ": radius " << mpfr_get_d(width.get(), MPFR_RNDN) << ", at most "
        << mpfr_get_d(spread.get(), MPFR_RNDN);
  }
}

// A ball prints its digits only when both its ends do: narrow balls give the correctly rounded
// text, balls across a rounding boundary of the last digit (or across 0) give nothing, an exact
// 0 gives 0 and an infinity nothing. The ends are those written, in decimal.
TEST(Decided, PrintsOnlyWhatBothEndsOfTheBallPrint) {
  const struct {
    const char* ball;  // Arb's own notation, [midpoint +/- radius]
    const char* seven;
  } rows[] = {
      {"[1.2345674 +/- 1e-12]", "1.234567e+00"},
      {"[1.2345675 +/- 1e-12]", ""},  // 1.234567 or 1.234568
      {"[-3.5e-401 +/- 1e-420]", "-3.500000e-401"},
      {"[0 +/- 1e-30]", ""},
      {"0", "0.000000e+00"},
      {"[9.9999995 +/- 1e-10]", ""},  // 9.999999e+00 or 1.000000e+01
      {"[1e+100000 +/- 1e+99980]", "1.000000e+100000"},
  };
  for (const auto& row : rows) {
    ArbBall ball;
    ASSERT_EQ(arb_set_str(ball.get(), row.ball, 512), 0) << row.ball;
    EXPECT_EQ(Decided(ball, 7), row.seven) << row.ball;
  }
  ArbBall infinite;
  arb_pos_inf(infinite.get());
  EXPECT_EQ(Decided(infinite, 7), "");
}

// The quick decision from one longer conversion gives what MPFR's own conversion of both ends
// gives, for 7 and 17 digits: midpoints spread over many decades, next to the ties of the last
// digit (and of the carry 9.99...95), with radii from 0 to wide.
// MidpointText, on the same balls, against MPFR's text of the midpoint.
TEST(Decided, AgreesWithBothEndsConvertedByMpfr) {
  const char* const around[] = {
      "1.2345675",          "9.9999995", "9.99999995", "1.0000005", "3.14159265358979323846",
      "2.7182818284590452", "1"};
  long cases = 0;
  for (const int digits : {7, 17}) {
    for (const char* text : around) {
      for (const long exponent : {-400L, -7L, 0L, 3L, 120000L}) {
        for (const double offset : {0.0, 1e-12, -1e-12, 1e-22, -1e-22, 3e-9}) {
          for (const char* radius : {"0", "1e-30", "1e-15", "1e-9"}) {
            ArbBall ball, t;
            arb_set_str(ball.get(), text, 300);
            arb_set_d(t.get(), 1 + offset);
            arb_mul(ball.get(), ball.get(), t.get(), 300);
            arb_set_str(t.get(), ("1e" + std::to_string(exponent)).c_str(), 300);
            arb_mul(ball.get(), ball.get(), t.get(), 300);
            arb_get_mid_arb(ball.get(), ball.get());
            arb_set_str(t.get(), radius, 300);
            arb_mul(t.get(), t.get(), ball.get(), 300);
            arb_add_error(ball.get(), t.get());
            // What the two ends print, converted by MPFR itself.
            MpfrNumber low(400), high(400);
            arb_get_interval_mpfr(low.get(), high.get(), ball.get());
            char format[16], a[128], b[128];
            std::snprintf(format, sizeof format, "%%.%dRe", digits - 1);
            mpfr_snprintf(a, sizeof a, format, low.get());
            mpfr_snprintf(b, sizeof b, format, high.get());
            const std::string expected = std::string(a) == b ? a : "";
            EXPECT_EQ(Decided(ball, digits), expected)
                << text << " (1 + " << offset << ") 1e" << exponent << " +- " << radius;
            mpfr_snprintf(a, sizeof a, format, Mid(ball).get());  // the midpoint's own text
            EXPECT_EQ(MidpointText(ball, digits), a) << text << " 1e" << exponent;
            ++cases;
          }
        }
      }
    }
  }
  EXPECT_EQ(cases, 1680);
}

}  // namespace
