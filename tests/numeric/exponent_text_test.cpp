// The quick exponent form against MPFR's own "%.(d-1)Re" and "%.(d-1)RUe", which is computed
// independently (MPFR's exact radix conversion), on rows chosen at the rounding boundaries and
// on values drawn at random over the whole exponent range the laboratory meets.
#include "numeric/exponent_text.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <stdexcept>
#include <string>

#include "numeric/mpfr_number.hpp"

namespace {

std::string MpfrText(mpfr_srcptr x, int digits, DigitRounding rounding) {
  char format[32], text[256];
  std::snprintf(format, sizeof format, "%%.%dR%se", digits - 1,
                rounding == DigitRounding::kUp ? "U" : "");
  mpfr_snprintf(text, sizeof text, format, x);
  return text;
}

// A text of 7 digits or fewer, kept as a PrintedNumber, prints again as it is, its length
// counted without writing it.
void ExpectPrintedAgain(const std::string& text) {
  const PrintedNumber printed(text);
  EXPECT_EQ(printed.Text(), text);
  EXPECT_EQ(printed.TextLength(), text.size());
}

struct Row {
  const char* value;  // read at `bits`, to nearest
  int bits;
  int digits;
};

// Exact ties at 7 and 17 digits, powers of ten (exact and not), the carry into a new leading
// digit, the neighbours of each, special values, and exponents far beyond any format's.
constexpr Row kRows[] = {
    {"1", 64, 7},
    {"-1", 64, 7},
    {"-1", 64, 3},
    {"10", 64, 7},
    {"1000", 64, 3},  // integers, exact or rounded to fewer digits than they have
    {"-1234567", 64, 7},
    {"12345678", 64, 7},
    {"1250", 64, 2},
    {"999999999999999999", 64, 18},
    {"9007199254740993", 64, 17},  // beyond 2^53
    {"0.1", 64, 7},
    {"0.1", 700, 17},
    {"1e22", 128, 17},
    {"1e23", 128, 17},
    {"1e60", 700, 7},
    {"1e-60", 700, 7},
    {"1.0000005", 64, 7},  // not exact in binary: just above or below the tie
    {"1.25", 64, 2},       // exact tie, to even: 1.2
    {"1.35", 64, 2},
    {"0.125", 64, 2},
    {"2.5", 64, 1},
    {"9.9999995", 64, 7},
    {"9.9999996e99", 64, 7},  // the carry that gives its exponent a third digit
    {"9.9999994e99", 64, 7},
    {"1e100", 64, 7},
    {"9.9999996e-101", 64, 7},
    {"1e-100", 64, 17},
    {"-9.99999999999999999e999", 80, 17},
    {"9.99999949999", 128, 7},
    {"9.9999999999999999", 128, 17},
    {"99999995", 64, 7},
    {"1234567.5", 64, 7},  // exact: ties to even
    {"1234568.5", 64, 7},
    {"-1234568.5", 64, 7},
    {"3.0000000000000000e-16", 53, 17},
    {"6.103515625e-05", 11, 7},  // 2^-14, exact in binary16
    {"65504", 11, 7},
    {"1.401298464324817e-45", 24, 17},
    {"4.9406564584124654e-324", 53, 17},
    {"1e-7890000000", 300, 7},
    {"-3.3e+7890000", 300, 17},
    {"7e-4951", 113, 7},
    {"0", 64, 7},
    {"-0", 64, 7},
    {"inf", 64, 7},
    {"-inf", 64, 7},
    {"nan", 64, 7},
    {"1", 64, 18},
    {"0.7651976865579666", 113, 18},
};

TEST(ExponentText, MatchesMpfrOnTheBoundaryRows) {
  const WidestMpfrExponents widest;
  for (const Row& row : kRows) {
    MpfrNumber x(row.bits);
    mpfr_set_str(x.get(), row.value, 10, MPFR_RNDN);
    for (const DigitRounding rounding : {DigitRounding::kNearest, DigitRounding::kUp}) {
      EXPECT_EQ(ExponentText(x.get(), row.digits, rounding),
                MpfrText(x.get(), row.digits, rounding))
          << row.value << " at " << row.bits << " bits, " << row.digits << " digits";
      if (row.digits <= 7) ExpectPrintedAgain(ExponentText(x.get(), row.digits, rounding));
    }
  }
}

// Random significands of 8 to 900 bits and exponents up to 2^34 either way; half the values
// are pushed to within a few units of the last bit of a decimal tie or boundary, where the
// quick way must give up and MPFR decide.
TEST(ExponentText, MatchesMpfrOnRandomValues) {
  const WidestMpfrExponents widest;
  std::mt19937_64 random(20261209);
  gmp_randstate_t state;
  gmp_randinit_default(state);
  gmp_randseed_ui(state, 20261209);
  int quick = 0, total = 0;
  for (int i = 0; i < 40000; ++i) {
    const int bits = static_cast<int>(8 + random() % 893);
    const int digits = static_cast<int>(1 + random() % 18);
    const DigitRounding rounding = random() % 4 == 0 ? DigitRounding::kUp : DigitRounding::kNearest;
    MpfrNumber x(bits);
    if (i % 2 == 0) {
      mpfr_urandomb(x.get(), state);
      // 2^34 where MPFR's exponents allow (64-bit targets), 2^28 elsewhere.
      const long span =
          i % 8 == 0 ? static_cast<long>(std::min<long long>(1LL << 34, mpfr_get_emax_max() / 4))
                     : 20000;
      mpfr_mul_2si(x.get(), x.get(),
                   static_cast<long>(random() % static_cast<uint64_t>(2 * span)) - span, MPFR_RNDN);
    } else {
      // A tie or boundary, d.ddd...5 x 10^k (or 10^k itself), read at the precision and moved
      // a few units of its last bit.
      char text[64];
      std::snprintf(text, sizeof text, "%llu%se%d",
                    static_cast<unsigned long long>(random() % 1000000000000000000ull),
                    i % 4 == 1 ? "5" : "", static_cast<int>(random() % 800) - 400);
      mpfr_set_str(x.get(), text, 10, MPFR_RNDN);
      for (long k = static_cast<long>(random() % 5) - 2; k != 0; k += k > 0 ? -1 : 1) {
        k > 0 ? mpfr_nextabove(x.get()) : mpfr_nextbelow(x.get());
      }
    }
    if (random() % 2 == 0) mpfr_neg(x.get(), x.get(), MPFR_RNDN);
    std::string text;
    quick += CommonExponentText(x.get(), 1 << 20, digits, rounding, text) ? 1 : 0;
    ++total;
    ASSERT_EQ(ExponentText(x.get(), digits, rounding), MpfrText(x.get(), digits, rounding))
        << "value " << MpfrText(x.get(), 40, DigitRounding::kNearest) << " at " << bits << " bits, "
        << digits << " digits";
    if (digits <= 7 && i % 16 == 0) ExpectPrintedAgain(ExponentText(x.get(), digits, rounding));
    ExponentDigits parts;
    if (digits <= 7 && CommonExponentDigits(x.get(), 1 << 20, digits, rounding, parts)) {
      ASSERT_EQ(PrintedNumber(parts).Text(), text);  // kept by its digits, the same text
    }
  }
  gmp_randclear(state);
  EXPECT_GT(quick, total * 3 / 4);  // the quick way is the usual one
}

// Whenever the quick way says every number within 2^-accuracy |x| prints alike, the ends of that
// interval do print so.
TEST(ExponentText, CommonTextHoldsAtTheEndsOfTheInterval) {
  std::mt19937_64 random(7);
  gmp_randstate_t state;
  gmp_randinit_default(state);
  gmp_randseed_ui(state, 7);
  int decided = 0;
  for (int i = 0; i < 20000; ++i) {
    const long accuracy = static_cast<long>(40 + random() % 100);
    const int digits = random() % 2 == 0 ? 7 : 17;
    MpfrNumber x(300), low(600), high(600), radius(600);
    mpfr_urandomb(x.get(), state);
    if (i % 2 == 0) {
      mpfr_mul_2si(x.get(), x.get(), static_cast<long>(random() % 4000) - 2000, MPFR_RNDN);
    } else {  // a power of ten moved by less than 2 2^-accuracy: the decade's edge
      mpfr_mul_2si(x.get(), x.get(), 1 - accuracy, MPFR_RNDN);
      mpfr_sub_d(x.get(), x.get(), std::ldexp(1.0, -static_cast<int>(accuracy)), MPFR_RNDN);
      MpfrNumber power(300);
      mpfr_set_ui(power.get(), 10, MPFR_RNDN);
      mpfr_pow_si(power.get(), power.get(), static_cast<long>(random() % 600) - 300, MPFR_RNDN);
      mpfr_add_ui(x.get(), x.get(), 1, MPFR_RNDN);
      mpfr_mul(x.get(), x.get(), power.get(), MPFR_RNDN);
    }
    // Just inside the interval on both sides: x (1 -+ (1 - 2^-20) 2^-accuracy).
    mpfr_set_ui_2exp(radius.get(), (1u << 20) - 1, -accuracy - 20, MPFR_RNDN);
    mpfr_mul(radius.get(), radius.get(), x.get(), MPFR_RNDN);
    mpfr_sub(low.get(), x.get(), radius.get(), MPFR_RNDN);
    mpfr_add(high.get(), x.get(), radius.get(), MPFR_RNDN);
    std::string text;
    if (!CommonExponentText(x.get(), accuracy, digits, DigitRounding::kNearest, text)) continue;
    ++decided;
    EXPECT_EQ(text, MpfrText(low.get(), digits, DigitRounding::kNearest));
    EXPECT_EQ(text, MpfrText(high.get(), digits, DigitRounding::kNearest));
  }
  gmp_randclear(state);
  EXPECT_GT(decided, 5000);
}

// The texts a PrintedNumber keeps, at the ends of its exponents' range and its special values,
// and those it refuses: anything ExponentText does not write with 7 digits or fewer.
TEST(PrintedNumber, KeepsExponentFormsOfSevenDigitsAndRefusesTheRest) {
  static_assert(sizeof(PrintedNumber) == 8);
  for (const char* text : {"0.000000e+00", "-0.00e+00", "0e+00", "inf", "-inf", "nan", "1e+00",
                           "-9.999999e-68719476736", "1.61e+68719476735", "2.500000e-6001",
                           "1.797693e+308", "1.797694e+308", "-2.5e-324", "2.4e-324", "1.0e+400"}) {
    ExpectPrintedAgain(text);
  }
  EXPECT_EQ(PrintedNumber().Text(), "0e+00");
  EXPECT_EQ(PrintedNumber("-1.297000e-07").exponent(), -7);
  for (const char* text : {"",
                           "1",
                           "1.2345678e+00",
                           "01.0e+00",
                           "0.1e+00",
                           "1.e+00",
                           "1.0e+0",
                           "1.0e00",
                           "1.0f+00",
                           "+1.0e+00",
                           "1,0e+00",
                           "1.0e+123456789012",
                           "1.0e+68719476736",
                           "1.0e-68719476737",
                           "-nan",
                           "infinity",
                           "1.0e+00 ",
                           " 1.0e+00",
                           "1.0e+0x",
                           "0.0e+05"}) {
    EXPECT_THROW(PrintedNumber{text}, std::invalid_argument) << "'" << text << "'";
  }
}

}  // namespace
