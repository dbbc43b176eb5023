// Bit patterns of the precision kinds, for the tests: values built from their IEEE layout,
// compared to the last bit, and printed readably when a comparison fails.
#pragma once

#include <bit>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <ostream>
#include <string_view>

#include "numeric/precision.hpp"

// The 128 bits of a binary128 value as IEEE lays them out: sign, 15-bit biased exponent and
// 112-bit fraction, from the top bit of `high` down to the bottom bit of `low`.
struct QuadBits {
  uint64_t high = 0;
  uint64_t low = 0;
  friend bool operator==(const QuadBits&, const QuadBits&) = default;
};
// "0x3ffe8000000000000000000000000000": GoogleTest prints it so on a failed comparison.
inline void PrintTo(const QuadBits& bits, std::ostream* out) {
  char text[40];
  std::snprintf(text, sizeof text, "0x%016" PRIx64 "%016" PRIx64, bits.high, bits.low);
  *out << text;
}

// One file per binary128 backend (bits_builtin.cpp, bits_mpfr.cpp), as in numeric/.
QuadBits Bits(const Quad& x);
Quad QuadFromBits(QuadBits bits);
// The Quad nearest to a decimal number ("0.1", "-1.9549175e-9"), ties to even.
Quad ParseQuad(std::string_view text);

// The bits of each kind, so that EXPECT_EQ(Bits(a), Bits(b)) asks for the same value to the last
// bit (and the same sign of zero) and shows both patterns when they differ.
inline uint32_t Bits(Single x) {
  return std::bit_cast<uint32_t>(x);
}
inline uint64_t Bits(Double x) {
  return std::bit_cast<uint64_t>(x);
}

// A fixed pseudo-random sequence of 64-bit patterns (xorshift64), the same on every run.
class XorShift {
 public:
  explicit XorShift(uint64_t seed) : state_(seed) {}
  uint64_t operator()() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 7;
    state_ ^= state_ << 17;
    return state_;
  }

 private:
  uint64_t state_;
};
