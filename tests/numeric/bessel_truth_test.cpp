// The Bessel reference: against printed tables, against the Wronskian to every bit it claims,
// and the prediction against seed errors whose effect is known in closed form.
#include "numeric/bessel_truth.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

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
