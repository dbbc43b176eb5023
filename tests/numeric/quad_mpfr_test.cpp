// The MPFR backend against the hardware-independent reference that GCC's __float128 is, where
// both exist: every operation, on operands from every part of binary128's range, subnormals and
// overflow included, must give the same bits.
#include <gtest/gtest.h>

#include <cstring>

#include "numeric/precision.hpp"
#include "tests/support/bits.hpp"

#if defined(BESSEL_QUAD_MPFR) && defined(__SIZEOF_FLOAT128__)

namespace {

__float128 Native(QuadBits bits) {
  uint64_t halves[2] = {bits.low, bits.high};  // x86-64 and the like: little-endian
  __float128 x;
  std::memcpy(&x, halves, sizeof x);
  return x;
}

QuadBits BitsOfNative(__float128 x) {
  uint64_t halves[2];
  std::memcpy(halves, &x, sizeof halves);
  return {halves[1], halves[0]};
}

// Operands spread over the whole exponent range, with some of it crowded near the ends and near
// the other operand's exponent, where rounding and cancellation are hardest.
class Operands {
 public:
  QuadBits Next(const QuadBits& other) {
    const uint64_t pick = Random() % 8;
    uint64_t exponent = Random() % 0x7fff;            // never the field of infinities and NaNs
    if (pick == 0) exponent = Random() % 4;           // subnormal and smallest
    if (pick == 1) exponent = 0x7ffe - Random() % 4;  // near overflow
    if (pick >= 2 && pick <= 4) {                     // near the other operand
      const uint64_t near = (other.high >> 48) & 0x7fff;
      exponent = (near + 0x7fff - 2 + Random() % 5) % 0x7fff;
    }
    uint64_t fraction_high = Random() & 0xffffffffffffu;
    uint64_t low = Random();
    if (pick == 5) low &= ~uint64_t{0xffff};  // short significands: exact results and ties
    if (pick == 6) fraction_high = other.high & 0xffffffffffffu;
    return {((Random() & 1) << 63) | (exponent << 48) | fraction_high, low};
  }

 private:
  XorShift Random{0x2545f4914f6cdd1du};
};

TEST(QuadMpfr, EveryOperationGivesTheBitsOfBinary128) {
  Operands operands;
  QuadBits a_bits = {0x3fff000000000000u, 0};
  int mismatches = 0;
  for (int i = 0; i < 50000 && mismatches < 10; ++i) {
    const QuadBits b_bits = operands.Next(a_bits);
    const Quad a = QuadFromBits(a_bits);
    const Quad b = QuadFromBits(b_bits);
    ASSERT_EQ(Bits(a), a_bits) << "bits do not survive the round trip";
    const __float128 x = Native(a_bits);
    const __float128 y = Native(b_bits);
    const struct {
      const char* name;
      QuadBits got;
      QuadBits expected;
    } results[] = {
        {"+", Bits(a + b), BitsOfNative(x + y)},
        {"-", Bits(a - b), BitsOfNative(x - y)},
        {"*", Bits(a * b), BitsOfNative(x * y)},
        {"/", Bits(a / b), BitsOfNative(x / y)},
        {"to double", Bits(Quad(static_cast<double>(a))),
         BitsOfNative(static_cast<__float128>(static_cast<double>(x)))},
        {"to float", Bits(Quad(static_cast<float>(a))),
         BitsOfNative(static_cast<__float128>(static_cast<float>(x)))},
    };
    for (const auto& result : results) {
      if (result.got != result.expected) {
        ++mismatches;
        ADD_FAILURE() << std::hex << a_bits.high << ":" << a_bits.low << " " << result.name << " "
                      << b_bits.high << ":" << b_bits.low << " gives " << result.got.high << ":"
                      << result.got.low << ", binary128 " << result.expected.high << ":"
                      << result.expected.low;
      }
    }
    EXPECT_EQ(a <= b, x <= y);
    a_bits = b_bits;
  }
}

}  // namespace

#endif
