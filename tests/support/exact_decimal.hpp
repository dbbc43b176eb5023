// Exact decimal digits of binary floating values from their bit patterns, by integer
// arithmetic alone: an independent reference for the program's conversion.
#pragma once

#include <cstdint>
#include <string>

namespace testing_support {

// (-1)^negative x significand x 2^exponent2, decoded from the IEEE bit fields.
// 128-bit unsigned integer, a GNU extension like the Quad type itself.
__extension__ typedef unsigned __int128 Bits128;

struct BinaryValue {
  bool negative = false;
  Bits128 significand = 0;
  int exponent2 = 0;
};

BinaryValue FromBinary32(uint32_t bits);
BinaryValue FromBinary64(uint64_t bits);
BinaryValue FromBinary128(Bits128 bits);

// The value rounded to `count` significant digits, to nearest, ties to even, in the form the
// program writes under 1P with d = count - 1: "7.651976943E-01" style mantissa and exponent,
// e.g. {"7651976943", -1}. Zero gives {"", 0}.
struct Rounded {
  std::string digits;
  int exponent = 0;
};
Rounded RoundedDigits(const BinaryValue& value, int count);

}  // namespace testing_support
