// Exact decimal digits of binary floating values from their bit patterns, by integer
// arithmetic alone: an independent reference for the program's conversion.
#pragma once

#include <cstdint>
#include <string>

namespace testing_support {

// (-1)^negative x significand x 2^exponent2, decoded from the IEEE bit fields. The significand
// (up to 113 bits) is held as two 64-bit halves, so that no 128-bit integer type is needed.
struct BinaryValue {
  bool negative = false;
  uint64_t significand_high = 0;
  uint64_t significand_low = 0;
  int exponent2 = 0;
};

BinaryValue FromBinary32(uint32_t bits);
BinaryValue FromBinary64(uint64_t bits);
BinaryValue FromBinary128(uint64_t high, uint64_t low);

// The value rounded to `count` significant digits, to nearest, ties to even, in the form the
// program writes under 1P with d = count - 1: "7.651976943E-01" style mantissa and exponent,
// e.g. {"7651976943", -1}. Zero gives {"", 0}.
struct Rounded {
  std::string digits;
  int exponent = 0;
};
Rounded RoundedDigits(const BinaryValue& value, int count);

}  // namespace testing_support
