// Power, Factorial and the conversions between the kinds.
#include "numeric/precision.hpp"

#include <gtest/gtest.h>

#include "tests/support/bits.hpp"

namespace {

template <class Kind>
class KindTest : public ::testing::Test {};
using Kinds = ::testing::Types<Single, Double, Quad>;
TYPED_TEST_SUITE(KindTest, Kinds);

TYPED_TEST(KindTest, FactorialOfSmallAndNegativeIsOne) {
  EXPECT_EQ(Bits(Factorial<TypeParam>(0)), Bits(TypeParam{1}));
  EXPECT_EQ(Bits(Factorial<TypeParam>(1)), Bits(TypeParam{1}));
  EXPECT_EQ(Bits(Factorial<TypeParam>(-3)), Bits(TypeParam{1}));
  EXPECT_EQ(Bits(Factorial<TypeParam>(5)), Bits(TypeParam{120}));
}

TYPED_TEST(KindTest, PowersOfMinusAQuarterAndTwoAreExact) {
  EXPECT_EQ(Bits(Power(TypeParam{-0.25}, 0)), Bits(TypeParam{1}));
  EXPECT_EQ(Bits(Power(TypeParam{-0.25}, 3)), Bits(TypeParam{-1} / 64));
  EXPECT_EQ(Bits(Power(TypeParam{2}, 10)), Bits(TypeParam{1024}));
  EXPECT_EQ(Bits(Power(TypeParam{-0.25}, 50)), Bits(TypeParam{1} / Power(TypeParam{2}, 100)));
}

TEST(Factorial, ExactInDoubleAndQuadUpToFifteen) {
  // 15! = 1307674368000 needs 41 bits.
  EXPECT_EQ(Factorial<Double>(15), 1307674368000.0);
  EXPECT_EQ(Bits(Factorial<Quad>(15)), Bits(Quad{1307674368000.0}));
}

TEST(Factorial, SingleRoundsEachProductFromFourteenOn) {
  // 13! = 6227020800 is exact in 24 bits (its odd part fits); 14! is not.
  EXPECT_EQ(Factorial<Single>(13), 6227020800.0f);
  // Left to right: round(13! x 14), then round(that x 15).
  const float fourteen = 6227020800.0f * 14.0f;
  EXPECT_EQ(Factorial<Single>(14), fourteen);
  EXPECT_EQ(Factorial<Single>(15), fourteen * 15.0f);
  EXPECT_NE(static_cast<double>(Factorial<Single>(14)), 87178291200.0);
}

TEST(Conversions, SingleWidenedToQuadAndNarrowedBackKeepsItsBits) {
  const Single x = 0.4400506f;
  EXPECT_EQ(Bits(Narrow(Widen(x))), Bits(x));
}

TEST(Conversions, NarrowingRoundsToNearestTiesToEven) {
  const Quad one = 1;
  const Quad ulp = one / Power(Quad{2}, 23);  // the spacing of Single at 1
  // Exactly halfway between 1 and 1 + ulp: to the even one, 1.
  EXPECT_EQ(Narrow(one + ulp / 2), 1.0f);
  // Halfway between 1 + ulp and 1 + 2 ulp: to the even one, 1 + 2 ulp.
  EXPECT_EQ(Narrow(one + ulp + ulp / 2), static_cast<float>(1 + 2.0 / (1 << 23)));
  // A hair above the half: up.
  EXPECT_EQ(Narrow(one + ulp / 2 + ulp / 1024), static_cast<float>(1 + 1.0 / (1 << 23)));
}

TEST(QuadArithmetic, IsBinary128) {
  const Quad twenty = Quad{2.0} * Widen(int32_t{10});
  EXPECT_EQ(Bits(twenty), Bits(Quad{20}));
  const Quad x = Quad{1} / 3;
  EXPECT_EQ(Bits(x - x), QuadBits{}) << "equal values subtract to +0";
  // 1 + 2^-112 is representable in 113 bits, 1 + 2^-113 is not.
  EXPECT_NE(Bits(Quad{1} + Quad{1} / Power(Quad{2}, 112)), Bits(Quad{1}));
  EXPECT_EQ(Bits(Quad{1} + Quad{1} / Power(Quad{2}, 113)), Bits(Quad{1}));
}

}  // namespace
