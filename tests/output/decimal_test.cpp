// Exact digits of each kind, checked against an integer-arithmetic expansion of the bits.
#include "output/decimal.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <vector>

#include "tests/support/bits.hpp"
#include "tests/support/exact_decimal.hpp"

namespace {

using testing_support::BinaryValue;
using testing_support::FromBinary128;
using testing_support::FromBinary32;
using testing_support::FromBinary64;
using testing_support::RoundedDigits;

// Program and reference agree on every digit and the exponent.
template <class Kind>
void ExpectAgree(Kind x, const BinaryValue& reference, int count) {
  const DecimalDigits got = ToDecimal(x, count);
  const testing_support::Rounded expected = RoundedDigits(reference, count);
  ASSERT_EQ(got.value_class, DecimalDigits::Class::kFinite);
  EXPECT_EQ(got.negative, reference.negative);
  EXPECT_EQ(got.digits, expected.digits) << count << " digits";
  EXPECT_EQ(got.exponent, expected.exponent) << count << " digits";
}

constexpr int kCounts[] = {1, 2, 4, 7, 8, 10, 16, 17, 34, 40};

void Check32(uint32_t bits) {
  for (int count : kCounts) ExpectAgree(std::bit_cast<Single>(bits), FromBinary32(bits), count);
}
void Check64(uint64_t bits) {
  for (int count : kCounts) ExpectAgree(std::bit_cast<Double>(bits), FromBinary64(bits), count);
}
void Check128(QuadBits bits) {
  for (int count : kCounts) {
    ExpectAgree(QuadFromBits(bits), FromBinary128(bits.high, bits.low), count);
  }
}

TEST(DecimalDigitsEdges, SmallestAndLargestNormal) {
  Check32(0x00800000u);
  Check32(0x7f7fffffu);
  Check64(0x0010000000000000u);
  Check64(0x7fefffffffffffffu);
  Check128(QuadBits(0x0001000000000000u, 0));
  Check128(QuadBits(0x7ffeffffffffffffu, 0xffffffffffffffffu));
}

TEST(DecimalDigitsEdges, SmallestAndLargestNormalAsKnown) {
  // FLT_MAX = 3.40282346638528859811704183484516925440e+38
  EXPECT_EQ(ToDecimal(std::bit_cast<Single>(0x7f7fffffu), 9).digits, "340282347");
  // DBL_MIN = 2.2250738585072013830902...e-308
  const DecimalDigits min = ToDecimal(std::bit_cast<Double>(uint64_t{0x0010000000000000u}), 17);
  EXPECT_EQ(min.digits, "22250738585072014");
  EXPECT_EQ(min.exponent, -308);
  // The largest binary128 value: 1.189731495357231765085759326628007e4932
  const DecimalDigits max =
      ToDecimal(QuadFromBits(QuadBits(0x7ffeffffffffffffu, 0xffffffffffffffffu)), 34);
  EXPECT_EQ(max.digits, "1189731495357231765085759326628007");
  EXPECT_EQ(max.exponent, 4932);
}

// Values whose decimal expansion ends in 5 just behind the last kept digit: to even.
TEST(DecimalDigitsRoundToEven, ExactTiesInEveryKind) {
  struct Row {
    double value;  // exact in binary32, hence in every kind
    int count;
    const char* digits;
  };
  const Row rows[] = {
      {1.0625, 4, "1062"},                          // 1.0625: down to the even 2
      {1.1875, 4, "1188"},                          // 1.1875: up to the even 8
      {0.0009765625, 6, "976562"},                  // 2^-10 = 9.765625e-4
      {9.5367431640625e-7, 13, "9536743164062"},    // 2^-20
      {2.86102294921875e-6, 14, "28610229492188"},  // 3 x 2^-20
      {-2.5, 1, "2"},
      {3.5, 1, "4"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(ToDecimal(static_cast<Single>(row.value), row.count).digits, row.digits);
    EXPECT_EQ(ToDecimal(row.value, row.count).digits, row.digits);
    EXPECT_EQ(ToDecimal(static_cast<Quad>(row.value), row.count).digits, row.digits);
    Check64(std::bit_cast<uint64_t>(row.value));
  }
}

TEST(DecimalDigitsCarrying, IntoANewLeadingDigit) {
  const DecimalDigits single = ToDecimal(9.9996f, 4);
  EXPECT_EQ(single.digits, "1000");
  EXPECT_EQ(single.exponent, 1);
  // 1 - 2^-113 = 0.99999999999999999999999999999999990370...: 33 digits carry.
  const DecimalDigits quad = ToDecimal(Quad{1} - Quad{1} / Power(Quad{2}, 113), 33);
  EXPECT_EQ(quad.digits, "100000000000000000000000000000000");
  EXPECT_EQ(quad.exponent, 0);
  Check32(std::bit_cast<uint32_t>(9.9996f));
  Check32(std::bit_cast<uint32_t>(0.99999999f));
}

TEST(DecimalDigitsExponents, TwoThreeAndFourDigits) {
  Check64(std::bit_cast<uint64_t>(1.0e-100));
  Check64(std::bit_cast<uint64_t>(-1.0e+100));
  Check64(std::bit_cast<uint64_t>(1.0e-15));
  Check128(QuadBits(0x0400000000000000u, 0x1234));  // about 1e-4624
  Check128(QuadBits(0x4c00000000000000u, 0x5));     // about 1e+925
}

TEST(DecimalDigitsSpecial, ZeroInfinityAndNaN) {
  EXPECT_EQ(ToDecimal(-0.0f, 4).value_class, DecimalDigits::Class::kZero);
  EXPECT_EQ(ToDecimal(Quad{0}, 4).value_class, DecimalDigits::Class::kZero);
  const DecimalDigits infinity = ToDecimal(-std::bit_cast<Double>(0x7ff0000000000000u), 4);
  EXPECT_EQ(infinity.value_class, DecimalDigits::Class::kInfinite);
  EXPECT_TRUE(infinity.negative);
  EXPECT_EQ(ToDecimal(QuadFromBits(QuadBits(0x7fff800000000000u, 0)), 4).value_class,
            DecimalDigits::Class::kNaN);
}

// A fixed pseudo-random sweep over finite bit patterns of each kind.
TEST(DecimalDigitsSweep, PseudoRandomPatterns) {
  XorShift next(0x9e3779b97f4a7c15u);
  for (int i = 0; i < 150; ++i) {
    const uint32_t b32 = static_cast<uint32_t>(next());
    if ((b32 & 0x7f800000u) != 0x7f800000u && (b32 & 0x7fffffffu) != 0) Check32(b32);
    const uint64_t b64 = next() & 0xc3ffffffffffffffu;  // exponents within about 1e+-300
    if ((b64 & 0x7fffffffffffffffu) != 0) Check64(b64);
    // Biased exponents 0x3c00 ... 0x43ff: magnitudes within about 1e+-308.
    const uint64_t sign_and_exponent = (next() & 0x8000u) | (0x3c00u + next() % 0x800u);
    Check128(QuadBits((sign_and_exponent << 48) | (next() >> 16), next()));
  }
}

}  // namespace
