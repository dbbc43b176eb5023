// bessel-recurrence-lab's experiment: against the main program's own output, theory against
// measurement, the cure against the truth, and its bytes on every target.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "experiment/experiment.hpp"
#include "experiment/report.hpp"
#include "results/result_files.hpp"
#include "results/result_table.hpp"
#include "tests/lab/lab_support.hpp"
#include "tests/support/bits.hpp"
#include "tests/support/child.hpp"

namespace {

using testing_support::GoldenPath;
using testing_support::ReadFile;

double ToDouble(const ShortNumber& x) {
  return mpfr_get_d(x.get(), MPFR_RNDN);
}
double ToDouble(const PrintedNumber& x) {
  return std::strtod(x.Text().c_str(), nullptr);
}

// At x = 1 with series seeds, the lab is the main program: the same seeds, and forward errors
// that agree with the result files, which print (series - recurrence) / series, to 1 % once the
// series value's own error no longer counts: from m = 4 on for the 7-digit file, from m = 5 for
// the 16-digit one, whose series stops at an absolute threshold of 1e-15: at m = 4 the truncation
// leaves J_4 off by about 7e-15 of itself, 7 % of the recurrence's error there.
TEST(Lab, AtOneWithSeriesSeedsItIsTheMainProgram) {
  Experiment experiment;
  experiment.seeds = SeedKind::kSeries;
  experiment.seed_formats = {&kBinary32, &kBinary64};
  const Outcome outcome = Ran(experiment);
  EXPECT_EQ(Bits(outcome.columns[0].seed_0.ToFloat()), Bits(SeriesJ<Single>(0)));
  EXPECT_EQ(Bits(outcome.columns[0].seed_1.ToFloat()), Bits(SeriesJ<Single>(1)));
  EXPECT_EQ(Bits(outcome.columns[1].seed_0.ToDouble()), Bits(SeriesJ<Double>(0)));
  EXPECT_EQ(Bits(outcome.columns[1].seed_1.ToDouble()), Bits(SeriesJ<Double>(1)));
  const int golden = open(GoldenPath("").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  for (const auto& [file, first] : {std::pair{1, 4}, std::pair{2, 5}}) {
    std::optional<ReadFailure> failure;
    const ResultTable table =
        ReadResultTable(golden, ResultFileName(file), SignificantDigits[file - 1], failure);
    ASSERT_FALSE(failure);
    for (int m = first; m <= kMaxOrder; ++m) {
      const double printed = table.relative_error[static_cast<size_t>(m - kFirstRecurrenceOrder)];
      const double measured = ToDouble(outcome.columns[file - 1].measured[static_cast<size_t>(m)]);
      EXPECT_NEAR(-measured / printed, 1.0, 0.01) << ResultFileName(file) << ", m = " << m;
    }
  }
  close(golden);
}

// Theory and measurement agree to 1 % wherever the seeds' errors dominate: seeds at least 10 bits
// narrower than the binary128 arithmetic (binary16 to x87), away from zeros of J_m(x). The
// backward recurrence stays within 100 units in the last place of binary128 there.
TEST(Lab, PredictionMeetsMeasurementAndTheBackwardRecurrenceIsAccurate) {
  struct Row {
    const char* x;
    long orders;
  };
  for (const Row row : {Row{"1", 10}, Row{"10", 40}, Row{"0.5", 50}, Row{"100", 150}}) {
    Experiment experiment;
    experiment.x_text = row.x;
    experiment.orders = row.orders;
    experiment.seed_formats.assign(kIeeeFormats.begin(), kIeeeFormats.end());
    const Outcome outcome = Ran(experiment);
    for (size_t m = 0; m <= static_cast<size_t>(row.orders); ++m) {
      if (outcome.near_zero[m]) continue;
      for (const SeedColumn& column : outcome.columns) {
        if (column.format->precision > kBinary128.precision - 10) continue;
        EXPECT_NEAR(ToDouble(column.predicted[m]) / ToDouble(column.measured[m]), 1.0, 0.01)
            << "x = " << row.x << ", " << column.format->name << ", m = " << m;
      }
      EXPECT_LT(std::fabs(ToDouble(outcome.backward[m])), 100 * std::ldexp(1.0, -112))
          << "x = " << row.x << ", m = " << m;
    }
  }
}

// x is read straight into the arithmetic format, rounded once to nearest, ties to even, however
// far down the digit that decides lies, and subnormals included; its range is that of the value
// used. The expected values are exact binary fractions worked out by hand.
TEST(Lab, XIsRoundedOnceIntoTheArithmeticFormat) {
  const std::string far_above_the_tie = "1.00048828125" + std::string(400, '0') + "1";
  const struct Row {
    std::string text;
    const IeeeFormat* format;
    XReading reading;
    double value;  // when kValid
  } rows[] = {
      {"1.00048828125", &kBinary16, XReading::kValid, 1.0},  // 1 + 2^-11: the tie, to even
      {far_above_the_tie, &kBinary16, XReading::kValid, 1.0 + 0x1p-10},
      {"2.98023223876953125e-8", &kBinary16, XReading::kRoundsOutOfRange, 0},  // half of 2^-24
      {"2.98023223876953126e-8", &kBinary16, XReading::kValid, 0x1p-24},
      {"1e-5000", &kBinary128, XReading::kRoundsOutOfRange, 0},
      {"1e-5000", &kBinary256, XReading::kValid, 0},  // checked for its range only
      {"10000", &kBfloat16, XReading::kValid, 9984},
      {"10000.0000000000000000001", &kBinary16, XReading::kNotInRange, 0},
      {"0", &kBinary64, XReading::kNotInRange, 0},
      {"-1", &kBinary64, XReading::kNotInRange, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text.substr(0, 30) + " in " + std::string(row.format->name));
    IeeeNumber x(*row.format);
    EXPECT_EQ(ReadX(row.text, *row.format, x), row.reading);
    if (row.reading == XReading::kValid && row.value != 0) {
      EXPECT_EQ(mpfr_cmp_d(x.get(), row.value), 0) << mpfr_get_d(x.get(), MPFR_RNDN);
    }
  }
}

// The exact hexadecimal text is MPFR's own "%Ra", which the code no longer calls: in every format,
// at the ends of its range (subnormals, the largest finite value, zeros), at every exponent
// modulo 4 (the first digit's 1 to 4 bits), with significands of every length, and 2,000 random
// values a format, their bits from GMP's generator, their exponents spread over the format's
// range and a little beyond (rounded into it, to infinity or to zero).
TEST(Lab, HexadecimalTextIsMpfrsOwn) {
  WidestMpfrExponents widest;
  gmp_randstate_t random;
  gmp_randinit_default(random);
  gmp_randseed_ui(random, 20261211);
  for (const IeeeFormat* format : kIeeeFormats) {
    SCOPED_TRACE(format->name);
    std::vector<IeeeNumber> values;
    for (const double x : {0.0, -0.0, 1.0, 1.5, -7.0, 0.1, 255.0, 1.0 / 3, 3.0, 0.5, 2.0, 4.0}) {
      values.emplace_back(*format, x);
    }
    MpfrNumber v(format->precision);
    // Every exponent near either end of the range (x in [2^(e-1), 2^e)), every 997th between.
    std::vector<long> exponents;
    for (long e = format->min_exponent - format->precision - 1; e < format->min_exponent + 8; ++e) {
      exponents.push_back(e);
    }
    for (long e = format->min_exponent + 8; e < format->max_exponent - 8; e += 997) {
      exponents.push_back(e);
    }
    for (long e = format->max_exponent - 8; e <= format->max_exponent + 2; ++e) {
      exponents.push_back(e);
    }
    for (const long e : exponents) {
      for (const long ones : {1L, 2L, 4L, 5L, static_cast<long>(format->precision)}) {
        mpfr_set_ui_2exp(v.get(), 1, static_cast<mpfr_exp_t>(ones), MPFR_RNDN);
        mpfr_sub_ui(v.get(), v.get(), 1, MPFR_RNDN);  // `ones` ones
        mpfr_mul_2si(v.get(), v.get(), e - ones, MPFR_RNDN);
        values.emplace_back(*format, v.get());
        mpfr_neg(v.get(), v.get(), MPFR_RNDN);
        values.emplace_back(*format, v.get());
      }
    }
    const long span = format->max_exponent - format->min_exponent + 2 * format->precision;
    for (int i = 0; i < 2000; ++i) {
      mpfr_urandomb(v.get(), random);
      const long e = format->min_exponent - format->precision - 2 +
                     static_cast<long>(gmp_urandomm_ui(random, static_cast<unsigned long>(span)));
      mpfr_mul_2si(v.get(), v.get(), e, MPFR_RNDN);
      if (i % 2 == 1) mpfr_neg(v.get(), v.get(), MPFR_RNDN);
      values.emplace_back(*format, v.get());
    }
    for (const IeeeNumber& value : values) {
      char expected[128];
      mpfr_snprintf(expected, sizeof expected, "%Ra", value.get());
      ASSERT_EQ(HexadecimalText(value), expected);
    }
  }
  gmp_randclear(random);
}

// Miller's start is far enough up that the backward recurrence's error stays within 100 units
// in the last place of the arithmetic, M = 1 included, measured against the envelope
// sqrt(f_m^2 + g_m^2) where f has zeros (near a zero of J_m every method's relative error is
// large), against |I_m| itself where it has none. The errors come from the lab's own comparison
// with the truth; the first rows are cases the start used to be too low for, the last J rows
// sum thousands of terms in 11 and 8 bits; I and j each in the ways they are normalised (e^x,
// which binary64 cannot hold at x = 710 while I_0 fits; j_0 or j_1, the latter near a zero of
// j_0 = sin x / x at x = pi).
TEST(Lab, MillersStartKeepsTheBackwardErrorWithin100Ulps) {
  const struct Row {
    const char* x;
    long orders;
    const IeeeFormat* arithmetic;
    const BesselFunction* function = &kBesselJ;
  } rows[] = {
      {"10", 12, &kBinary128},
      {"2.5", 12, &kBinary128},
      {"1", 3, &kBinary128},
      {"0.125", 3, &kBinary128},
      {"1000", 500, &kBinary128},
      {"7.75", 4, &kBinary64},
      {"1", 1, &kBinary16},
      {"1e-10", 1, &kBinary64},
      {"100", 1, &kBinary32},
      {"10000", 1, &kBinary64},
      {"20", 40, &kBfloat16},
      {"3", 2, &kBinary256},
      {"10000", 12000, &kBinary16},
      {"3000", 5000, &kBfloat16},
      {"1", 30, &kBinary128, &kBesselI},
      {"0.001", 5, &kBinary64, &kBesselI},
      {"50", 200, &kBinary32, &kBesselI},
      {"708.5", 100, &kBinary64, &kBesselI},
      {"8", 3000, &kBinary16, &kBesselI},
      {"1", 30, &kBinary128, &kSphericalJ},
      {"3.140625", 20, &kBinary64, &kSphericalJ},
      {"100", 300, &kBinary32, &kSphericalJ},
      {"1e-20", 3, &kBinary64, &kSphericalJ},
      {"5000", 6000, &kBfloat16, &kSphericalJ},
  };
  for (const Row& row : rows) {
    const Outcome outcome = Ran(ExperimentOf(row.x, row.orders, {row.arithmetic}, row.arithmetic,
                                             SeedKind::kRounded, *row.function));
    const double ulp = std::ldexp(1.0, 1 - row.arithmetic->precision);
    MpfrNumber scale(outcome.truth.bits), error(outcome.truth.bits), normal(2);
    mpfr_set_ui_2exp(normal.get(), 1, row.arithmetic->min_exponent, MPFR_RNDN);
    for (size_t m = 0; m < outcome.backward.size(); ++m) {
      if (outcome.below_range[m]) continue;
      const MpfrNumber f = Mid(outcome.truth.f[m]), g = Mid(outcome.truth.g[m]);
      if (row.function->has_zeros) {
        mpfr_hypot(scale.get(), f.get(), g.get(), MPFR_RNDN);
      } else {  // in the subnormals, their fixed place
        mpfr_abs(scale.get(), f.get(), MPFR_RNDN);
        mpfr_max(scale.get(), scale.get(), normal.get(), MPFR_RNDN);
      }
      // |computed - f_m| / scale, from the relative error (computed - f_m) / f_m.
      mpfr_mul(error.get(), outcome.backward[m].get(), f.get(), MPFR_RNDN);
      mpfr_div(error.get(), error.get(), scale.get(), MPFR_RNDN);
      EXPECT_LT(std::fabs(mpfr_get_d(error.get(), MPFR_RNDN)), 100 * ulp)
          << row.function->letter << ", x = " << row.x << ", M = " << row.orders << " in "
          << row.arithmetic->name << ", m = " << m << ", start " << outcome.backward_start;
    }
  }
}

// The first zero of J_m, independently: the first sign change of MPFR's J_m after m (there is
// none before), found in steps of 1/4 and then bisected.
double FirstZero(long m) {
  MpfrNumber a(128), b(128), mid(128), j(128);
  mpfr_set_si(a.get(), m, MPFR_RNDN);
  mpfr_add_d(b.get(), a.get(), 0.25, MPFR_RNDN);
  for (mpfr_jn(j.get(), m, b.get(), MPFR_RNDN); mpfr_sgn(j.get()) > 0;
       mpfr_jn(j.get(), m, b.get(), MPFR_RNDN)) {
    mpfr_set(a.get(), b.get(), MPFR_RNDN);
    mpfr_add_d(b.get(), b.get(), 0.25, MPFR_RNDN);
  }
  for (int i = 0; i < 60; ++i) {
    mpfr_add(mid.get(), a.get(), b.get(), MPFR_RNDN);
    mpfr_div_2ui(mid.get(), mid.get(), 1, MPFR_RNDN);
    mpfr_jn(j.get(), m, mid.get(), MPFR_RNDN);
    mpfr_set(mpfr_sgn(j.get()) > 0 ? a.get() : b.get(), mid.get(), MPFR_RNDN);
  }
  return mpfr_get_d(a.get(), MPFR_RNDN);
}

// A row is marked near a zero only where J_m has one: never below its first zero j_(m,1) (at
// tiny x, J_0 = 1 though Y_0 is large), and where x lies close past it.
TEST(Lab, MarksOnlyRowsNearAZero) {
  const struct Row {
    const char* x;
    std::vector<long> marked;  // worked out once with mpmath's besselj, bessely, besseljzero
  } rows[] = {
      {"1e-10", {}}, {"1e-400", {}}, {"2.35", {}}, {"2.5", {0}},
      {"3.9", {1}},  {"8.5", {2}},   {"10", {6}},  {"20", {}},
  };
  std::vector<double> first_zero;
  for (long m = 0; m <= 12; ++m) first_zero.push_back(FirstZero(m));
  for (const Row& row : rows) {
    const Outcome outcome = Ran(ExperimentOf(row.x, 12, Experiment{}.seed_formats, &kBinary128));
    std::vector<long> marked;
    for (long m = 0; m <= 12; ++m) {
      if (!outcome.near_zero[static_cast<size_t>(m)]) continue;
      marked.push_back(m);
      EXPECT_GE(std::atof(row.x), first_zero[static_cast<size_t>(m)]) << "m = " << m;
    }
    EXPECT_EQ(marked, row.marked) << "x = " << row.x;
  }
}

// The forward error splits exactly into the seeds' part and the arithmetic's own: measured =
// predicted + rounding at every order, both parts computed on their own ways (the prediction
// from the seeds' errors, the rounding part from each step's rounding error), and the rounding
// part stays within the bound known beforehand, across seed formats and arithmetics. At x = 20
// in binary64 the rounding part is what the seeds' part leaves out: 3.1 measured at m = 40
// against 0.096 predicted from the seeds.
TEST(Lab, TheErrorIsTheSeedsPartAndTheRoundingPart) {
  const struct Row {
    const char* x;
    long orders;
    std::vector<const IeeeFormat*> seeds;
    const IeeeFormat* arithmetic;
  } rows[] = {
      {"20", 40, {&kBinary64}, &kBinary64},
      {"1", 10, {&kBinary32, &kBinary64, &kBinary128}, &kBinary128},
      {"10", 40, {&kBinary16, &kBfloat16, &kBinary32}, &kBinary32},
      {"100", 150, {&kBinary64}, &kBfloat16},
      {"0.5", 50, {&kX87}, &kX87},
      {"1000", 1500, {&kBinary64}, &kBinary64},
      {"3", 30, {&kBinary256}, &kBinary256},
      {"2.5", 60, {&kBinary16}, &kBinary16},
      // Tiny x: each step cancels nearly all, and rounds nothing at first.
      {"1e-20", 10, {&kBinary32, &kBinary64, &kBinary128}, &kBinary128},
      {"1e-8", 10, {&kBinary64}, &kBinary64},
      {"1e-300", 30, {&kBinary64}, &kX87},
  };
  for (const Row& row : rows) {
    const Outcome outcome = Ran(ExperimentOf(row.x, row.orders, row.seeds, row.arithmetic));
    for (const SeedColumn& column : outcome.columns) {
      for (size_t m = 0; m < column.measured.size(); ++m) {
        SCOPED_TRACE(std::string("x = ") + row.x + ", " + std::string(column.format->name) +
                     " seeds in " + std::string(row.arithmetic->name) +
                     ", m = " + std::to_string(m));
        const double measured = ToDouble(column.measured[m]);
        if (!std::isfinite(measured) || outcome.below_range[m]) continue;
        const double predicted = ToDouble(column.predicted[m]);
        const double rounding = ToDouble(column.rounding[m]);
        const double scale = std::max({std::fabs(measured), std::fabs(predicted), 1e-300});
        EXPECT_LE(std::fabs(measured - predicted - rounding), scale * 0x1p-20);
        // The bound as printed, rounded up: what the lab promises.
        EXPECT_LE(std::fabs(rounding),
                  std::strtod(PartText(kRoundingBound, column, m).c_str(), nullptr));
      }
    }
  }
  // The lesson's case, by the numbers the issue gave.
  const SeedColumn column = Ran(ExperimentOf("20", 40, {&kBinary64}, &kBinary64)).columns[0];
  EXPECT_NEAR(ToDouble(column.measured[40]), 3.1, 0.05);
  EXPECT_NEAR(ToDouble(column.predicted[40]), 0.096, 0.001);
}

// Roundings that cancel exactly: I_m(1) in binary16, whose step at m = 8 rounds off exactly what
// the step at m = 7 added, so that c_8 is what exact arithmetic gives from the seeds (checked apart
// with numpy's float16 and Python's fractions): the rounding part is an exact 0 there, which no
// ball can show, and the run must still prove every digit.
TEST(Lab, RoundingsThatCancelExactlyGiveAnExactZero) {
  Experiment experiment;
  experiment.function = &kBesselI;
  experiment.orders = 60;
  experiment.seed_formats = {&kBinary16};
  experiment.arithmetic = &kBinary16;
  const Outcome outcome = Ran(experiment);
  const SeedColumn& column = outcome.columns[0];
  EXPECT_EQ(PartText(kErrorParts[2], column, 6), "0.000000e+00");
  EXPECT_EQ(PartText(kErrorParts[2], column, 7), "-3.053250e+02");
  EXPECT_EQ(PartText(kErrorParts[2], column, 8), "0.000000e+00");
  EXPECT_EQ(PartText(kMeasured, column, 8), "1.653385e+08");
  EXPECT_EQ(PartText(kPredicted, column, 8), "1.653385e+08");
}

// The backward recurrence stays finite for any accepted x and M, however large its step factor
// 2m / x (beyond 2^(emax / 2), and beyond the format's range: 2 / 3e-5 is above binary16's
// largest value), and its sum of thousands of terms in binary16 at x = 10000. At small x it is
// within 64 units in the last place wherever J_m(x) is a normal number of the arithmetic format
// (the rest of J_m's range is flushed towards 0 in the format, as it must be).
TEST(Lab, TheBackwardRecurrenceNeverOverflows) {
  const struct Row {
    const char* x;
    long orders;
    const IeeeFormat* arithmetic;
    bool accurate;  // false: binary16's sum of 5000 oscillating terms is good to a few % only
  } rows[] = {
      {"0.01", 10, &kBinary16, true},
      {"2.5", 200, &kBinary16, true},
      {"3e-5", 3, &kBinary16, true},
      {"1e-20", 3, &kBinary32, true},
      {"1e-300", 4, &kBinary64, true},
      {"1e-3000", 3, &kBinary128, true},
      {"1e-4900", 2, &kBinary128, true},
      {"0.5", 30, &kBfloat16, true},
      {"1e-30", 5, &kBfloat16, true},
      {"1e-70000", 2, &kBinary256, true},
      {"10000", 12000, &kBinary16, false},
      // 2m beyond binary16's largest value from m = 32752 on, 2m / x far within it.
      {"10000", 33000, &kBinary16, false},
      // J_5000 near 10^-394500000, beyond MPFR's default exponent range (and the widest on
      // 32-bit targets: left out there).
      {"1e-78900", 5000, &kBinary256, true},
  };
  for (const Row& row : rows) {
    if (row.x == std::string("1e-78900") && sizeof(mpfr_exp_t) <= 4) continue;
    const Outcome outcome = Ran(ExperimentOf(row.x, row.orders, {row.arithmetic}, row.arithmetic));
    MpfrNumber normal(2);
    mpfr_set_ui_2exp(normal.get(), 1, row.arithmetic->min_exponent, MPFR_RNDN);
    for (size_t m = 0; m < outcome.backward.size(); ++m) {
      SCOPED_TRACE(std::string("x = ") + row.x + " in " + std::string(row.arithmetic->name) +
                   ", m = " + std::to_string(m));
      ASSERT_TRUE(mpfr_number_p(outcome.backward[m].get()));
      if (row.accurate && !outcome.near_zero[m] &&
          mpfr_cmpabs(Mid(outcome.truth.f[m]).get(), normal.get()) >= 0) {
        EXPECT_LT(std::fabs(ToDouble(outcome.backward[m])),
                  64 * std::ldexp(1.0, -row.arithmetic->precision));
      }
    }
  }
}

// The heading says what each recurrence starts from, and what a series seed lost. The numbers
// were worked out by hand: J_0(1) = 0.76519768655796655 lies between 1567 and 1568 times
// binary16's spacing 2^-11 there, nearer 1567 (0.76513671875); the J_0 series at x = 10 peaks at
// its term k = 5, 5^10 / 120^2 = 678.17, against the sum J_0(10) = -0.24594, log10 2757 = 3.44.
// At x = 1e-6 Y_1 = -6.4e5 and K_1 = 1.0e6 overflow binary16, while Y_0 = -8.8690314816594437
// and K_0 = 13.931442073626419 (mpmath) round on its spacing 2^-7 to -1135 and 1783 times it:
// -8.8671875 (relative error -2.079124e-04) and 13.9296875 (-1.259434e-04).
TEST(Lab, TheHeadingSaysWhatEachRecurrenceStartsFrom) {
  const struct Row {
    const char* x;
    const IeeeFormat* seeds;
    const IeeeFormat* arithmetic;
    SeedKind kind;
    const char* said;
    const BesselFunction* function = &kBesselJ;
  } rows[] = {
      {"1", &kBinary64, &kBinary16, SeedKind::kRounded,
       "    rounded to binary16, where the recurrence starts:\n"
       "      J_0 = 7.6513671875000000e-01 (relative error -7.967589e-05)\n"
       "      J_1 = 4.3994140625000000e-01 (relative error -2.481067e-04)\n"},
      {"10", &kBinary64, &kBinary128, SeedKind::kSeries,
       "    series cancellation (binary64 holds 16.0 digits):\n"
       "      J_0 lost 3.4 digits (largest term 6.782e+02, sum -2.459e-01)\n"
       "      J_1 lost 4.2 digits"},
      {"10000", &kBinary16, &kBinary128, SeedKind::kSeries,
       "J_0 lost every digit (largest term inf, sum -inf)"},
      {"1e-6", &kBinary16, &kBinary128, SeedKind::kRounded,
       "      Y_0 = -8.8671875000000000e+00 (relative error -2.079124e-04)\n"
       "      Y_1 = -inf (relative error inf)\n",
       &kBesselY},
      {"1e-6", &kBinary16, &kBinary128, SeedKind::kRounded,
       "      K_0 = 1.3929687500000000e+01 (relative error -1.259434e-04)\n"
       "      K_1 = inf (relative error inf)\n",
       &kBesselK},
  };
  for (const Row& row : rows) {
    const Experiment experiment =
        ExperimentOf(row.x, 2, {row.seeds}, row.arithmetic, row.kind, *row.function);
    const Outcome outcome = Ran(experiment);
    EXPECT_NE(TableText(experiment, outcome, 80).find(row.said), std::string::npos)
        << TableText(experiment, outcome, 80);
    // The first row's error is the start's, measured and as the seeds' part: known even where
    // the other seed overflowed.
    const SeedColumn& column = outcome.columns[0];
    EXPECT_EQ(ErrorText(column.start_0_error), PartText(kMeasured, column, 0));
    EXPECT_EQ(ErrorText(column.start_0_error), PartText(kPredicted, column, 0)) << row.said;
  }
}

// At tiny x the errors are tiny too, and the truth is taken as precise as they need: every
// printed digit right, worked out by hand from the series. J_0 = 1 - x^2/4 rounds to 1, an
// error of x^2/4; J_1 = x/2 - x^3/16 rounds to x/2, x^2/8; the forward step then gives
// J_2 = (2/x)(x/2) - 1 = 0 (error -1) and J_3 = -x/2 against x^3/48 (-24/x^2).
TEST(Lab, TheTheoryKeepsItsDigitsAtTinyX) {
  const struct Row {
    const char* x;
    const IeeeFormat* arithmetic;
    const char* csv;
  } rows[] = {
      {"1e-20", &kBinary32,
       "m,J_m,binary64_measured,binary64_predicted,backward\n"
       "0,1.0000000000000000e+00,2.500000e-41,2.500000e-41,2.500000e-41\n"
       "1,4.9999998413276127e-21,1.250000e-41,1.250000e-41,1.250000e-41\n"
       "2,1.2499999206638076e-41,-1.000000e+00,-1.000000e+00,-3.335239e-05\n"
       "3,2.0833331349928555e-62,-2.400000e+41,-2.400000e+41,-1.000000e+00\n"},
      {"1e-200", &kBinary64,
       "m,J_m,binary64_measured,binary64_predicted,backward\n"
       "0,1.0000000000000000e+00,2.500000e-401,2.500000e-401,2.500000e-401\n"
       "1,4.9999999999999999e-201,1.250000e-401,1.250000e-401,1.450418e-16\n"
       "2,1.2500000000000000e-401,-1.000000e+00,-1.000000e+00,-1.000000e+00\n"
       "3,2.0833333333333332e-602,-2.400000e+401,-2.400000e+401,-1.000000e+00\n"},
  };
  for (const Row& row : rows) {
    // The columns up to backward; every step there rounds nothing (2/x times x/2 is 1), so the
    // rounding part is 0.
    std::istringstream csv(CsvText(Ran(ExperimentOf(row.x, 3, {&kBinary64}, row.arithmetic))));
    std::string first_columns;
    for (std::string line; std::getline(csv, line);) {
      size_t end = 0;
      for (int comma = 0; comma < 5 && end != std::string::npos; ++comma) {
        end = line.find(',', end + (comma > 0 ? 1 : 0));
      }
      first_columns += line.substr(0, end) + "\n";
      if (line.starts_with("m,")) continue;
      EXPECT_NE(line.find(",0.000000e+00,"), std::string::npos) << line;
    }
    EXPECT_EQ(first_columns, row.csv) << "x = " << row.x;
  }
}

// The table fits the width it is given, in blocks of whole seed formats (each with m and
// J_m(x) again, the backward column in the last), its heading wrapped (j's normaliser, in words,
// takes 111 columns on one line), and ends with what to take away. The lesson's
// numbers: at x = 20 the relative error grows by log10 |(Y_40/J_40) / (Y_39/J_39)| = 1.13 digits
// a step (mpmath), binary16's seeds lose every digit from m = 28 (its CSV), and in binary64 the
// rounding outweighs the seeds.
TEST(Lab, TheTableFitsItsWidthAndSaysWhatToTakeAway) {
  const auto experiment_of = [](const BesselFunction& function) {
    return ExperimentOf("20", 40, {&kBinary16, &kBfloat16, &kBinary32, &kBinary64}, &kBinary64,
                        SeedKind::kRounded, function);
  };
  const struct Row {
    int width;
    int blocks;
    const BesselFunction* function = &kBesselJ;
  } rows[] = {{80, 5}, {120, 3}, {200, 2}, {1000, 1}, {80, 5, &kSphericalJ}};
  for (const Row& row : rows) {
    const Experiment experiment = experiment_of(*row.function);
    const std::string table = TableText(experiment, Ran(experiment), row.width);
    std::istringstream lines(table);
    int blocks = 0;
    for (std::string line; std::getline(lines, line);) {
      EXPECT_LE(static_cast<int>(line.size()), row.width) << line;
      if (line.starts_with("     m ")) ++blocks;
    }
    EXPECT_EQ(blocks, row.blocks) << "width " << row.width;
  }
  const Experiment experiment = experiment_of(kBesselJ);
  const std::string table = TableText(experiment, Ran(experiment), 1000);
  for (const char* said :
       {"binary16 seeds: every digit lost from m = 28; at m = 40, 1.13 digits lost per step "
        "(theory: 1.13); the seeds' errors dominate\n",
        "binary64 seeds: every digit lost from m = 40; at m = 40, 1.13 digits lost per step "
        "(theory: 1.13); the rounding dominates\n"}) {
    EXPECT_NE(table.find(said), std::string::npos) << said;
  }
}

// The picture carries the table's warnings: in binary16 at x = 10 the forward values overflow
// (drawn at the top edge, not dropped), J_m falls below the range from m = 24 (shaded, marked at
// the bottom edge), m = 6 is near a zero; the arithmetic is named, m = x drawn, the line at 1
// named where it is drawn; the key below the plot, which keeps the picture's width; whole orders
// only (0, 5, ..., 40).
TEST(Lab, ThePictureCarriesTheTablesWarnings) {
  const Outcome outcome = Ran(ExperimentOf("10", 40, {&kBinary16}, &kBinary16));
  const std::string script = PlotScript(outcome, "svg");
  for (const char* part :
       {"forward in binary16, x = 10'\n", "set arrow from 10, graph 0 to 10, graph 1 nohead",
        "rectangle from 24-0.5, graph 0 to 40+0.5, graph 1", "set label 'every digit lost' at ",
        "set key below", "set xtics 0, 5\n"}) {
    EXPECT_NE(script.find(part), std::string::npos) << part;
  }
  // The key names each mark the picture has, and only those: at x = 1, M = 10, in binary128,
  // nothing overflows, nothing lies near a zero or below the range.
  const std::string plain =
      PlotScript(Ran(ExperimentOf("1", 10, {&kBinary32}, &kBinary128)), "svg");
  for (const char* mark : {"title 'beyond the range, at its edge'", "title 'near a zero of J_m'",
                           "title 'J_m below the range (shaded)'"}) {
    EXPECT_NE(script.find(mark), std::string::npos) << mark;
    EXPECT_EQ(plain.find(mark), std::string::npos) << mark;
  }
  std::istringstream data(PlotData(outcome));
  std::string line, top;
  std::getline(data, line);  // the names of the columns
  for (long m = 0; std::getline(data, line); ++m) {
    std::istringstream fields(line);
    std::string order, measured, predicted, at_edge, backward, backward_at_edge, near, below;
    fields >> order >> measured >> predicted >> at_edge >> backward >> backward_at_edge >> near >>
        below;
    const bool overflowed = Overflowed(outcome, static_cast<size_t>(m));
    EXPECT_EQ(measured == "NaN" && at_edge != "NaN", overflowed) << "m = " << m;
    if (overflowed) {
      if (top.empty()) top = at_edge;
      EXPECT_EQ(at_edge, top) << "the top edge, the same for every overflowed value";
    }
    EXPECT_EQ(below != "NaN", m >= 24) << "m = " << m;
    EXPECT_EQ(near != "NaN", m == 6) << "m = " << m;
  }
  EXPECT_FALSE(top.empty()) << "nothing overflowed";
  const size_t range = script.find("set yrange [");
  ASSERT_NE(range, std::string::npos);
  const std::string range_line = script.substr(range, script.find('\n', range) - range);
  EXPECT_TRUE(range_line.ends_with(":" + top + "]")) << range_line << ": the edge is its top";
}

// Every row keeps a blank between its columns, however long a number: at x = 1 the J_m(x) of
// m >= 2991 have five-digit exponents.
TEST(Lab, TableColumnsStaySeparated) {
  Experiment experiment;
  experiment.orders = 3000;
  experiment.seed_formats = {&kBinary16};
  const Outcome outcome = Ran(experiment);
  std::istringstream table(TableText(experiment, outcome, 80));
  std::istringstream csv(CsvText(outcome));
  std::string csv_line;
  std::getline(csv, csv_line);  // the header
  long m = 0;
  for (std::string line; std::getline(table, line);) {
    std::istringstream words(line);
    std::string first;
    words >> first;
    if (first != std::to_string(m)) continue;
    std::string j;
    words >> j;
    std::getline(csv, csv_line);  // "m,J_m,...": the same number, as the CSV gives it
    EXPECT_EQ(j,
              csv_line.substr(csv_line.find(',') + 1,
                              csv_line.find(',', csv_line.find(',') + 1) - csv_line.find(',') - 1))
        << "m = " << m;
    ++m;
  }
  EXPECT_EQ(m, 3001);
}

// "every digit lost" stays inside the plot and clear of the line at m = x: with one decade above
// the line at 1 and seventy below, its words go below; with the line at m = x among the last
// orders, to the left.
TEST(Lab, TheLineAtOneIsNamedInsideThePlot) {
  const struct Row {
    const char* x;
    long orders;
    std::vector<const IeeeFormat*> formats;
    const IeeeFormat* arithmetic;
    const char* said;
  } rows[] = {
      {"100", 50, {&kBinary256}, &kBinary256, " right offset -0.5, -0.8 front"},
      {"25",
       30,
       {&kBinary32, &kBinary64, &kBinary128},
       &kBinary128,
       " left offset 0.5, -0.8 front"},
  };
  for (const Row& row : rows) {
    const std::string script =
        PlotScript(Ran(ExperimentOf(row.x, row.orders, row.formats, row.arithmetic)), "svg");
    const std::string::size_type label = script.find("set label 'every digit lost' at ");
    ASSERT_NE(label, std::string::npos) << row.x;
    const std::string line = script.substr(label, script.find('\n', label) - label);
    EXPECT_NE(line.find(row.said), std::string::npos) << row.x << ": " << line;
  }
}

// Where formats coincide (binary32 seeds rounded to binary16 are binary16's), each stays
// visible: every series of points is drawn before the first dashed prediction, each format's
// points have a shape of their own, and the values beyond the range at the edge each format's
// colour.
TEST(Lab, EachFormatStaysVisibleWhereTheyCoincide) {
  const std::string script = PlotScript(
      Ran(ExperimentOf("10", 30, {&kBinary16, &kBfloat16, &kBinary32}, &kBinary16)), "svg");
  const std::string plot = script.substr(script.find("\nplot "));
  std::set<std::string> shapes, edge_colours;
  int drawn = 0, last_points = -1, first_dashed = -1;
  std::istringstream lines(plot);
  for (std::string line; std::getline(lines, line);) {
    if (line.find("$errors using") == std::string::npos) continue;  // the line at 1, a key entry
    const auto after = [&line](const std::string& mark, size_t length) {
      const std::string::size_type at = line.find(mark);
      return at == std::string::npos ? std::string() : line.substr(at, mark.size() + length);
    };
    if (line.find(" with points ") != std::string::npos) last_points = drawn;
    if (line.find(" with lines dt 2 ") != std::string::npos && first_dashed < 0) {
      first_dashed = drawn;
    }
    if (line.find(" seeds'") != std::string::npos) shapes.insert(after(" pt ", 3));
    if (line.find(" pt 8 ") != std::string::npos && line.find("'black'") == std::string::npos) {
      edge_colours.insert(after("lc rgb '", 8));
    }
    ++drawn;
  }
  EXPECT_GE(first_dashed, 0) << plot;
  EXPECT_LT(last_points, first_dashed) << plot;
  EXPECT_EQ(shapes.size(), 3u) << plot;
  EXPECT_EQ(edge_colours.size(), 3u) << plot;
}

// Every column named once, by hand for two sets of seed formats: the CSV's error parts before
// and after backward, and the picture's series, each of which the script draws from the column
// of its name (counted from 1, m first).
TEST(Lab, NamesEachColumnWhereItIsDrawn) {
  const struct Row {
    const BesselFunction* function;
    std::vector<const IeeeFormat*> formats;
    const char* csv;
    const char* plot;
    std::vector<std::pair<std::string, std::string>> drawn;  // key title, column
  } rows[] = {
      {&kBesselY,
       {&kBinary16, &kBinary64},
       "m,Y_m,binary16_measured,binary16_predicted,binary64_measured,binary64_predicted,backward,"
       "binary16_rounding,binary16_rounding_bound,binary64_rounding,binary64_rounding_bound\n",
       "# m  binary16_measured  binary16_predicted  binary16_measured_at_edge  binary64_measured  "
       "binary64_predicted  binary64_measured_at_edge  backward  backward_at_edge  near_zero  "
       "below_range  (",
       {{"binary16 seeds", "binary16_measured"},
        {"binary64 seeds", "binary64_measured"},
        {"backward (unstable)", "backward"}}},
      {&kBesselJ,
       {&kBinary32},
       "m,J_m,binary32_measured,binary32_predicted,backward,binary32_rounding,"
       "binary32_rounding_bound\n",
       "# m  binary32_measured  binary32_predicted  binary32_measured_at_edge  backward  "
       "backward_at_edge  near_zero  below_range  (",
       {{"binary32 seeds", "binary32_measured"}, {"backward (Miller)", "backward"}}},
  };
  for (const Row& row : rows) {
    const Outcome outcome =
        Ran(ExperimentOf("1", 2, row.formats, &kBinary128, SeedKind::kRounded, *row.function));
    const std::string csv = CsvText(outcome), data = PlotData(outcome);
    EXPECT_EQ(csv.substr(0, csv.find('\n') + 1), row.csv);
    EXPECT_TRUE(data.starts_with(row.plot)) << data.substr(0, data.find('\n'));
    std::istringstream heading(data.substr(0, data.find('\n')));
    const std::vector<std::string> columns{std::istream_iterator<std::string>(heading), {}};
    const std::string script = PlotScript(outcome, "svg");
    for (const auto& [title, column] : row.drawn) {
      const size_t entry = script.rfind("using 1:", script.find("title '" + title + "'"));
      ASSERT_NE(entry, std::string::npos) << title;
      EXPECT_EQ(columns.at(std::stoul(script.substr(entry + 8))), column) << title;
    }
  }
}

// The CSV of a fixed set of runs, byte for byte, on every target: the same bits wherever the
// lab runs (big-endian, 32-bit, binary128 in software). The expected files were written by the
// program itself and checked against the table it prints.
TEST(Lab, CsvIsTheSameOnEveryTarget) {
  struct Row {
    const char* golden;
    const char* x;
    long orders;
    std::vector<const IeeeFormat*> formats;
    const IeeeFormat* arithmetic;
    SeedKind seeds;
  };
  const Row rows[] = {
      {"x1.csv", "1", 10, {&kBinary32, &kBinary64, &kBinary128}, &kBinary128, SeedKind::kRounded},
      {"x1-binary32-series.csv", "1", 20, {&kBinary16, &kBfloat16}, &kBinary32, SeedKind::kSeries},
      {"x10-binary64.csv",
       "10",
       40,
       {&kBinary16, &kBfloat16, &kBinary32, &kBinary64},
       &kBinary64,
       SeedKind::kRounded},
      {"x100-binary256-series.csv",
       "100",
       120,
       {&kBinary16, &kBinary32, &kX87, &kBinary256},
       &kBinary256,
       SeedKind::kSeries},
  };
  for (const Row& row : rows) {
    Experiment experiment;
    experiment.x_text = row.x;
    experiment.orders = row.orders;
    experiment.seed_formats = row.formats;
    experiment.arithmetic = row.arithmetic;
    experiment.seeds = row.seeds;
    EXPECT_EQ(CsvText(Ran(experiment)), ReadFile(GoldenPath(std::string("lab/") + row.golden)))
        << row.golden;
  }
}

// At tiny x every seed's error is x^2 / 4 (J_0 = 1 - x^2 / 4 rounds to 1 in every format),
// which only a J_0 of some 20000 bits tells: the orders 0 and 1 are refined alone, however many
// seed formats ask for them, and the run succeeds with the error to every digit.
TEST(Lab, TinyXWithSeveralSeedFormatsRefinesOnlyTheSeeds) {
  const Outcome outcome =
      Ran(ExperimentOf("1e-3000", 100, {&kBinary32, &kBinary64, &kBinary128}, &kBinary128));
  ASSERT_EQ(outcome.columns.size(), 3u);
  for (const SeedColumn& column : outcome.columns) {
    EXPECT_EQ(column.measured[0].Text(), "2.500000e-6001") << column.format->name;
  }
}

// Every function at four (x, M): small x, x near M, x far above M, a larger M; seeds of
// binary32 and binary64 in binary64. The expected files were checked once against mpmath
// (scripts/check-lab-golden): the truth, the measured, predicted and rounding parts to their
// printed digits, Miller's error within 100 units in the last place, the dominant functions'
// backward recurrence emulated from its definition.
TEST(Lab, EveryFunctionGivesTheCheckedCsv) {
  const struct {
    const BesselFunction* function;
    const char* file;
  } functions[] = {{&kBesselJ, "besselj"},       {&kBesselY, "bessely"},
                   {&kBesselI, "besseli"},       {&kBesselK, "besselk"},
                   {&kSphericalJ, "sphericalj"}, {&kSphericalY, "sphericaly"}};
  const struct {
    const char* x;
    long orders;
  } cases[] = {{"0.5", 20}, {"30", 30}, {"200", 20}, {"5", 150}};
  for (const auto& function : functions) {
    for (const auto& run : cases) {
      const std::string golden = std::string("lab/functions/") + function.file + "-x" + run.x +
                                 "-M" + std::to_string(run.orders) + ".csv";
      const Experiment experiment =
          ExperimentOf(run.x, run.orders, {&kBinary32, &kBinary64}, &kBinary64, SeedKind::kRounded,
                       *function.function);
      EXPECT_EQ(CsvText(Ran(experiment)), ReadFile(GoldenPath(golden))) << golden;
    }
  }
}

// Forward is unstable for the minimal functions and stable for the dominant ones, as theory
// says: at x = 1, M = 30, binary64 seeds in binary64, every digit is lost for J, I and j, and
// for Y, K and y the error stays within a few units of the seeds' and theory's figure for the
// last step is 0 (digits lost per step).
TEST(Lab, ForwardIsStableExactlyForTheDominantFunctions) {
  for (const BesselFunction* function : kBesselFunctions) {
    const Outcome outcome =
        Ran(ExperimentOf("1", 30, {&kBinary64}, &kBinary64, SeedKind::kRounded, *function));
    const ColumnSummary said = Summarize(outcome).columns[0];
    if (function->minimal) {
      EXPECT_GE(said.every_digit_lost_at, 0) << function->letter;
      EXPECT_GT(said.theory_digits_per_step, 1.0) << function->letter;
    } else {
      EXPECT_EQ(said.every_digit_lost_at, -1) << function->letter;
      EXPECT_LT(std::fabs(ToDouble(outcome.columns[0].measured[30])), 64 * 0x1p-53)
          << function->letter;
      EXPECT_LT(std::fabs(said.theory_digits_per_step), 0.01) << function->letter;
    }
  }
}

}  // namespace
