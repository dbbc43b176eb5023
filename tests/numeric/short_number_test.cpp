// The 16-byte and the 8-byte numbers against MPFR's own rounding to 64 and 26 bits: every kind of
// value, both signs, odd and even exponents at the ends of the range the laboratory meets and
// at the ends of the 8-byte number's own.
#include "numeric/short_number.hpp"

#include <gtest/gtest.h>

#include <stdexcept>

#include "numeric/mpfr_number.hpp"

namespace {

struct Row {
  const char* value;  // read at `bits` in base 16, to nearest
  int bits;
};

constexpr Row kRows[] = {
    {"0", 64},
    {"-0", 64},
    {"inf", 64},
    {"-inf", 64},
    {"nan", 64},
    {"1", 64},
    {"-1", 64},
    {"0.8@-1", 64},
    {"-0.8@1", 64},
    {"0.ffffffffffffffff", 64},
    {"0.fffffffffffffffff8", 70},
    {"0.123456789abcdef0123456789", 100},
    {"-0.123456789abcdef08", 80},
    {"0.1@-2000000000", 64},
    {"-0.1@2000000000", 200},
    {"0.abc@-12345", 12},
    {"0.abc@12344", 12},
    {"0.2@34359738368", 64},    // MPFR's exponent 2^37 - 2, the largest the 8-byte number holds
    {"-0.4@-34359738367", 64},  // 3 - 2^37, the smallest
    {"-0.ffffffc@-34359738367", 30},  // rounded up from 4 - 2^37 by RNDN and RNDA
    {"0.0000001@-34359738360", 64},
};

template <class Number>
void ExpectHoldsWhatMpfrRounds() {
  const WidestMpfrExponents widest;
  for (const Row& row : kRows) {
    MpfrNumber x(row.bits);
    mpfr_set_str(x.get(), row.value, 16, MPFR_RNDN);
    for (const mpfr_rnd_t rounding : {MPFR_RNDN, MPFR_RNDZ, MPFR_RNDA}) {
      MpfrNumber expected(Number::kBits);
      mpfr_set(expected.get(), x.get(), rounding);
      const Number held(x.get(), rounding);
      const Number copy = held;
      if (mpfr_nan_p(expected.get())) {
        EXPECT_TRUE(mpfr_nan_p(copy.get())) << row.value;
        continue;
      }
      EXPECT_TRUE(mpfr_equal_p(copy.get(), expected.get())) << row.value << " " << rounding;
      EXPECT_EQ(mpfr_signbit(copy.get()) != 0, mpfr_signbit(expected.get()) != 0) << row.value;
    }
  }
  EXPECT_TRUE(mpfr_zero_p(Number().get()));
}

TEST(ShortNumber, HoldsWhatMpfrRoundsTo64Bits) {
  ExpectHoldsWhatMpfrRounds<ShortNumber>();
}

TEST(CompactNumber, HoldsWhatMpfrRoundsTo26BitsInEightBytes) {
  static_assert(sizeof(CompactNumber) == 8);
  ExpectHoldsWhatMpfrRounds<CompactNumber>();
}

// One step beyond either end of its range, the 8-byte number refuses a value as a failure the
// caller can report (the Python module raises it), never by ending the process.
TEST(CompactNumber, RefusesWhatItCannotHold) {
  const WidestMpfrExponents widest;
  if (mpfr_get_emax() / 128 < (mpfr_exp_t{1} << 30)) {
    GTEST_SKIP() << "MPFR's exponents here (32 bits) never leave the range the number holds";
  }
  // MPFR's exponents 2^37 - 1 and 2 - 2^37, beside the rows' 2^37 - 2 and 3 - 2^37 above.
  for (const char* beyond : {"0.4@34359738368", "-0.2@-34359738367"}) {
    MpfrNumber x(64);
    mpfr_set_str(x.get(), beyond, 16, MPFR_RNDN);
    EXPECT_THROW(CompactNumber(x.get(), MPFR_RNDN), std::range_error) << beyond;
  }
}

}  // namespace
