// The 16-byte number against MPFR's own rounding to 64 bits: every kind of value, both signs, odd
// and even exponents at the ends of the range the laboratory meets.
#include "numeric/short_number.hpp"

#include <gtest/gtest.h>

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
    {"0.2@34359738368", 64},  // MPFR's exponents 2^37 - 2 and 3 - 2^37
    {"-0.4@-34359738367", 64},
    {"-0.ffffffc@-34359738367", 30},
    {"0.0000001@-34359738360", 64},
};

TEST(ShortNumber, HoldsWhatMpfrRoundsTo64Bits) {
  using Number = ShortNumber;
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

}  // namespace
