// The Bessel reference: against printed tables, against the Wronskian to every bit it claims,
// and the prediction against seed errors whose effect is known in closed form.
#include "numeric/bessel_truth.hpp"

#include <gtest/gtest.h>

#include <cmath>

namespace {

constexpr mpfr_prec_t kAccurate = 113 + kTruthGuardBits;

BesselTable Truth(const char* x_text, long last) {
  MpfrNumber x(64);
  mpfr_set_str(x.get(), x_text, 10, MPFR_RNDN);
  BesselTable table;
  EXPECT_TRUE(TrueBessel(x.get(), last, kAccurate, table)) << "x = " << x_text;
  return table;
}

double D(const MpfrNumber& x) {
  return mpfr_get_d(x.get(), MPFR_RNDN);
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
    EXPECT_NEAR(D(truth.j[0]), row.j0, 1e-15) << row.x;
    EXPECT_NEAR(D(truth.j[1]), row.j1, 1e-15) << row.x;
    EXPECT_NEAR(D(truth.y[0]), row.y0, 1e-15) << row.x;
    EXPECT_NEAR(D(truth.y[1]), row.y1, 1e-15) << row.x;
  }
  EXPECT_NEAR(D(Truth("1", 2).j[2]), 0.114903484931900, 1e-15);
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
      mpfr_mul(w.get(), truth.j[i + 1].get(), truth.y[i].get(), MPFR_RNDN);
      mpfr_mul(t.get(), truth.j[i].get(), truth.y[i + 1].get(), MPFR_RNDN);
      mpfr_sub(w.get(), w.get(), t.get(), MPFR_RNDN);
      mpfr_sub(w.get(), w.get(), expected.get(), MPFR_RNDN);
      mpfr_div(w.get(), w.get(), expected.get(), MPFR_RNDN);
      EXPECT_LT(std::fabs(D(w)), std::ldexp(1.0, -static_cast<int>(kAccurate) + 4))
          << "x = " << x_text << ", m = " << m;
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
    mpfr_mul_d(s0.get(), truth.j[0].get(), 1 + d, MPFR_RNDN);
    mpfr_mul_d(s1.get(), truth.j[1].get(), 1 + d, MPFR_RNDN);
    const std::vector<MpfrNumber> along_j = PredictedRelativeErrors(truth, s0.get(), s1.get());
    mpfr_mul_d(t.get(), truth.y[0].get(), e, MPFR_RNDN);
    mpfr_add(s0.get(), truth.j[0].get(), t.get(), MPFR_RNDN);
    mpfr_mul_d(t.get(), truth.y[1].get(), e, MPFR_RNDN);
    mpfr_add(s1.get(), truth.j[1].get(), t.get(), MPFR_RNDN);
    const std::vector<MpfrNumber> along_y = PredictedRelativeErrors(truth, s0.get(), s1.get());
    ASSERT_EQ(along_j.size(), static_cast<size_t>(last) + 1);
    for (size_t m = 0; m <= static_cast<size_t>(last); ++m) {
      EXPECT_NEAR(D(along_j[m]) / d, 1.0, 1e-12) << "x = " << x_text << ", m = " << m;
      const double y_over_j = D(truth.y[m]) / D(truth.j[m]);
      EXPECT_NEAR(D(along_y[m]) / (e * y_over_j), 1.0, 1e-12) << "x = " << x_text << ", m = " << m;
    }
  }
}

}  // namespace
